#pragma once

#include "RecordProgress.h"

#include <memory>

class Prodwidget;

/// Shows a record operation's progress in the progress window: built and
/// shown when the operation starts, closed and destroyed when it finishes.
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
};
