#pragma once

#include <QLoggingCategory>

/// Debug-console output of the instrument link and acquisition.
Q_DECLARE_LOGGING_CATEGORY(lcInstrument)
