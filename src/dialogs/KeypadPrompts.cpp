#include "KeypadPrompts.h"

#include "QDlgKeyNum.h"
#include "QDlgKeyText.h"
#include "ScreenSetup.h"

std::optional<QString> AskText(QWidget *parent, const QString &title, const QString &text, int maxLength)
{
    KeyboardGrabPause pause;
    QDlgKeyText pad(title, text, maxLength, parent);
    if (pad.exec() != QDialog::Accepted)
        return std::nullopt;
    return pad.result;
}

std::optional<float> AskNumber(QWidget *parent, const QString &title, float value, int decimals, float minimum,
                               float maximum)
{
    KeyboardGrabPause pause;
    QDlgKeyNum pad(title, value, decimals, minimum, maximum, parent);
    if (pad.exec() != QDialog::Accepted)
        return std::nullopt;
    return pad.value;
}

std::optional<KeypadChoice> AskChoice(QWidget *parent, const QString &title, const QString &current,
                                      const QStringList &choices)
{
    KeyboardGrabPause pause;
    QDlgKeyNum pad(title, current, parent);
    QStringList c = choices.mid(0, QDlgKeyNum::kChoiceCount);
    while (c.size() < QDlgKeyNum::kChoiceCount)
        c.append(QString());
    pad.SetChoices(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10], c[11]);
    if (pad.exec() != QDialog::Accepted)
        return std::nullopt;
    return KeypadChoice{pad.text, pad.value};
}
