#include "CommandLine.h"

#include "params/ParamSet.h"
#include "ZebVersion.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>

namespace {

const char kUsage[] = "usage: zeb [--instrument HOST[:PORT]] [--upload-server HOST:PORT] [--upload-gateway HOST:PORT] "
                      "[--program-dir DIR] [--usb-stick DIR] [--help] [--version]";

const char kHelp[] =
    "The operator program of the ZEB surface-wave seismograph; it runs full screen.\n"
    "\n"
    "  --instrument HOST[:PORT]    the acquisition unit's address for this run\n"
    "  --upload-server HOST:PORT   the normal upload's data server for this run\n"
    "  --upload-gateway HOST[:PORT]\n"
    "                              the witness server for this run (otherwise the\n"
    "                              network's default gateway, port 5555)\n"
    "  --program-dir DIR           where the settings file ZEB.ini and the data folder\n"
    "                              QDW-FILE live (otherwise beside the executable)\n"
    "  --usb-stick DIR             take the folder DIR for the USB stick (test runs)\n"
    "  --help                      print this text and stop\n"
    "  --version                   print the version and stop\n"
    "\n"
    "Without --instrument the program talks to the unit at its factory address.\n"
    "See zeb(1).\n";

// HOST[:PORT] with an IPv4 host; port stays untouched when the value has none.
bool parseHostPort(const QString &option, const QString &value, QString &host, quint16 &port, QString *error)
{
    QString hostText = value;
    QString portText;
    const int colon = value.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        hostText = value.left(colon);
        portText = value.mid(colon + 1);
    }
    QHostAddress address;
    if (!address.setAddress(hostText) || address.protocol() != QAbstractSocket::IPv4Protocol) {
        *error = QStringLiteral("%1: \"%2\" is not an IPv4 address").arg(option, hostText);
        return false;
    }
    if (!portText.isNull()) {
        bool ok = false;
        const uint number = portText.toUInt(&ok);
        if (!ok || number == 0 || number > 65535) {
            *error = QStringLiteral("%1: \"%2\" is not a port number").arg(option, portText);
            return false;
        }
        port = quint16(number);
    }
    host = address.toString();
    return true;
}

bool parseInstrument(const QString &value, ParamSet &params, QString *error)
{
    QString host;
    quint16 port = params.InstrumentPort.toUShort();
    if (!parseHostPort(QStringLiteral("--instrument"), value, host, port, error))
        return false;
    params.InstrumentAddress = host;
    params.InstrumentPort = QString::number(port);
    return true;
}

// The witness server normally sits at the network's gateway; a manual run
// points it at a test server instead.
bool parseUploadGateway(const QString &value, ParamSet &params, QString *error)
{
    QString host;
    quint16 port = quint16(params.WitnessPort);
    if (!parseHostPort(QStringLiteral("--upload-gateway"), value, host, port, error))
        return false;
    params.WitnessGateway = host;
    params.WitnessPort = port;
    return true;
}

// The normal upload's server, pinned for this run: the saved one stays in
// the settings file untouched.
bool parseUploadServer(const QString &value, ParamSet &params, QString *error)
{
    QString host;
    quint16 port = 0;
    if (!parseHostPort(QStringLiteral("--upload-server"), value, host, port, error))
        return false;
    if (port == 0) {
        *error = QStringLiteral("--upload-server: \"%1\" has no port").arg(value);
        return false;
    }
    const quint32 address = QHostAddress(host).toIPv4Address();
    for (int i = 0; i < 4; ++i)
        params.PinnedServerAddress[size_t(i)] = qint8(quint8(address >> (8 * (3 - i))));
    params.PinnedServerPort = port;
    params.UploadServerPinned = true;
    return true;
}

// A test run hands the program a plain folder as its stick, so that an
// export can be checked without mounting anything.
bool parseUsbStick(const QString &value, CommandLineChoices &choices, QString *error)
{
    const QFileInfo folder(value);
    if (value.isEmpty() || !folder.isDir() || !folder.isWritable()) {
        *error = QStringLiteral("--usb-stick: \"%1\" is not a writable folder").arg(value);
        return false;
    }
    choices.UsbStickFolder = QDir::cleanPath(folder.absoluteFilePath());
    return true;
}

// An installed program cannot write beside its executable, so the package
// names a writable folder. Refused at start rather than when the first record
// is saved: by then the operator has taken shots that could be lost.
bool parseProgramDir(const QString &value, ParamSet &, QString *error)
{
    if (value.isEmpty()) {
        *error = QStringLiteral("--program-dir: the folder name is empty");
        return false;
    }
    const QString dir = QDir::cleanPath(QDir().absoluteFilePath(value));
    const QFileInfo info(dir);
    if (info.exists() && !info.isDir()) {
        *error = QStringLiteral("--program-dir: \"%1\" is not a folder").arg(value);
        return false;
    }
    if (!QDir().mkpath(dir) || !QFileInfo(dir).isWritable()) {
        *error = QStringLiteral("--program-dir: cannot create or write the folder \"%1\"").arg(value);
        return false;
    }
    SetProgramDir(dir);
    return true;
}

struct Option
{
    const char *Name;
    bool (*Apply)(const QString &value, ParamSet &params, QString *error);
    bool (*Choose)(const QString &value, CommandLineChoices &choices, QString *error);
};

const Option kOptions[] = {
    {"--instrument", parseInstrument, nullptr},
    {"--upload-server", parseUploadServer, nullptr},
    {"--upload-gateway", parseUploadGateway, nullptr},
    {"--program-dir", parseProgramDir, nullptr},
    {"--usb-stick", nullptr, parseUsbStick},
};

} // namespace

QString CommandLineUsage()
{
    return QString::fromLatin1(kUsage);
}

bool ApplyCommandLine(const QStringList &arguments, ParamSet &params, QString *error,
                      CommandLineChoices *choices)
{
    CommandLineChoices ignored;
    CommandLineChoices &chosen = choices ? *choices : ignored;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        const Option *option = nullptr;
        QString value;
        for (const Option &o : kOptions) {
            const QString name = QString::fromLatin1(o.Name);
            if (arg == name) {
                if (i + 1 >= arguments.size()) {
                    *error = QStringLiteral("%1 needs a value; %2").arg(name, QString::fromLatin1(kUsage));
                    return false;
                }
                value = arguments.at(++i);
            } else if (arg.startsWith(name + QLatin1Char('='))) {
                value = arg.mid(name.size() + 1);
            } else {
                continue;
            }
            option = &o;
            break;
        }
        if (!option) {
            *error = QStringLiteral("unknown argument \"%1\"; %2").arg(arg, QString::fromLatin1(kUsage));
            return false;
        }
        if (option->Apply && !option->Apply(value, params, error))
            return false;
        if (option->Choose && !option->Choose(value, chosen, error))
            return false;
    }
    return true;
}

QString CommandLineAnswer(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        bool takesValue = false;
        for (const Option &o : kOptions)
            takesValue = takesValue || arg == QLatin1String(o.Name);
        if (takesValue) {
            ++i; // "--program-dir --help" names a folder, it does not ask for help
            continue;
        }
        if (arg == QLatin1String("--version"))
            return QStringLiteral("zeb %1\n").arg(QStringLiteral(ZEB_VERSION));
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return QStringLiteral("%1\n\n%2").arg(QString::fromLatin1(kUsage), QString::fromLatin1(kHelp));
    }
    return QString();
}
