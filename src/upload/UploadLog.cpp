#include "UploadLog.h"

// Debug prints of a whole upload run to thousands of lines: off by default.
Q_LOGGING_CATEGORY(lcUpload, "zeb.upload", QtInfoMsg)
