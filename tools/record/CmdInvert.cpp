// invert: the shear-wave velocity profile of a dispersion curve, as the
// profile screen computes it, with the picture of it if asked.
#include "RecordTool.h"

#include "records/RecordFile.h"
#include "records/SafeWriteBatch.h"
#include "surfacewave/ProfileFiles.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

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

/// Writes bytes to a new file at path: 0, kExitWouldOverwrite or kExitOutput, with the message.
int WriteOutput(const QString &path, const QByteArray &bytes)
{
    QString problem;
    const int result = WriteNewFile(path, bytes, &problem);
    if (result == RecordExists) {
        std::fprintf(stderr, "zeb-record: %s exists and was left alone\n", QFile::encodeName(path).constData());
        return kExitWouldOverwrite;
    }
    if (result != RecordOk) {
        std::fprintf(stderr, "zeb-record: cannot write %s: %s\n", QFile::encodeName(path).constData(),
                     problem.toUtf8().constData());
        return kExitOutput;
    }
    return 0;
}

QByteArray PngOf(const InversionResult &result)
{
    static char name[] = "zeb-record";
    static char platform[] = "-platform";
    static char offscreen[] = "offscreen";
    static char *argv[] = {name, platform, offscreen, nullptr};
    int argc = 3;
    QGuiApplication app(argc, argv);
    QFont::insertSubstitutions(QStringLiteral("yaheikr"),
                               {QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei")});
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    DrawProfile(result, kImageSize).save(&buffer, "PNG");
    return bytes;
}

} // namespace

int RunInvert(const ToolArgs &args)
{
    Options o;
    if (!ParseOptions(args, o))
        return UsageError();
    for (const QString &out : {o.Output, o.Png}) {
        if (!out.isEmpty() && QFileInfo::exists(out)) {
            std::fprintf(stderr, "zeb-record: %s exists and was left alone\n", QFile::encodeName(out).constData());
            return kExitWouldOverwrite;
        }
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
        if (const int written = WriteOutput(o.Png, PngOf(r)))
            return written;
    }
    if (o.Output.isEmpty())
        return FinishOutput(put(csv));
    return WriteOutput(o.Output, csv);
}
