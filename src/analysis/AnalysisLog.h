#pragma once

#include <QLoggingCategory>

/// Debug-console output of the analysis screens and their routines.
Q_DECLARE_LOGGING_CATEGORY(lcAnalysis)
