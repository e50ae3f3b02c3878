#pragma once

// What both upload dialogs share to take the operator's input: line edits
// that open a keypad when pressed.
#include "dialogs/KeypadPrompts.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class QLineEdit;
class QWidget;

/// A number as the fields show it: "%1", the general number format.
QString NumberText(double value);
/// A coordinate as the normal upload sends it (a 32-bit float): the shortest
/// text of at most 6 decimals that reads back as exactly that float.
QString CoordinateText(float value);

/// Line edits whose values come from a keypad: a mouse press on one (or
/// Enter while it has the focus, through Open()) runs its keypad, as long as
/// the owner's inputs are enabled.
class KeypadEdits : public QObject
{
    Q_OBJECT

public:
    KeypadEdits(QObject *parent, std::function<bool()> inputsEnabled);
    void Add(QLineEdit *edit, std::function<void()> open);
    /// Runs edit's keypad when it is one of these and inputs are enabled; true when it is one of these.
    bool Open(QWidget *edit);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<bool()> m_enabled;
    QHash<QObject *, std::function<void()>> m_open;
};
