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
