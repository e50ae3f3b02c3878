#pragma once

#include <QString>

/// What a long record operation reports while it runs; the screens show it in
/// a progress window, the core knows nothing about windows.
class RecordProgress
{
public:
    virtual ~RecordProgress() = default;
    /// The operation starts: its label and the range its values will cover.
    virtual void Started(const QString &label, int minimum, int maximum) = 0;
    virtual void SetValue(int value) = 0;
    /// Called once after Started, however the operation ends.
    virtual void Finished() = 0;
};
