// dispersion: a record's phase-shift dispersion image as PNG and its picked
// curve as CSV, computed and drawn as the instrument does.
#include "RecordTool.h"

#include "analysis/DispersionImage.h"
#include "analysis/DispersionPlot.h"

#include <QFile>
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

bool ParseGridCommand(const ToolArgs &args, QString &output, DispersionGrid &grid, QStringList &inputs)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("-o")) {
            if (i + 1 >= args.size() || !output.isEmpty())
                return false;
            output = args.at(++i);
            continue;
        }
        const int taken = TakeGridOption(args, i, grid);
        if (taken < 0)
            return false;
        if (taken > 0)
            continue;
        if (a.startsWith(QLatin1Char('-')))
            return false;
        inputs << a;
    }
    return !inputs.isEmpty();
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
    QStringList records;
    if (!ParseGridCommand(args, o.Image, o.Grid, records) || records.size() != 1)
        return false;
    o.Record = records.first();
    return true;
}

int WriteImage(const DispersionImage &image, const QString &path)
{
    const QByteArray png = DrawPng([&] { return DispersionPlot(image, kImageSize).Draw(); }, path);
    return png.isEmpty() ? kExitOutput : WriteToolOutput(path, png);
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
