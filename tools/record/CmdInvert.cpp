// invert: the shear-wave velocity profile of a dispersion curve, as the
// profile screen computes it, with the picture of it if asked.
#include "RecordTool.h"

#include "surfacewave/ProfileFiles.h"

#include <QFile>
#include <QImage>

#include <cstdio>
#include <unistd.h>

namespace {

/// The PNG's size: the larger of the instrument's screens.
const QSize kImageSize(1024, 600);
/// A progress line at most this often: a terminal need not redraw faster.
constexpr int kProgressEveryModels = 500;

struct Options
{
    QString Curve;
    QString Output;
    QString Png;
    InversionSettings Settings;
};

bool TakeInt(const ToolArgs &args, int &i, long long &out)
{
    if (i + 1 >= args.size())
        return false;
    bool ok = false;
    out = args.at(++i).toLongLong(&ok);
    return ok;
}

bool ParseOptions(const ToolArgs &args, Options &o)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        long long n = 0;
        if (a == QLatin1String("-o") || a == QLatin1String("--png")) {
            QString &target = a == QLatin1String("-o") ? o.Output : o.Png;
            if (i + 1 >= args.size() || !target.isEmpty())
                return false;
            target = args.at(++i);
        } else if (a == QLatin1String("--layers")) {
            if (!TakeInt(args, i, n) || n < kMinLayers || n > kMaxLayers)
                return false;
            o.Settings.Layers = int(n);
        } else if (a == QLatin1String("--models")) {
            if (!TakeInt(args, i, n) || n < kMinModels || n > kMaxModels)
                return false;
            o.Settings.Models = int(n);
        } else if (a == QLatin1String("--seed")) {
            if (!TakeInt(args, i, n) || n < 0)
                return false;
            o.Settings.Seed = std::uint64_t(n);
        } else if (a.startsWith(QLatin1Char('-')) || !o.Curve.isEmpty()) {
            return false;
        } else {
            o.Curve = a;
        }
    }
    return !o.Curve.isEmpty() && (o.Output.isEmpty() || o.Output != o.Png);
}

} // namespace

int RunInvert(const ToolArgs &args)
{
    Options o;
    if (!ParseOptions(args, o))
        return UsageError();
    // Asked first, so that a taken name costs no inversion; asked again when written.
    for (const QString &out : {o.Output, o.Png}) {
        if (out.isEmpty())
            continue;
        if (const int taken = CheckOutputFree(out))
            return taken;
    }
    QFile file(o.Curve);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "zeb-record: cannot read the curve %s: %s\n", QFile::encodeName(o.Curve).constData(),
                     file.errorString().toUtf8().constData());
        return kExitNotConvertible;
    }
    const InversionCurve curve = ParseCurveCsv(file.readAll());
    if (!curve.Ok()) {
        std::fprintf(stderr, "zeb-record: the curve %s cannot be inverted: %s\n",
                     QFile::encodeName(o.Curve).constData(), curve.Problem.toUtf8().constData());
        return kExitNotConvertible;
    }
    for (const QString &note : curve.Notes)
        std::fprintf(stderr, "%s: %s\n", QFile::encodeName(o.Curve).constData(), note.toUtf8().constData());

    const bool terminal = isatty(fileno(stderr));
    int shown = -kProgressEveryModels;
    const InversionResult r = InvertCurve(curve, o.Settings, [&](const InversionProgress &p) {
        if (terminal && p.Done - shown >= kProgressEveryModels) {
            shown = p.Done;
            std::fprintf(stderr, "\rinverting: %d of %d models, best misfit %.3f%s   ", p.Done, p.Total,
                         p.BestMisfit, p.Polishing ? ", polishing" : "");
            std::fflush(stderr);
        }
        return true;
    });
    if (terminal)
        std::fprintf(stderr, "\n");
    if (!r.Ok()) {
        std::fprintf(stderr, "zeb-record: the curve %s cannot be inverted: %s\n",
                     QFile::encodeName(o.Curve).constData(), r.Problem.toUtf8().constData());
        return kExitNotConvertible;
    }
    std::fprintf(stderr, "%d picks, %d models, %d acceptable (misfit up to %.3f); data constrain the profile to %.1f m\n",
                 int(curve.Points.size()), r.Evaluated, r.Acceptable, r.AcceptableMisfit, r.ConstrainedDepth);

    const QByteArray csv = ProfileCsv(r);
    if (!o.Png.isEmpty()) {
        const QByteArray png = DrawPng([&] { return DrawProfile(r, kImageSize); }, o.Png);
        if (png.isEmpty())
            return kExitOutput;
        if (const int written = WriteToolOutput(o.Png, png))
            return written;
    }
    if (o.Output.isEmpty())
        return FinishOutput(put(csv));
    return WriteToolOutput(o.Output, csv);
}
