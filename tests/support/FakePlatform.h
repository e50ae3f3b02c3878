#pragma once

#include "platform/Platform.h"

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QWaitCondition>
#include <QString>
#include <QStringList>

#include <array>

/// A platform for tests: a clock that stands where the test puts it, a USB
/// stick that is a folder of the test's, and outside commands that are only
/// written down (each answered with the exit code the test chose).
class FakePlatform : public Platform
{
public:
    struct Command
    {
        QString Program;
        QStringList Arguments;
        int TimeoutMs = 0; ///< the limit the command was run with
    };

    QDateTime Now() override { return m_now.isValid() ? m_now : QDateTime::currentDateTime(); }
    QString FindUsbStick() override { return m_stick; }
    /// Written down and answered at once, or, for a program set never to
    /// return, answered kCommandTimedOut once its limit has passed (events
    /// keep flowing meanwhile, as on the real platform).
    int RunCommand(const QString &program, const QStringList &arguments, int timeoutMs) override;
    QList<NetworkInterfaceAddresses> InterfaceAddresses() override { return m_interfaces; }
    QByteArray RoutingTable() override { return m_routingTable; }

    /// Fixes the clock (an invalid value lets it follow the real time).
    void SetNow(const QDateTime &now) { m_now = now; }
    void SetUsbStick(const QString &root) { m_stick = root; }
    /// Exit code of program's next runs (0 unless set).
    void SetExitCode(const QString &program, int code);
    /// program's next runs hang until their time limit.
    void SetNeverReturns(const QString &program) { m_neverReturns << program; }

    // Volumes: free space as the test says (the real one unless set), and
    // flushes written down and answered as the test says (true unless set).
    qint64 FreeBytes(const QString &path) override;
    bool FlushVolume(const QString &path, int timeoutMs) override;
    /// Free bytes every volume reports; −2 asks the system.
    void SetFreeBytes(qint64 bytes) { m_freeBytes = bytes; }
    void SetFlushResult(bool result) { m_flushResult = result; }
    /// Paths of every volume flush asked for, in order.
    const QStringList &Flushes() const { return m_flushes; }
    /// The network the gateway lookup sees: interfaces with their addresses,
    /// and the routing table's text (never the machine's own).
    void SetInterfaceAddresses(const QList<NetworkInterfaceAddresses> &interfaces) { m_interfaces = interfaces; }
    void SetRoutingTable(const QByteArray &table) { m_routingTable = table; }

    // Durable files: real unless the test makes one step fail.
    enum class FileStep { Create, Write, Sync, Rename };
    /// The occurrence-th call (1-based, counted from now) of step fails; with
    /// diskFull a write stores half its bytes and reports that, as a disk
    /// that fills up does. One fault at a time; ClearFileFault() ends it.
    void FailFileStep(FileStep step, int occurrence = 1, bool diskFull = false);
    /// The occurrence-th call of step hangs, as a stick that stops answering
    /// does, until ClearFileFault() (or the platform's end); it then fails.
    void HangFileStep(FileStep step, int occurrence = 1);
    /// Calls hanging right now.
    int HangingCalls() const;
    void ClearFileFault();
    /// Calls of step since the fault was set (or the start).
    int FileStepCalls(FileStep step) const;
    bool CreateNewFile(QFile &file) override;
    qint64 WriteToFile(QFile &file, const char *data, qint64 size) override;
    bool SyncFile(QFile &file) override;
    bool RenameFile(const QString &from, const QString &to) override;
    /// Counted and failed as a Rename step.
    bool RenameToNewName(const QString &from, const QString &to) override;

    /// Every command that would have run, in order.
    const QList<Command> &Commands() const { return m_commands; }
    /// The commands as "program arg1 arg2 …" lines, for comparisons.
    QStringList CommandLines() const;

private:
    /// Counts a call of step; true when this one is to fail (after its hang).
    bool Fails(FileStep step, bool *diskFull = nullptr);

public:
    ~FakePlatform() override;

private:
    QWaitCondition m_released;
    bool m_hang = false;
    int m_hanging = 0;

    mutable QMutex m_fileMutex; // the journal writes from its own thread
    std::array<int, 4> m_fileCalls{};
    int m_failStep = -1;
    int m_failOccurrence = 0;
    bool m_failDiskFull = false;
    QDateTime m_now;
    QString m_stick;
    QList<Command> m_commands;
    QList<QPair<QString, int>> m_exitCodes;
    QStringList m_neverReturns;
    qint64 m_freeBytes = kSystemFreeBytes;
    bool m_flushResult = true;
    QStringList m_flushes;
    static constexpr qint64 kSystemFreeBytes = -2;
    QList<NetworkInterfaceAddresses> m_interfaces;
    QByteArray m_routingTable;
};

/// Installs a fresh FakePlatform for the life of the object and returns it;
/// the harmless platform comes back afterwards.
class ScopedFakePlatform
{
public:
    ScopedFakePlatform();
    ~ScopedFakePlatform();
    ScopedFakePlatform(const ScopedFakePlatform &) = delete;
    ScopedFakePlatform &operator=(const ScopedFakePlatform &) = delete;

    FakePlatform &operator*() const { return *m_fake; }
    FakePlatform *operator->() const { return m_fake; }

private:
    FakePlatform *m_fake;
};
