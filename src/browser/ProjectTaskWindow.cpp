#include "ProjectTaskWindow.h"

#include "dialogs/CDlgMsgQuestion.h"
#include "dialogs/Prodwidget.h"
#include "dialogs/ScreenSetup.h"
#include "platform/Wait.h"

namespace {
// Lets the window system map and paint the progress window before the first
// file, which keeps the event loop waiting only while it is flushed.
const int kShowWaitMs = 10;
const int kFocusCancel = 1;
} // namespace

ProjectTaskWindow::ProjectTaskWindow(QWidget *parent)
    : m_parent(parent)
{
}

ProjectTaskWindow::~ProjectTaskWindow() = default;

bool ProjectTaskWindow::ConfirmOverwrite()
{
    KeyboardGrabPause pause;
    CDlgMsgQuestion question(QString(), m_parent);
    question.SetTexts(QStringLiteral("消息"), QStringLiteral("该工程U盘已存在，是否需要覆盖？"),
                      QStringLiteral("是=覆盖"), QStringLiteral("否=不覆盖"), QString());
    question.SetButtonFocus(kFocusCancel);
    return question.exec() == QDialog::Accepted;
}

bool ProjectTaskWindow::ConfirmDeletion()
{
    KeyboardGrabPause pause;
    CDlgMsgQuestion question(QStringLiteral("删除后无法进行恢复，确定要删除此工程内所有文件吗？"), m_parent);
    // Enter on a row already confirms the row: a second stray Enter must not
    // take a whole project with it.
    question.SetButtonFocus(kFocusCancel);
    return question.exec() == QDialog::Accepted;
}

void ProjectTaskWindow::Started(const QString &label, int maximum)
{
    m_window = std::make_unique<Prodwidget>();
    m_window->SetText(label);
    m_window->SetRange(0, maximum);
    m_window->SetValue(0);
    m_window->show();
    WaitMs(kShowWaitMs);
}

void ProjectTaskWindow::Progress(int value)
{
    if (m_window)
        m_window->SetValue(value);
}

void ProjectTaskWindow::Finished()
{
    if (m_window)
        m_window->close();
    m_window.reset();
}

void ProjectTaskWindow::Pace(int ms)
{
    WaitMs(m_paceMs >= 0 ? m_paceMs : ms);
}
