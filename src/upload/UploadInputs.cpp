#include "UploadInputs.h"

#include "UploadRecord.h"

#include <QEvent>
#include <QLineEdit>

QString NumberText(double value)
{
    // The same form as the witness text, so that the screen shows what is sent.
    return GeneralNumberText(value);
}

KeypadEdits::KeypadEdits(QObject *parent, std::function<bool()> inputsEnabled)
    : QObject(parent)
    , m_enabled(std::move(inputsEnabled))
{
}

void KeypadEdits::Add(QLineEdit *edit, std::function<void()> open)
{
    m_open.insert(edit, std::move(open));
    edit->installEventFilter(this);
}

bool KeypadEdits::Open(QWidget *edit)
{
    const auto it = m_open.constFind(edit);
    if (it == m_open.constEnd())
        return false;
    if (m_enabled())
        it.value()();
    return true;
}

bool KeypadEdits::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && m_open.contains(watched)) {
        Open(static_cast<QWidget *>(watched));
        return true;
    }
    return QObject::eventFilter(watched, event);
}
