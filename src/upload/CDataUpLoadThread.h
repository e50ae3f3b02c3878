#pragma once

#include "UploadRecord.h"
#include "UploadTimings.h"

#include <QMutex>
#include <QThread>

#include <atomic>
#include <memory>

class UploadLink;

/// The normal upload's worker: connects to the data server and sends the
/// parameter frame, every data frame and the end frame, each acknowledged.
/// A failed connection or frame pauses it where it stopped; the owner's
/// StartOrResume() reconnects and continues with the frame that failed.
/// It reports only through queued signals and works on its own copy of the
/// record; its link lives and dies on its thread.
class CDataUpLoadThread : public QThread
{
    Q_OBJECT

public:
    enum RunState { Running = 0, Idle = 1, Paused = 2 };

    explicit CDataUpLoadThread(const UploadRecord &record, QObject *parent = nullptr);
    /// Aborts and waits for the thread.
    ~CDataUpLoadThread() override;

    /// Not started: starts with fields. Paused after a failure: reconnects
    /// and goes on; with fields other than those the parameter frame carried
    /// (another server or identity) it starts again from the parameter frame.
    void StartOrResume(const UploadFields &fields);
    int GetRunState() const { return m_runState; }
    bool IsPaused() const { return m_paused; }
    /// Progress steps of the whole upload: C × T + 2.
    int TagCount() const;
    /// Why this record cannot go out by the normal protocol; empty when it can.
    static QString Refusal(const UploadRecord &record);

    static QString DoneText();
    /// The operator's text for a failure reported by signalTranslateException.
    static QString FailureText(int tagType, int iException);

signals:
    void signalSetWarning(QString text);
    void signalTagCount(int count);
    void signalOneTagProcessed(int value);
    void signalTranslateException(int tagType, int chnn, int tagnum, int iException);
    void signalProcessFinished();

public slots:
    /// Ends the current wait and the thread; no further attempt is made.
    void DoHandleAbortUpLoad();

protected:
    void run() override;

private:
    enum class Frame { Parameter, Data, End };

    void TakeNewFields();
    void ConnectToServer();
    int SendAll();
    int SendPacket(Frame kind);
    int Fail(int tagType, int result);
    /// Sleeps up to ms while keepSleeping() holds; the owner's calls wake it at once.
    void SleepWhile(const std::function<bool()> &keepSleeping, int ms);
    void Wake();

    UploadRecord m_record;
    const UploadTimings m_timings;
    std::unique_ptr<UploadLink> m_link;

    std::atomic<int> m_runState{Idle};
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_abort{false};
    std::atomic<bool> m_connected{false};

    QMutex m_fieldsLock;
    UploadFields m_newFields;
    bool m_newFieldsWaiting = false;

    // Position of the transfer; only the worker thread touches these.
    bool m_paramSent = false;
    int m_channel = 0;
    int m_index = 0;
    int m_channels = 0;
    int m_samples = 0;
    int m_perChannel = 0;
};
