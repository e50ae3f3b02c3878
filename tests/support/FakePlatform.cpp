#include "FakePlatform.h"

#include <QEventLoop>
#include <QTimer>

#include <memory>

int FakePlatform::RunCommand(const QString &program, const QStringList &arguments, int timeoutMs)
{
    m_commands.append({program, arguments, timeoutMs});
    if (m_neverReturns.contains(program)) {
        QEventLoop loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        return kCommandTimedOut;
    }
    for (const auto &entry : m_exitCodes)
        if (entry.first == program)
            return entry.second;
    return 0;
}

void FakePlatform::SetExitCode(const QString &program, int code)
{
    for (auto &entry : m_exitCodes) {
        if (entry.first == program) {
            entry.second = code;
            return;
        }
    }
    m_exitCodes.append({program, code});
}

QStringList FakePlatform::CommandLines() const
{
    QStringList lines;
    for (const Command &c : m_commands)
        lines << (QStringList{c.Program} + c.Arguments).join(QLatin1Char(' '));
    return lines;
}

qint64 FakePlatform::FreeBytes(const QString &path)
{
    return m_freeBytes == kSystemFreeBytes ? Platform::FreeBytes(path) : m_freeBytes;
}

bool FakePlatform::FlushVolume(const QString &path, int timeoutMs)
{
    Q_UNUSED(timeoutMs);
    m_flushes << path;
    return m_flushResult;
}

FakePlatform::~FakePlatform()
{
    // A write given up on still runs on its own thread: it must leave this
    // object before the object goes.
    ClearFileFault();
    QMutexLocker lock(&m_fileMutex);
    while (m_hanging > 0)
        m_released.wait(&m_fileMutex);
}

void FakePlatform::FailFileStep(FileStep step, int occurrence, bool diskFull)
{
    QMutexLocker lock(&m_fileMutex);
    m_fileCalls.fill(0);
    m_failStep = int(step);
    m_failOccurrence = occurrence;
    m_failDiskFull = diskFull;
    m_hang = false;
}

void FakePlatform::HangFileStep(FileStep step, int occurrence)
{
    FailFileStep(step, occurrence);
    QMutexLocker lock(&m_fileMutex);
    m_hang = true;
}

int FakePlatform::HangingCalls() const
{
    QMutexLocker lock(&m_fileMutex);
    return m_hanging;
}

void FakePlatform::ClearFileFault()
{
    QMutexLocker lock(&m_fileMutex);
    m_fileCalls.fill(0);
    m_failStep = -1;
    m_hang = false;
    m_released.wakeAll();
}

int FakePlatform::FileStepCalls(FileStep step) const
{
    QMutexLocker lock(&m_fileMutex);
    return m_fileCalls[size_t(step)];
}

bool FakePlatform::Fails(FileStep step, bool *diskFull)
{
    QMutexLocker lock(&m_fileMutex);
    const int calls = ++m_fileCalls[size_t(step)];
    const bool fails = m_failStep == int(step) && calls == m_failOccurrence;
    if (diskFull)
        *diskFull = fails && m_failDiskFull;
    if (fails && m_hang) {
        ++m_hanging;
        while (m_hang)
            m_released.wait(&m_fileMutex);
        --m_hanging;
        m_released.wakeAll();
    }
    return fails;
}

bool FakePlatform::CreateNewFile(QFile &file)
{
    return !Fails(FileStep::Create) && Platform::CreateNewFile(file);
}

qint64 FakePlatform::WriteToFile(QFile &file, const char *data, qint64 size)
{
    bool diskFull = false;
    if (!Fails(FileStep::Write, &diskFull))
        return Platform::WriteToFile(file, data, size);
    return diskFull ? Platform::WriteToFile(file, data, size / 2) : -1;
}

bool FakePlatform::SyncFile(QFile &file)
{
    return !Fails(FileStep::Sync) && Platform::SyncFile(file);
}

bool FakePlatform::RenameFile(const QString &from, const QString &to)
{
    return !Fails(FileStep::Rename) && Platform::RenameFile(from, to);
}

bool FakePlatform::RenameToNewName(const QString &from, const QString &to)
{
    return !Fails(FileStep::Rename) && Platform::RenameToNewName(from, to);
}

ScopedFakePlatform::ScopedFakePlatform()
{
    auto fake = std::make_unique<FakePlatform>();
    m_fake = fake.get();
    SetPlatform(std::move(fake));
}

ScopedFakePlatform::~ScopedFakePlatform()
{
    SetPlatform(nullptr);
}
