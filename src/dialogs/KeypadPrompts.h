#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// The keypads as a screen asks with them: the caller's keyboard grab is
// paused while the keypad is open and taken back afterwards, and a cancelled
// keypad gives nothing.

/// Text keypad titled title starting at text, at most maxLength characters; the trimmed text.
std::optional<QString> AskText(QWidget *parent, const QString &title, const QString &text, int maxLength);

/// Number keypad with an inclusive range; the accepted number.
std::optional<float> AskNumber(QWidget *parent, const QString &title, float value, int decimals, float minimum,
                               float maximum);

/// A choice made on the number keypad.
struct KeypadChoice
{
    QString Text; ///< the chosen key's text
    float Value;  ///< that text as a number (0 for a word)
};

/// Number keypad in choice mode with up to twelve choices, current shown in the entry.
std::optional<KeypadChoice> AskChoice(QWidget *parent, const QString &title, const QString &current,
                                      const QStringList &choices);
