#include "RecordProgressWindow.h"

#include "RecordFiles.h"
#include "dialogs/Prodwidget.h"
#include "params/ParamSet.h"
#include "platform/Wait.h"

namespace {
// Lets the window system map and paint the window before the loop, which
// does not return to the event loop, starts.
const int kShowWaitMs = 10;
// One frame of the display: more frequent repaints are never seen.
const qint64 kFrameMs = 16;
// Reading the clock costs more than a sample; look at it only after this
// many of them.
const int kValuesPerClockCheck = 512;
} // namespace

RecordProgressWindow::RecordProgressWindow() = default;

RecordProgressWindow::~RecordProgressWindow() = default;

void RecordProgressWindow::Started(const QString &label, int minimum, int maximum)
{
    m_window = std::make_unique<Prodwidget>();
    m_window->SetText(label);
    m_window->SetRange(minimum, maximum);
    m_window->SetValue(minimum);
    m_window->show();
    WaitMs(kShowWaitMs);
    m_maximum = maximum;
    m_sinceShown.start();
    m_shownAtMs = 0;
    SetWanted(minimum);
}

void RecordProgressWindow::SetValue(int value)
{
    if (!m_window)
        return;
    // The last value is always asked for, so the window ends full.
    SetWanted(value < m_maximum ? qMin(value + kValuesPerClockCheck, m_maximum) : value + 1);
    const bool last = value >= m_maximum;
    const qint64 now = m_sinceShown.elapsed();
    if (!last && now - m_shownAtMs < kFrameMs)
        return;
    m_shownAtMs = now;
    m_window->SetValue(value);
}

void RecordProgressWindow::Finished()
{
    if (m_window)
        m_window->close();
    m_window.reset();
}

int ReadRecord(ParamSet &params, const QString &path)
{
    RecordProgressWindow window;
    return ReadRecordFile(params, path, &window);
}

int OpenRecord(ParamSet &params, const QString &project, const QString &record)
{
    params.LastRecordName = record;
    return ReadRecord(params, RecordOpenPath(params, project, record));
}
