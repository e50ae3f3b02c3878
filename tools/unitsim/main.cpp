// zeb-unitsim: plays the acquisition unit on 127.0.0.1 for demos and manual runs.
#include "UnitSimulator.h"
#include "ZebVersion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <climits>

namespace {
constexpr quint16 kDefaultPort = 16543;

bool parseInt(const QCommandLineParser &p, const QString &name, int low, int high, int &out)
{
    if (!p.isSet(name))
        return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok, 0);
    if (!ok || v < low || v > high) {
        QTextStream(stderr) << "zeb-unitsim: --" << name << " wants a number from " << low
                            << " to " << high << ", not \"" << p.value(name) << "\"\n";
        return false;
    }
    out = v;
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zeb-unitsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEB_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays the 24-channel acquisition unit on 127.0.0.1: answers the command protocol "
        "and takes synthetic surface-wave shots."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QList<QCommandLineOption> options = {
        {QStringLiteral("port"), QStringLiteral("UDP port on 127.0.0.1 (default 16543; 0 picks a free one)."), QStringLiteral("N")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the shot noise (default 1)."), QStringLiteral("S")},
        {QStringLiteral("version-byte"), QStringLiteral("Hardware version byte (default 0x9B)."), QStringLiteral("B")},
        {QStringLiteral("battery"), QStringLiteral("Battery level 0..10 (default 8)."), QStringLiteral("N")},
        {QStringLiteral("trigger-wait"), QStringLiteral("External trigger fires MS after start; negative never (default 1500)."), QStringLiteral("MS")},
        {QStringLiteral("time-scale"), QStringLiteral("Acquisition time as a share of the record length (default 1)."), QStringLiteral("X")},
        {QStringLiteral("reply-delay"), QStringLiteral("Delay of every reply in ms (default 0)."), QStringLiteral("MS")},
        {QStringLiteral("offset"), QStringLiteral("Source offset in metres (default 4)."), QStringLiteral("M")},
        {QStringLiteral("spacing"), QStringLiteral("Geophone spacing in metres (default 2)."), QStringLiteral("M")},
        {QStringLiteral("no-reply"), QStringLiteral("Command letters never answered, e.g. \"fg\"."), QStringLiteral("LETTERS")},
        {QStringLiteral("silent-after"), QStringLiteral("Answer N commands, then fall silent."), QStringLiteral("N")},
        {QStringLiteral("site-noise"), QStringLiteral("A noisy site in every record but the self-check's: passing vehicles, a noisy geophone (channel 7) and a dead one (channel 18); records the unit triggers by itself carry no hammer blow.")},
        {QStringLiteral("verbose"), QStringLiteral("Log every command.")},
    };
    parser.addOptions(options);
    parser.process(app);

    int port = kDefaultPort, seed = 1, version = 0x9B, battery = 8, triggerWait = 1500;
    int replyDelay = 0, silentAfter = -1;
    if (!parseInt(parser, QStringLiteral("port"), 0, 65535, port)
        || !parseInt(parser, QStringLiteral("seed"), 0, INT_MAX, seed)
        || !parseInt(parser, QStringLiteral("version-byte"), 0, 255, version)
        || !parseInt(parser, QStringLiteral("battery"), -128, 127, battery)
        || !parseInt(parser, QStringLiteral("trigger-wait"), INT_MIN, INT_MAX, triggerWait)
        || !parseInt(parser, QStringLiteral("reply-delay"), 0, 600000, replyDelay)
        || !parseInt(parser, QStringLiteral("silent-after"), 0, INT_MAX, silentAfter))
        return 2;
    auto parseDouble = [&](const QString &name, double fallback, bool &ok) {
        if (!parser.isSet(name))
            return fallback;
        const double v = parser.value(name).toDouble(&ok);
        if (!ok || v < 0)
            QTextStream(stderr) << "zeb-unitsim: --" << name << " wants a number of 0 or more\n";
        ok = ok && v >= 0;
        return v;
    };
    bool ok = true;
    const double timeScale = parseDouble(QStringLiteral("time-scale"), 1.0, ok);
    const double offset = ok ? parseDouble(QStringLiteral("offset"), 4.0, ok) : 0;
    const double spacing = ok ? parseDouble(QStringLiteral("spacing"), 2.0, ok) : 0;
    if (!ok)
        return 2;

    UnitSimulator sim;
    sim.SetSeed(static_cast<quint32>(seed));
    sim.SetVersionByte(static_cast<quint8>(version));
    sim.SetBattery(battery);
    sim.SetTriggerWaitMs(triggerWait);
    sim.SetTimeScale(timeScale);
    sim.SetReplyDelayMs(replyDelay);
    sim.SetGeometry(offset, spacing);
    sim.SetVerbose(parser.isSet(QStringLiteral("verbose")));
    SiteNoise site;
    site.Enabled = parser.isSet(QStringLiteral("site-noise"));
    sim.SetSiteNoise(site);
    for (const QChar c : parser.value(QStringLiteral("no-reply")))
        sim.SetFault(c.toLatin1(), UnitSimulator::Fault::NoReply);
    sim.SetSilentAfter(silentAfter);
    if (!sim.Start(static_cast<quint16>(port)))
        return 1;
    QTextStream(stdout) << "zeb-unitsim: acquisition unit on 127.0.0.1:" << sim.Port() << Qt::endl;
    return app.exec();
}
