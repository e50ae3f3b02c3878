#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

QByteArray ToGb2312(const QString &text)
{
    QStringEncoder enc("GB2312");
    return enc.encode(text);
}

QString FromGb2312(const QByteArray &bytes)
{
    QStringDecoder dec("GB2312");
    return dec.decode(bytes);
}
