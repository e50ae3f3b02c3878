#include "UploadInputs.h"

#include "UploadRecord.h"

#include <QEvent>
#include <QLineEdit>

QString NumberText(double value)
{
    // The same form as the witness text, so that the screen shows what is sent.
    return GeneralNumberText(value);
}

QString CoordinateText(float value)
{
    // Six significant digits would show 114.123 for 114.123456 (about 100 m
    // off); six fixed decimals would show 114.300003 for the float of 114.3.
    constexpr int kMaxDecimals = 6;
    for (int decimals = 0; decimals < kMaxDecimals; ++decimals) {
        const QString text = QString::number(double(value), 'f', decimals);
        if (text.toFloat() == value)
            return text;
    }
    return QString::number(double(value), 'f', kMaxDecimals);
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
