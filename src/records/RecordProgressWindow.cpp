#include "RecordProgressWindow.h"

#include "RecordFiles.h"
#include "dialogs/Prodwidget.h"
#include "params/Wait.h"

namespace {
// Lets the window system map and paint the window before the loop, which
// does not return to the event loop, starts.
const int kShowWaitMs = 10;
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
}

void RecordProgressWindow::SetValue(int value)
{
    if (m_window)
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
