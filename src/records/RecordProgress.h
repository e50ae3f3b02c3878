#pragma once

#include <QString>
#include <limits>

/// What a long record operation reports while it runs; the screens show it in
/// a progress window, the core knows nothing about windows.
class RecordProgress
{
public:
    virtual ~RecordProgress() = default;
    /// The operation starts: its label and the range its values will cover.
    virtual void Started(const QString &label, int minimum, int maximum) = 0;
    /// Called by the operation for every step (every sample of a read). Costs
    /// one comparison unless the value is one the receiver asked for.
    void Step(int value)
    {
        if (value >= m_wanted)
            SetValue(value);
    }
    virtual void SetValue(int value) = 0;
    /// Called once after Started, however the operation ends.
    virtual void Finished() = 0;

protected:
    /// Lets a receiver that has no use for every value skip the calls to
    /// SetValue below value; by default it hears of every one.
    void SetWanted(int value) { m_wanted = value; }

private:
    int m_wanted = std::numeric_limits<int>::min();
};
