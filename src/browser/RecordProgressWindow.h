#pragma once

#include "records/RecordProgress.h"

#include <QElapsedTimer>

#include <memory>

class Prodwidget;

/// Shows a record operation's progress in the progress window: built and
/// shown when the operation starts, closed and destroyed when it finishes.
/// Values reach the window at most once a display frame, and the last one
/// always: a read converts hundreds of thousands of samples in a few
/// milliseconds, and a repaint per visible step of the bar would cost far
/// more than the read itself without showing the operator anything more.
class RecordProgressWindow : public RecordProgress
{
public:
    RecordProgressWindow();
    ~RecordProgressWindow() override;

    void Started(const QString &label, int minimum, int maximum) override;
    void SetValue(int value) override;
    void Finished() override;

private:
    std::unique_ptr<Prodwidget> m_window;
    QElapsedTimer m_sinceShown;
    qint64 m_shownAtMs = 0;
    int m_maximum = 0;
};
