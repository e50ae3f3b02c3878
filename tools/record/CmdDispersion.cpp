// dispersion: a record's phase-shift dispersion image as PNG and its picked
// curve as CSV, computed and drawn as the instrument does.
#include "RecordTool.h"

#include "analysis/DispersionImage.h"
#include "analysis/DispersionPlot.h"

#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <cstdlib>

bool TakeNumber(const ToolArgs &args, int &i, double &out)
{
    if (i + 1 >= args.size())
        return false;
    bool ok = false;
    out = args.at(++i).toDouble(&ok);
    return ok && std::isfinite(out);
}

int TakeGridOption(const ToolArgs &args, int &i, DispersionGrid &grid)
{
    struct Bound
    {
        const char *Name;
        double DispersionGrid::*Field;
    };
    static const Bound kBounds[] = {
        {"--fmin", &DispersionGrid::FMin}, {"--fmax", &DispersionGrid::FMax}, {"--df", &DispersionGrid::Df},
        {"--vmin", &DispersionGrid::VMin}, {"--vmax", &DispersionGrid::VMax}, {"--dv", &DispersionGrid::Dv},
    };
    for (const Bound &b : kBounds)
        if (args.at(i) == QLatin1String(b.Name))
            return TakeNumber(args, i, grid.*(b.Field)) ? 1 : -1;
    return 0;
}

namespace {

/// The PNG's size: the larger of the instrument's screens, a little taller.
const QSize kImageSize(1024, 640);

struct Options
{
    QString Record;
    QString Image;
    DispersionGrid Grid;
};

bool ParseOptions(const ToolArgs &args, Options &o)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("-o")) {
            if (i + 1 >= args.size() || !o.Image.isEmpty())
                return false;
            o.Image = args.at(++i);
            continue;
        }
        const int grid = TakeGridOption(args, i, o.Grid);
        if (grid < 0)
            return false;
        if (grid > 0)
            continue;
        if (a.startsWith(QLatin1Char('-')) || !o.Record.isEmpty())
            return false;
        o.Record = a;
    }
    return !o.Record.isEmpty();
}

/// Draws the picture without a display (the offscreen platform gives the
/// fonts) and writes it as PNG through the tool's safe write.
int WriteImage(const DispersionImage &image, const QString &path)
{
    static char name[] = "zeb-record";
    static char platform[] = "-platform";
    static char offscreen[] = "offscreen";
    static char *argv[] = {name, platform, offscreen, nullptr};
    int argc = 3;
    QGuiApplication app(argc, argv);
    // The instrument's screens name the family "yaheikr"; the CJK font
    // installed with the program draws it here as it does there.
    QFont::insertSubstitutions(QStringLiteral("yaheikr"),
                               {QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei")});
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !DispersionPlot(image, kImageSize).Draw().save(&buffer, "PNG")) {
        std::fprintf(stderr, "zeb-record: cannot draw the image %s\n", QFile::encodeName(path).constData());
        return kExitOutput;
    }
    return WriteToolOutput(path, png);
}

bool PrintCurve(const DispersionImage &image)
{
    if (!put("frequency_hz,velocity_m_s,wavelength_m\n"))
        return false;
    char line[96];
    for (const DispersionPick &p : image.Curve) {
        std::snprintf(line, sizeof line, "%.6g,%.2f,%.3f\n", p.Frequency, p.Velocity, p.Wavelength);
        if (!put(line))
            return false;
    }
    return true;
}

void PrintSummary(const DispersionImage &image)
{
    std::fprintf(stderr, "channels used: %d, receivers %.1f to %.1f m from the source\n", image.ChannelsUsed,
                 image.NearestM, image.FarthestM);
    std::fprintf(stderr, "resolvable wavelengths: %.1f to %.1f m\n", image.ShortestWavelength,
                 image.LongestWavelength);
    if (image.Curve.empty())
        std::fprintf(stderr, "picked: no clear dispersion curve\n");
    else
        std::fprintf(stderr, "picked: %d frequencies, %g to %g Hz, %s\n", int(image.Curve.size()),
                     image.Curve.front().Frequency, image.Curve.back().Frequency,
                     image.Fundamental ? "fundamental mode" : "dispersion curve (mode not certain)");
}

} // namespace

int RunDispersion(const ToolArgs &args)
{
    Options o;
    if (!ParseOptions(args, o))
        return UsageError();
    // Asked first, so that a taken name costs no computation; asked again when written.
    if (!o.Image.isEmpty()) {
        if (const int taken = CheckOutputFree(o.Image))
            return taken;
    }
    ParsedRecord record;
    if (const int refused = LoadRecordForTool(o.Record, record))
        return refused;
    const DispersionImage image = ComputeDispersionImage(record.Traces.data(), int(record.Traces.size()),
                                                         GeometryFromHeader(record.Blocks.Header), o.Grid);
    if (!image.Ok()) {
        std::fprintf(stderr, "%s\n%s: %s\n", DispersionResultMessage(image.Result).toUtf8().constData(),
                     QFile::encodeName(o.Record).constData(), image.Problem.toUtf8().constData());
        return image.Result == DispersionBadGrid ? kExitUsage : kExitNotConvertible;
    }
    if (!o.Image.isEmpty()) {
        if (const int failed = WriteImage(image, o.Image))
            return failed;
    }
    PrintSummary(image);
    return FinishOutput(PrintCurve(image));
}
