#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

/// One network interface and the IPv4 addresses it carries.
struct NetworkInterfaceAddresses
{
    QString Name;       ///< as the routing table names it ("eth0")
    QStringList IPv4;   ///< dotted addresses, in the system's order
};

/// RunCommand's result for a command that did not end within its time limit
/// (it has been killed).
constexpr int kCommandTimedOut = -2;
/// How long each clock command may take before it counts as failed.
constexpr int kClockCommandLimitMs = 10000;

/// How setting the clock went.
enum class ClockResult {
    Set,                 ///< system and hardware clock hold the new time
    Failed,              ///< nothing changed (refused time, or `date` failed)
    HardwareClockFailed, ///< the system clock changed, the hardware clock did not
};

/// What the program needs from the controller's system: the clock, the USB
/// stick, outside commands. Only main() installs the real one
/// (MakeSystemPlatform()); every other user of the libraries, tests included,
/// gets the harmless base behaviour unless it installs a stand-in: no stick,
/// no command ever run, the time read but never set.
class Platform
{
public:
    virtual ~Platform() = default;
    /// The time every clock on screen shows.
    virtual QDateTime Now() { return QDateTime::currentDateTime(); }
    /// Root path of the first ready removable volume, or an empty text.
    virtual QString FindUsbStick() { return QString(); }

    // Volumes (project export to the USB stick)
    /// Bytes this program may still write on the volume that holds path; −1
    /// when unknown. Reading it is harmless: every platform asks the system.
    virtual qint64 FreeBytes(const QString &path);
    /// Writes what the system still caches for the volume that holds path to
    /// its device. False when that fails or takes longer than timeoutMs (a
    /// stick that hangs); the event loop runs meanwhile. Harmless too: it
    /// only makes the system write what it would write anyway.
    virtual bool FlushVolume(const QString &path, int timeoutMs);
    /// Runs program with arguments (never through a shell) while the event
    /// loop keeps running; its exit code, −1 when it could not run or
    /// crashed, kCommandTimedOut when it was still running after timeoutMs
    /// (it is then killed). The harmless platform runs nothing.
    virtual int RunCommand(const QString &program, const QStringList &arguments, int timeoutMs)
    {
        Q_UNUSED(program);
        Q_UNUSED(arguments);
        Q_UNUSED(timeoutMs);
        return -1;
    }

    // Durable files --------------------------------------------------------
    // The steps of writing a file that must survive a power cut (the journal
    // of unsaved shots) go through here, so that a test's platform can make
    // any one of them fail as a failing or full disk does. Every platform
    // does them for real; they may be called from any thread.
    /// Creates the file at file's name, which must not exist yet, for writing.
    virtual bool CreateNewFile(QFile &file);
    /// Writes size bytes of data to file: the count written (less on a full
    /// disk), −1 on failure.
    virtual qint64 WriteToFile(QFile &file, const char *data, qint64 size);
    /// Waits until everything written to file is on its device.
    virtual bool SyncFile(QFile &file);
    /// Gives the file at from the name to (replacing a file of that name).
    virtual bool RenameFile(const QString &from, const QString &to);
    /// Gives the file at from the name to only when no file bears it yet
    /// (errno EEXIST otherwise): a record is never put over another.
    virtual bool RenameToNewName(const QString &from, const QString &to);

    // --- Network: the witness upload's server is the default gateway --------
    /// The interfaces that are up, with their IPv4 addresses, in the
    /// system's order. The harmless platform knows of none.
    virtual QList<NetworkInterfaceAddresses> InterfaceAddresses() { return {}; }
    /// The kernel's IPv4 routing table as its text ("/proc/net/route"), or
    /// an empty text when there is none. The harmless platform has none.
    virtual QByteArray RoutingTable() { return {}; }
    // Clock ------------------------------------------------------------
    /// Earliest and latest time the program will set the clock to.
    static QDateTime EarliestClock();
    static QDateTime LatestClock();
    /// Sets the system clock and then the hardware clock to t (local time)
    /// through RunCommand, each command within ClockCommandLimitMs():
    /// `date -s "yyyy-MM-dd hh:mm:ss"`, and only when that succeeded
    /// `hwclock --systohc`. Failed when t lies outside
    /// EarliestClock()…LatestClock() (nothing runs) or `date` failed; the
    /// harmless platform runs nothing and therefore always fails.
    ClockResult SetClock(const QDateTime &t);
    int ClockCommandLimitMs() const { return m_clockCommandLimitMs; }
    /// Tests shorten the limit to see a command that never returns given up.
    void SetClockCommandLimitMs(int ms) { m_clockCommandLimitMs = ms; }

private:
    int m_clockCommandLimitMs = kClockCommandLimitMs;
};

/// The platform in use: the harmless one unless main() or a test installed another.
Platform &CurrentPlatform();
/// Replaces the platform; nullptr brings back the harmless one.
void SetPlatform(std::unique_ptr<Platform> platform);
/// The controller's real system (clock commands, removable volumes); for main() only.
/// dataFolder names the folder that holds the records, asked each time a stick
/// is looked for: no volume on its disk is ever taken for the stick. A
/// non-empty usbStickFolder stands in for the stick (a test run's folder).
std::unique_ptr<Platform> MakeSystemPlatform(std::function<QString()> dataFolder,
                                             const QString &usbStickFolder = QString());
