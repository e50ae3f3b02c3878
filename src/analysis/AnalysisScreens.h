#pragma once

// What the analysis screens share.

#include "dialogs/ScreenSetup.h"

/// The look of the analysis screens: white, black text, framed push buttons
/// with the parameter set's button height and text size; full screen with
/// the keyboard grabbed.
ScreenLook AnalysisScreenLook();
