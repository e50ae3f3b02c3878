#include "ModalDriver.h"

#include "TestProgramDir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {
const int kPollMs = 10;

qint64 Now()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

void CloseDialog(QWidget *w)
{
    if (auto *d = qobject_cast<QDialog *>(w))
        d->reject();
    else
        w->close();
}

QString Describe(const ModalDialog &d)
{
    QStringList parts{QStringLiteral("\"%1\"").arg(d.Title())};
    parts += d.LabelTexts();
    return parts.join(QStringLiteral(" | "));
}
} // namespace

QString ModalDialog::Title() const
{
    return m_dialog ? m_dialog->windowTitle() : QString();
}

QString ModalDialog::Text(const QString &objectName) const
{
    if (!m_dialog)
        return {};
    QObject *o = m_dialog->findChild<QObject *>(objectName);
    if (auto *l = qobject_cast<QLabel *>(o))
        return l->text();
    if (auto *b = qobject_cast<QAbstractButton *>(o))
        return b->text();
    if (auto *e = qobject_cast<QLineEdit *>(o))
        return e->text();
    return {};
}

QStringList ModalDialog::LabelTexts() const
{
    QStringList texts;
    if (!m_dialog)
        return texts;
    const auto labels = m_dialog->findChildren<QLabel *>();
    for (const QLabel *l : labels)
        if (!l->isHidden() && !l->text().isEmpty())
            texts << l->text();
    return texts;
}

void ModalDialog::Key(int key, Qt::KeyboardModifiers modifiers)
{
    if (!m_dialog)
        return;
    // Where the window system would deliver it: the keyboard grabber first.
    QWidget *target = QWidget::keyboardGrabber();
    if (!target)
        target = m_dialog->focusWidget() ? m_dialog->focusWidget() : m_dialog.data();
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

void ModalDialog::Type(const QString &text)
{
    for (const QChar c : text) {
        if (!m_dialog)
            return;
        QWidget *target = QWidget::keyboardGrabber();
        if (!target)
            target = m_dialog->focusWidget() ? m_dialog->focusWidget() : m_dialog.data();
        QTest::keyClick(target, c.toLatin1());
    }
}

void ModalDialog::Retype(const QString &text)
{
    const int length = Text(QStringLiteral("editValue")).size();
    for (int i = 0; i < length; ++i)
        Key(Qt::Key_Backspace);
    Type(text);
}

bool ModalDialog::Click(const QString &objectName)
{
    auto *b = Find<QAbstractButton>(objectName);
    if (!b || !b->isVisible() || !b->isEnabled())
        return false;
    QTest::mouseClick(b, Qt::LeftButton);
    return true;
}

ModalDriver::ModalDriver(int timeoutMs)
    : m_timeoutMs(ScaledTimeout(timeoutMs))
{
    ScheduleNextPoll();
}

void ModalDriver::ScheduleNextPoll()
{
    // A fresh single-shot each time: a repeating timer would not fire again
    // while a handler runs, so nested dialogs would never be answered.
    QTimer::singleShot(kPollMs, &m_context, [this] { Poll(); });
}

ModalDriver::~ModalDriver()
{
    // A test that never asked Finished() must still hear about what went wrong.
    if (!m_failures.isEmpty() && !m_reported)
        QTest::qFail(qPrintable(Failure()), __FILE__, __LINE__);
}

void ModalDriver::Expect(Handler handler)
{
    if (m_next == m_steps.size())
        m_waitStart = Now();
    m_steps.push_back(Step{std::move(handler), {}, false, false, 0});
}

void ModalDriver::Fail(const QString &what)
{
    m_failures << what;
}

void ModalDriver::Poll()
{
    ScheduleNextPoll();
    const qint64 now = Now();

    // Dialogs whose handler returned but which are still open.
    for (Step &s : m_steps) {
        if (s.returned && s.dialog && s.dialog->isVisible() && now > s.deadline) {
            Fail(QStringLiteral("dialog left open by its handler: %1").arg(Describe(ModalDialog(s.dialog))));
            s.returned = false; // report once
            CloseDialog(s.dialog);
        }
    }

    QWidget *modal = QApplication::activeModalWidget();
    bool known = false;
    for (const Step &s : m_steps)
        known = known || (modal && s.dialog == modal);

    if (modal && modal->isVisible() && !known) {
        ModalDialog d(modal);
        m_seen << Describe(d);
        if (m_next >= m_steps.size() || !m_failures.isEmpty()) {
            Fail(QStringLiteral("unexpected dialog: %1").arg(Describe(d)));
            CloseDialog(modal);
            return;
        }
        const size_t index = m_next++;
        m_steps[index].dialog = modal;
        m_steps[index].started = true;
        m_waitStart = now;
        // The handler may open nested dialogs; this poll runs again inside
        // their event loops and answers them with the following steps.
        Handler handler = m_steps[index].handler;
        handler(d);
        ++m_answered;
        m_steps[index].returned = true;
        m_steps[index].deadline = Now() + m_timeoutMs;
        return;
    }

    if (m_next < m_steps.size() && m_failures.isEmpty() && now - m_waitStart > m_timeoutMs) {
        Fail(QStringLiteral("no dialog appeared for step %1 of %2 within %3 ms")
                 .arg(m_next + 1)
                 .arg(m_steps.size())
                 .arg(m_timeoutMs));
        m_next = m_steps.size();
    }
}

bool ModalDriver::Finished(int timeoutMs)
{
    const auto done = [this] {
        if (!m_failures.isEmpty())
            return true;
        if (m_next < m_steps.size())
            return false;
        for (const Step &s : m_steps)
            if (s.dialog && s.dialog->isVisible())
                return false;
        return true;
    };
    if (!QTest::qWaitFor(done, ScaledTimeout(timeoutMs)))
        Fail(QStringLiteral("%1 of %2 dialogs answered when the wait ended").arg(m_answered).arg(m_steps.size()));
    m_reported = true;
    return m_failures.isEmpty();
}
