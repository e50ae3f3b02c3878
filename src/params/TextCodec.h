#pragma once

#include <QByteArray>
#include <QString>

/// Record files and upload frames carry GB2312 text; these are the only
/// conversions between it and the program's Unicode strings.
QByteArray ToGb2312(const QString &text);
QString FromGb2312(const QByteArray &bytes);
