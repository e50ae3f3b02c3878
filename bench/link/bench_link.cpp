// Fetches 24-channel, 16384-sample shots from the unit simulator over loopback
// and files them, as the acquisition screen does; reports the median time per
// shot, the decode cost per sample and the processor time of an unanswered wait.
#include "BenchUtil.h"
#include "UnitThread.h"
#include "instrument/InstrumentLink.h"
#include "instrument/InstrumentProtocol.h"
#include "instrument/InstrumentSocket.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "platform/Wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtEndian>
#include <algorithm>
#include <ctime>
#include <random>

namespace {

constexpr int kChannels = 24;
constexpr int kSamples = 16384;
constexpr int kDefaultShots = 15;
constexpr int kDecodeRounds = 200;
constexpr int kWaitMs = 5000;


} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    const int shots = args.size() > 1 ? qMax(1, args[1].toInt()) : kDefaultShots;
    const bool measureWait = !args.contains(QStringLiteral("--no-wait"));

    QTemporaryDir programDir;
    SetProgramDir(programDir.path());
    ResetParamSets();

    bench::UnitThread unit([](UnitSimulator &sim) {
        sim.SetTimeScale(0);
        sim.SetTriggerWaitMs(0);
    });
    if (unit.Port() == 0) {
        out << "bench_link: the unit simulator could not bind 127.0.0.1\n";
        return 1;
    }

    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = kChannels;
    p.Header.SampleLength = kSamples;
    p.Header.SampleInterval = 500.0f;
    p.Header.TriggerMethod = 1;

    auto link = std::make_unique<InstrumentLink>(nullptr);
    if (!unit.Connect(*link, kWaitMs)) {
        out << "bench_link: no connection to the simulator\n";
        return 1;
    }
    TraceStore &store = Store();
    store.LinkActive = true;
    if (link->SetPara() != 1) {
        out << "bench_link: parameters refused\n";
        return 1;
    }

    QVector<double> shotMs;
    for (int shot = 0; shot < shots; ++shot) {
        QElapsedTimer t;
        t.start();
        bool ok = link->GetSampleDataH() == 1;
        for (int ch = 1; ok && ch <= kChannels; ++ch)
            ok = link->GetSampleData(ch) == 1;
        if (!ok || store.Traces[kChannels - 1].size() != kSamples) {
            out << "bench_link: shot " << shot + 1 << " failed\n";
            return 1;
        }
        shotMs << t.nsecsElapsed() / 1e6;
    }
    out << "shot of " << kChannels << " x " << kSamples << " samples over loopback, "
        << shots << " shots: median " << QString::number(bench::Median(shotMs), 'f', 2) << " ms (min "
        << QString::number(*std::min_element(shotMs.begin(), shotMs.end()), 'f', 2) << ", max "
        << QString::number(*std::max_element(shotMs.begin(), shotMs.end()), 'f', 2) << ")\n";

    // Decoding and filing alone, on one channel's datagram body.
    QByteArray body(2 * kSamples, '\0');
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> raw(-32768, 32767);
    for (int i = 0; i < kSamples; ++i)
        qToLittleEndian<qint16>(static_cast<qint16>(raw(rng)), body.data() + 2 * i);
    QVector<float> amplitudes;
    QVector<double> decodeNs, fileNs;
    for (int round = 0; round < kDecodeRounds; ++round) {
        QElapsedTimer t;
        t.start();
        const float offset = ConvertSamples(body.constData(), kSamples, GainFactor(48), true, amplitudes);
        const qint64 converted = t.nsecsElapsed();
        store.FileChannel(1 + round % kChannels, amplitudes.constData(), amplitudes.size(), offset);
        decodeNs << double(converted) / kSamples;
        fileNs << double(t.nsecsElapsed() - converted) / kSamples;
    }
    out << "decode per sample: median " << QString::number(bench::Median(decodeNs), 'f', 2)
        << " ns; filing per sample: median " << QString::number(bench::Median(fileNs), 'f', 2) << " ns\n";

    if (measureWait) {
        unit.Run([](UnitSimulator &sim) { sim.SetFault('f', UnitSimulator::Fault::NoReply); });
        const double thread0 = bench::ThreadCpuMs();
        const double process0 = bench::ProcessCpuMs();
        QElapsedTimer wall;
        wall.start();
        const int r = link->GetSampleStates();
        out << "unanswered wait (" << r << " after " << wall.elapsed() << " ms): "
            << QString::number(bench::ThreadCpuMs() - thread0, 'f', 2) << " ms processor time in the waiting thread, "
            << QString::number(bench::ProcessCpuMs() - process0, 'f', 2) << " ms in the whole process\n";
        const double wait0 = bench::ThreadCpuMs();
        WaitMs(kWaitMs);
        out << "WaitMs(" << kWaitMs << "): " << QString::number(bench::ThreadCpuMs() - wait0, 'f', 2)
            << " ms processor time\n";
    }

    link.reset();
    return 0;
}
