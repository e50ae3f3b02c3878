#pragma once

// What the analysis screens share.

#include "dialogs/ScreenSetup.h"

/// The look of the analysis screens: white, black text, framed push buttons
/// with the parameter set's button height and text size; full screen with
/// the keyboard grabbed.
ScreenLook AnalysisScreenLook();

/// Asks a number on the numeric keypad over parent, the keyboard grab paused
/// meanwhile; true when accepted, with the number in value.
bool AskNumber(QWidget *parent, const QString &title, float &value, int decimals, float minimum, float maximum);
