#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QObject>
#include <QWidget>

#include <functional>
#include <vector>

class QAbstractButton;

/// One modal dialog found by ModalDriver, as the handler sees it.
class ModalDialog
{
public:
    explicit ModalDialog(QWidget *dialog) : m_dialog(dialog) {}

    QWidget *Widget() const { return m_dialog; }
    bool IsOpen() const { return m_dialog && m_dialog->isVisible(); }
    QString Title() const;
    /// Text of the label, button or line edit called objectName (empty when there is none).
    QString Text(const QString &objectName) const;
    /// Texts of all visible labels, in creation order.
    QStringList LabelTexts() const;
    template <typename T> T *Find(const QString &objectName) const
    {
        return m_dialog ? m_dialog->findChild<T *>(objectName) : nullptr;
    }

    /// Presses and releases key on the dialog, as the keyboard grab delivers it.
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    /// Types text key by key.
    void Type(const QString &text);
    /// Empties the entry (editValue) with Backspace, then types text: what an
    /// operator does to replace a number keypad's value.
    void Retype(const QString &text);
    /// Clicks the button called objectName with the mouse (press and release);
    /// false when there is no such visible button.
    bool Click(const QString &objectName);

private:
    QPointer<QWidget> m_dialog;
};

/// Answers the modal dialogs that the code under test opens with exec().
///
/// Queue one handler per dialog you expect, in the order they open, BEFORE
/// calling the code that runs exec(); the driver polls from a timer, which
/// keeps running inside the dialog's own event loop. Each handler gets the new
/// modal dialog (QApplication::activeModalWidget()) and must close it (key or
/// click). A handler may open further dialogs (a click that shows a message
/// box): the next queued handler answers those while the first one waits.
///
///     ModalDriver driver;
///     driver.Expect([](ModalDialog &d) {
///         QCOMPARE(d.Text("labelMsg"), QStringLiteral("输入为空,请重新输入!"));
///         d.Key(Qt::Key_Return);
///     });
///     screen.on_btnSave_clicked();          // opens the message box with exec()
///     QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
///
/// It never hangs a test: a dialog that does not show within the time-out is
/// reported as a failure; a dialog its handler leaves open, and any dialog
/// opened after the queue is used up or has failed, is rejected and reported.
class ModalDriver
{
public:
    using Handler = std::function<void(ModalDialog &)>;

    /// timeoutMs: how long each dialog may take to appear (scaled under CI).
    explicit ModalDriver(int timeoutMs = 5000);
    ~ModalDriver();
    ModalDriver(const ModalDriver &) = delete;
    ModalDriver &operator=(const ModalDriver &) = delete;

    /// Queues a handler for the next dialog that opens.
    void Expect(Handler handler);

    /// Waits (event loop running) until every queued dialog has been answered
    /// and closed, or a failure; true when all went well.
    bool Finished(int timeoutMs = 5000);
    /// Dialogs answered so far.
    int Answered() const { return m_answered; }
    /// Texts of the failures, empty when there were none.
    QString Failure() const { return m_failures.join(QLatin1Char('\n')); }
    /// Titles and label texts of the dialogs met, in order (for messages in failures).
    const QStringList &Seen() const { return m_seen; }

private:
    void Poll();
    void ScheduleNextPoll();
    void Fail(const QString &what);

    struct Step
    {
        Handler handler;
        QPointer<QWidget> dialog;
        bool started = false;
        bool returned = false;
        qint64 deadline = 0;
    };

    QObject m_context; ///< owns the pending poll; going, it cancels it
    int m_timeoutMs;
    std::vector<Step> m_steps;
    size_t m_next = 0;
    int m_answered = 0;
    qint64 m_waitStart = 0;
    QStringList m_failures;
    QStringList m_seen;
    bool m_reported = false;
};
