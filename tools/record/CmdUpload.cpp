// upload: sends a record file to a data server with the normal upload
// protocol, with the same worker the upload dialog runs, so that a record
// copied to the office computer can go out again.
#include "RecordTool.h"

#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "records/RecordFile.h"
#include "upload/CDataUpLoadThread.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHostAddress>
#include <QMap>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// sysexits, as the other exit codes of the tool.
constexpr int kExitData = 65;        ///< the record cannot be uploaded as it is
constexpr int kExitUnavailable = 69; ///< the server cannot be reached
constexpr int kExitProtocol = 76;    ///< the server refused or did not answer a frame

struct UploadOptions
{
    QString File;
    QString Server;
    QMap<QString, QString> Values;
};

const char *const kValueOptions[] = {"--server", "--instrument-number", "--serial", "--profile",
                                     "--longitude", "--latitude"};

bool parseOptions(const ToolArgs &args, UploadOptions &o)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        bool known = false;
        for (const char *name : kValueOptions) {
            if (a != QLatin1String(name))
                continue;
            if (i + 1 >= args.size())
                return false;
            o.Values.insert(a, args.at(++i));
            known = true;
        }
        if (known)
            continue;
        if (a.startsWith(QLatin1String("--")) || !o.File.isEmpty())
            return false;
        o.File = a;
    }
    return !o.File.isEmpty() && o.Values.contains(QStringLiteral("--server"));
}

bool fail(const QString &text)
{
    std::fprintf(stderr, "zeb-record upload: %s\n", text.toUtf8().constData());
    return false;
}

// The upload fields of the current parameter set from the options.
bool applyFields(const UploadOptions &o, ParamSet &p)
{
    const QString server = o.Values.value(QStringLiteral("--server"));
    const int colon = server.lastIndexOf(QLatin1Char(':'));
    QHostAddress host;
    bool portOk = false;
    const uint port = colon > 0 ? server.mid(colon + 1).toUInt(&portOk) : 0;
    if (colon <= 0 || !host.setAddress(server.left(colon)) || host.protocol() != QAbstractSocket::IPv4Protocol
        || !portOk || port == 0 || port > 65535)
        return fail(QStringLiteral("--server wants IPV4-ADDRESS:PORT, not \"%1\"").arg(server));
    const quint32 a = host.toIPv4Address();
    p.ServerAddress = {qint8(a >> 24), qint8(a >> 16), qint8(a >> 8), qint8(a)};
    p.ServerPort = int(port);
    p.InstrumentNumber = o.Values.value(QStringLiteral("--instrument-number"));
    p.SerialNumber = o.Values.value(QStringLiteral("--serial"));
    p.UploadProfileNumber = o.Values.value(QStringLiteral("--profile"), p.Header.ProfileNumber);
    for (const auto &[name, field] : {std::pair{"--longitude", &p.Longitude}, std::pair{"--latitude", &p.Latitude}}) {
        const QString key = QString::fromLatin1(name);
        if (!o.Values.contains(key))
            continue;
        bool ok = false;
        *field = o.Values.value(key).toFloat(&ok);
        if (!ok)
            return fail(QStringLiteral("%1 wants a number of degrees").arg(key));
    }
    if (p.InstrumentNumber.isEmpty() || p.SerialNumber.isEmpty())
        return fail(QStringLiteral("测试仪编号与流水号不能为空! (--instrument-number, --serial)"));
    return true;
}

} // namespace

int RunUpload(const ToolArgs &args)
{
    UploadOptions options;
    if (!parseOptions(args, options))
        return UsageError();
    ParsedRecord record;
    if (const int refused = LoadRecordForTool(options.File, record))
        return refused;
    ParamSet &p = CurrentParams();
    ApplyRecord(record, p);
    p.CurrentRecordPath = QFileInfo(options.File).absoluteFilePath();
    if (!applyFields(options, p))
        return kExitUsage;
    const UploadRecord snapshot = SnapshotCurrentRecord();
    const QString refusal = CDataUpLoadThread::Refusal(snapshot);
    if (!refusal.isEmpty()) {
        fail(refusal);
        return kExitData;
    }

    static int argc = 1;
    static char name[] = "zeb-record";
    static char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    CDataUpLoadThread worker(snapshot);
    const bool terminal = isatty(fileno(stderr));
    int total = worker.TagCount();
    int sent = 0;
    int exitCode = EXIT_SUCCESS;
    QObject::connect(&worker, &CDataUpLoadThread::signalOneTagProcessed, &app, [&](int value) {
        sent = value;
        if (terminal)
            std::fprintf(stderr, "\rframes sent: %d/%d", sent, total);
    });
    QObject::connect(&worker, &CDataUpLoadThread::signalSetWarning, &app, [&](const QString &text) {
        if (text == CDataUpLoadThread::DoneText())
            sent = total;
    });
    // A failure pauses the worker for the operator's OK; here nobody is
    // there to press it, so the worker is ended and the failure reported.
    QObject::connect(&worker, &CDataUpLoadThread::signalTranslateException, &app,
                     [&](int tagType, int, int, int iException) {
                         exitCode = tagType == -1 ? kExitUnavailable : kExitProtocol;
                         if (terminal)
                             std::fputc('\n', stderr);
                         fail(CDataUpLoadThread::FailureText(tagType, iException));
                         worker.DoHandleAbortUpLoad();
                     });
    QObject::connect(&worker, &CDataUpLoadThread::signalProcessFinished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    worker.StartOrResume(snapshot.Fields);
    app.exec();
    worker.wait();
    if (exitCode != EXIT_SUCCESS)
        return exitCode;
    if (terminal)
        std::fputc('\n', stderr);
    std::printf("%s: %d frames to %s:%d\n", CDataUpLoadThread::DoneText().toUtf8().constData(), total,
                qPrintable(snapshot.Fields.ServerHost()), snapshot.Fields.ServerPort);
    return FinishOutput(true);
}
