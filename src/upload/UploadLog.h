#pragma once

#include <QLoggingCategory>

/// Debug-console output of both uploads (frames sent, replies, socket states).
/// Off unless enabled, e.g. QT_LOGGING_RULES="zeb.upload.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcUpload)
