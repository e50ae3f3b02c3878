#pragma once

#include <QString>

class QAbstractButton;
class QWidget;

/// The button called name on screen; the test stops if the form has none.
QAbstractButton *FindButton(const QWidget &screen, const char *name);

/// The caption of the button called name on screen.
QString ButtonText(const QWidget &screen, const char *name);

/// The acquisition screen's ten commands' enabled flags in the order of its
/// command bar, as one word of '1' and '0'.
QString EnabledCommands(const QWidget &screen);
