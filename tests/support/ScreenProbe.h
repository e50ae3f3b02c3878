#pragma once

#include <QString>

class QAbstractButton;
class QWidget;

/// The button called name on screen; the test stops if the form has none.
QAbstractButton *FindButton(const QWidget &screen, const char *name);

/// A button's caption as the operator reads it: a lone "&" marks a shortcut
/// and is not drawn, "&&" is drawn as "&".
QString ShownCaption(const QString &caption);

/// The caption of the button called name on screen, as it is drawn.
QString ButtonText(const QWidget &screen, const char *name);

/// The acquisition screen's ten commands' enabled flags in the order of its
/// command bar, as one word of '1' and '0'.
QString EnabledCommands(const QWidget &screen);
