// forward: Rayleigh phase velocities of a layered model, as the inversion
// computes them, for checking a model against a measured curve.
#include "RecordTool.h"

#include "surfacewave/RayleighDispersion.h"

#include <QFile>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

/// More frequencies than any curve needs; bounds the run time.
constexpr double kMaxFrequencies = 100000.0;
/// Rounding slack when the last frequency should land on --fmax.
constexpr double kStepSlack = 1e-9;

struct Options
{
    QString Model;
    double FMin = 1.0;
    double FMax = 100.0;
    double Df = 1.0;
    int Modes = 1;
};

bool ParseOptions(const ToolArgs &args, Options &o)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        bool ok = true;
        if (a == QLatin1String("--fmin"))
            ok = TakeNumber(args, i, o.FMin);
        else if (a == QLatin1String("--fmax"))
            ok = TakeNumber(args, i, o.FMax);
        else if (a == QLatin1String("--df"))
            ok = TakeNumber(args, i, o.Df);
        else if (a == QLatin1String("--modes")) {
            ok = i + 1 < args.size();
            if (ok)
                o.Modes = args.at(++i).toInt(&ok);
        } else if (a.startsWith(QLatin1Char('-')) || !o.Model.isEmpty())
            return false;
        else
            o.Model = a;
        if (!ok)
            return false;
    }
    if (o.Model.isEmpty() || !(o.FMin > 0.0) || o.FMax < o.FMin || !(o.Df > 0.0) || o.Modes < 1)
        return false;
    return (o.FMax - o.FMin) / o.Df < kMaxFrequencies;
}

} // namespace

int RunForward(const ToolArgs &args)
{
    Options o;
    if (!ParseOptions(args, o))
        return UsageError();
    QFile file(o.Model);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "zeb-record: cannot read the model %s: %s\n", QFile::encodeName(o.Model).constData(),
                     file.errorString().toUtf8().constData());
        return kExitNotConvertible;
    }
    const LayeredModel model = ParseModelCsv(file.readAll());
    std::vector<double> frequencies;
    const int count = int(std::floor((o.FMax - o.FMin) / o.Df + kStepSlack)) + 1;
    for (int i = 0; i < count; ++i)
        frequencies.push_back(o.FMin + i * o.Df);
    const ModalCurves curves = RayleighPhaseVelocities(model, frequencies, o.Modes);
    if (!curves.Ok()) {
        std::fprintf(stderr, "zeb-record: the model %s cannot be computed: %s\n",
                     QFile::encodeName(o.Model).constData(), curves.Problem.toUtf8().constData());
        return kExitNotConvertible;
    }
    bool written = put("frequency_hz,mode,velocity_m_s\n");
    char line[96];
    for (size_t i = 0; i < frequencies.size() && written; ++i) {
        for (int m = 0; m < curves.ModeCount() && written; ++m) {
            if (!curves.Has(m, int(i)))
                continue;
            std::snprintf(line, sizeof line, "%.6g,%d,%.6f\n", frequencies[i], m, curves.Velocities[size_t(m)][i]);
            written = put(line);
        }
    }
    return FinishOutput(written);
}
