// Uploads a 24 x 16384 record over loopback to the test servers, each on a
// thread of its own as a server is a machine of its own: the normal upload
// from start to the end frame's reply (3938 frames), the witness upload from
// the task to the end frame's acknowledgement (386 frames). Prints the median
// wall time, frames per second and the processor time of the whole process.
#include "BenchUtil.h"
#include "NormalUploadServer.h"
#include "WitnessUploadServer.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "upload/CDataUpLoadThread.h"
#include "upload/QUpLoadCtrl.h"
#include "upload/QUpLoadThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <vector>

namespace {

constexpr int kChannels = 24;
constexpr int kSamples = 16384;
constexpr int kDefaultRounds = 5;
constexpr int kGiveUpMs = 120000;

void putRecord()
{
    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = kChannels;
    p.Header.SampleLength = kSamples;
    p.Header.Date = QStringLiteral("2024-03-01");
    p.Header.Time = QStringLiteral("12:00:00");
    p.CurrentRecordPath = QStringLiteral("/bench/K001.QDW");
    p.InstrumentNumber = QStringLiteral("ZEB-24");
    p.SerialNumber = QStringLiteral("SN0001");
    for (int ch = 0; ch < kChannels; ++ch) {
        QVector<float> t(kSamples);
        for (int i = 0; i < kSamples; ++i)
            t[i] = float(ch * 1000 + i % 977) * 0.5f;
        Store().Traces[ch] = t;
    }
}

/// Runs server on a thread of its own and starts it on 127.0.0.1.
template <typename Server>
Server *startServer(QThread &thread)
{
    auto *server = new Server;
    server->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, server, &QObject::deleteLater);
    thread.start();
    bool ok = false;
    QMetaObject::invokeMethod(server, [&] { ok = server->Start(0); }, Qt::BlockingQueuedConnection);
    return ok ? server : nullptr;
}

/// What the server says on its own thread.
template <typename Server, typename F>
auto askServer(Server *server, F what)
{
    decltype(what(*server)) value{};
    QMetaObject::invokeMethod(server, [&] { value = what(*server); }, Qt::BlockingQueuedConnection);
    return value;
}

const auto kPort = [](const UploadServerBase &s) { return s.Port(); };
const auto kNormalFrames = [](const NormalUploadServer &s) { return s.Received(); };
const auto kNormalDone = [](const NormalUploadServer &s) { return s.Completed(); };
const auto kWitnessFrames = [](const WitnessUploadServer &s) { return s.Received(); };
const auto kWitnessDone = [](const WitnessUploadServer &s) { return s.Completed(); };

struct Round
{
    double WallMs = 0;
    double CpuMs = 0;
    int Frames = 0;
    bool Ok = false;
};

Round normalRound(NormalUploadServer *server)
{
    CurrentParams().ServerAddress = {127, 0, 0, 1};
    CurrentParams().ServerPort = askServer(server, kPort);
    const int before = askServer(server, kNormalFrames);
    CDataUpLoadThread worker(SnapshotCurrentRecord());
    QEventLoop loop;
    bool done = false;
    QObject::connect(&worker, &CDataUpLoadThread::signalSetWarning, &loop, [&](const QString &t) {
        done = done || t == CDataUpLoadThread::DoneText();
    });
    QObject::connect(&worker, &CDataUpLoadThread::signalTranslateException, &worker,
                     &CDataUpLoadThread::DoHandleAbortUpLoad);
    QObject::connect(&worker, &CDataUpLoadThread::signalProcessFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kGiveUpMs, &loop, &QEventLoop::quit);
    Round r;
    const double cpu = bench::ProcessCpuMs();
    QElapsedTimer clock;
    clock.start();
    worker.StartOrResume(CurrentUploadFields());
    loop.exec();
    r.WallMs = clock.nsecsElapsed() / 1e6;
    r.CpuMs = bench::ProcessCpuMs() - cpu;
    r.Frames = askServer(server, kNormalFrames) - before;
    r.Ok = done && askServer(server, kNormalDone);
    return r;
}

Round witnessRound(WitnessUploadServer *server)
{
    QUpLoadCtrl ctrl;
    ctrl.Init(SnapshotCurrentRecord());
    ctrl.SetServer(QStringLiteral("127.0.0.1"), askServer(server, kPort));
    QUpLoadThread worker(&ctrl);
    const int before = askServer(server, kWitnessFrames);
    QEventLoop loop;
    QElapsedTimer clock;
    double cpu = 0;
    Round r;
    QObject::connect(&worker, &QUpLoadThread::signalLinkStatus, &loop, [&](bool ok) {
        if (ok)
            worker.Go();
        else
            loop.quit();
    });
    QObject::connect(&ctrl, &QUpLoadCtrl::signalIssuedTask, &loop, [&] {
        cpu = bench::ProcessCpuMs();
        clock.start();
    });
    const auto finished = [&](const QString &t) {
        if (t != QUpLoadCtrl::DoneText())
            return;
        r.WallMs = clock.nsecsElapsed() / 1e6;
        r.CpuMs = bench::ProcessCpuMs() - cpu;
        r.Ok = true;
        loop.quit();
    };
    QObject::connect(&worker, &QUpLoadThread::signalWarning, &loop, finished);
    QTimer::singleShot(kGiveUpMs, &loop, &QEventLoop::quit);
    worker.RequestLink();
    worker.StartOrResume();
    loop.exec();
    r.Frames = askServer(server, kWitnessFrames) - before;
    r.Ok = r.Ok && askServer(server, kWitnessDone);
    return r;
}

void report(QTextStream &out, const char *name, const std::vector<Round> &rounds, double goalMs)
{
    std::vector<double> wall, cpu;
    for (const Round &r : rounds) {
        if (!r.Ok) {
            out << name << ": an upload did not complete\n";
            return;
        }
        wall.push_back(r.WallMs);
        cpu.push_back(r.CpuMs);
    }
    const double w = bench::Median(wall);
    out << name << ": " << rounds.front().Frames << " frames, median " << QString::number(w, 'f', 1)
        << " ms wall (goal " << goalMs << " ms), " << QString::number(rounds.front().Frames * 1000.0 / w, 'f', 0)
        << " frames/s, processor " << QString::number(bench::Median(cpu), 'f', 1)
        << " ms (both ends, all threads); rounds:";
    for (double v : wall)
        out << ' ' << QString::number(v, 'f', 0);
    out << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int rounds = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : kDefaultRounds;
    QTemporaryDir programDir;
    SetProgramDir(programDir.path());
    ResetParamSets();
    putRecord();

    QThread normalThread, witnessThread;
    NormalUploadServer *normal = startServer<NormalUploadServer>(normalThread);
    WitnessUploadServer *witness = startServer<WitnessUploadServer>(witnessThread);
    if (!normal || !witness) {
        out << "bench_upload: the test servers could not listen on 127.0.0.1\n";
        return 1;
    }
    std::vector<Round> normalRounds, witnessRounds;
    for (int i = 0; i < rounds; ++i) {
        normalRounds.push_back(normalRound(normal));
        witnessRounds.push_back(witnessRound(witness));
    }
    report(out, "normal upload 24 x 16384", normalRounds, 2000);
    report(out, "witness upload 24 x 16384 (task to end)", witnessRounds, 1000);
    normalThread.quit();
    witnessThread.quit();
    normalThread.wait();
    witnessThread.wait();
    return 0;
}
