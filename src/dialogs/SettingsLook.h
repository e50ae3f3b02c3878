#pragma once

#include "ScreenSetup.h"

#include <QColor>
#include <QSize>
#include <QString>

/// The look shared by the settings screen and the dialogs it opens: white,
/// black 2-px borders, 20-point widgets and 30-point tool buttons, full screen.
ScreenLook SettingsLook();

/// The sheet that paints a colour button: "background-color:rgb(r, g, b);".
QString ColourSheet(const QColor &colour);

/// Keeps the focus visible on colour buttons, whose own background hides the
/// common cyan focus colour.
extern const char kColourFocusSheet[];

/// Largest point size, from largest down to smallest, at which every line of
/// caption in the screen font fits into box; smallest when none does.
int FittingPointSize(const QString &caption, const QSize &box, int largest, int smallest);
