#pragma once

#include <QByteArray>
#include <QDateTime>
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
    /// Runs program with arguments (never through a shell); its exit code,
    /// or −1 when it could not run. The harmless platform runs nothing.
    virtual int RunCommand(const QString &program, const QStringList &arguments)
    {
        Q_UNUSED(program);
        Q_UNUSED(arguments);
        return -1;
    }

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
    /// through RunCommand: `date -s "yyyy-MM-dd hh:mm:ss"`, and only when that
    /// succeeded `hwclock --systohc`. False when t lies outside
    /// EarliestClock()…LatestClock() (nothing runs) or a command failed; the
    /// harmless platform runs nothing and therefore always fails.
    bool SetClock(const QDateTime &t);
};

/// The platform in use: the harmless one unless main() or a test installed another.
Platform &CurrentPlatform();
/// Replaces the platform; nullptr brings back the harmless one.
void SetPlatform(std::unique_ptr<Platform> platform);
/// The controller's real system (clock commands, removable volumes); for main() only.
/// dataFolder names the folder that holds the records, asked each time a stick
/// is looked for: no volume on its disk is ever taken for the stick.
std::unique_ptr<Platform> MakeSystemPlatform(std::function<QString()> dataFolder);
