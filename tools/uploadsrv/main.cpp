// zeb-uploadsrv: the normal data server and the witness server on 127.0.0.1
// for manual runs; every frame is checked and, with --verbose, logged.
#include "NormalUploadServer.h"
#include "WitnessUploadServer.h"
#include "ZebVersion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {
constexpr quint16 kDefaultNormalPort = 15005;
constexpr quint16 kDefaultWitnessPort = 15555;

bool portOption(const QCommandLineParser &p, const QString &name, quint16 fallback, quint16 &out)
{
    out = fallback;
    if (!p.isSet(name))
        return true;
    bool ok = false;
    const uint v = p.value(name).toUInt(&ok);
    if (!ok || v > 65535) {
        QTextStream(stderr) << "zeb-uploadsrv: --" << name << " wants a port number, not \"" << p.value(name) << "\"\n";
        return false;
    }
    out = quint16(v);
    return true;
}

void report(const QString &server, const UploadServerBase &s, bool completed)
{
    QTextStream out(stdout);
    out << server << ": " << (completed ? "upload complete" : "upload incomplete");
    const QStringList problems = s.Problems();
    out << (problems.isEmpty() ? QStringLiteral(", every frame correct")
                               : QStringLiteral(", %1 problems: %2").arg(problems.size()).arg(problems.join("; ")))
        << Qt::endl;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zeb-uploadsrv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEB_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays the normal data server and the witness server on 127.0.0.1 and checks every frame."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("normal-port"), QStringLiteral("Normal upload port (default 15005; 0 picks one)."), QStringLiteral("N")},
        {QStringLiteral("witness-port"), QStringLiteral("Witness upload port (default 15555; 0 picks one)."), QStringLiteral("N")},
        {QStringLiteral("task"), QStringLiteral("Task number the witness server issues (default 4711)."), QStringLiteral("N")},
        {QStringLiteral("mileage"), QStringLiteral("Mileage number it issues (default K12+345)."), QStringLiteral("TEXT")},
        {QStringLiteral("verbose"), QStringLiteral("Log every frame.")},
    });
    parser.process(app);

    quint16 normalPort = 0, witnessPort = 0;
    if (!portOption(parser, QStringLiteral("normal-port"), kDefaultNormalPort, normalPort)
        || !portOption(parser, QStringLiteral("witness-port"), kDefaultWitnessPort, witnessPort))
        return 2;

    NormalUploadServer normal;
    WitnessUploadServer witness;
    const bool verbose = parser.isSet(QStringLiteral("verbose"));
    normal.SetVerbose(verbose);
    witness.SetVerbose(verbose);
    if (parser.isSet(QStringLiteral("task")) || parser.isSet(QStringLiteral("mileage")))
        witness.SetTask(parser.value(QStringLiteral("task")).toInt(),
                        parser.isSet(QStringLiteral("mileage")) ? parser.value(QStringLiteral("mileage")).toUtf8()
                                                                : QByteArray("K12+345"));
    if (!normal.Start(normalPort) || !witness.Start(witnessPort)) {
        QTextStream(stderr) << "zeb-uploadsrv: cannot listen on 127.0.0.1 (port taken?)\n";
        return 1;
    }
    QObject::connect(&normal, &NormalUploadServer::UploadCompleted, &normal,
                     [&normal] { report(QStringLiteral("normal server"), normal, true); });
    QObject::connect(&witness, &WitnessUploadServer::UploadCompleted, &witness,
                     [&witness] { report(QStringLiteral("witness server"), witness, true); });
    QTextStream(stdout) << "zeb-uploadsrv: normal server on 127.0.0.1:" << normal.Port()
                        << ", witness server on 127.0.0.1:" << witness.Port() << Qt::endl;
    return app.exec();
}
