// zeb-record: looks into record files away from the instrument, with the
// program's own code. Input records may be QDW, SEG-2, SEG-Y or SU files.
// The commands and exit codes are listed by --help (and in the README).
#include "RecordTool.h"
#include "params/DurableFile.h"

#include "records/RecordImport.h"
#include "ZebVersion.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Command
{
    const char *Name;
    const char *Usage; ///< what follows the command name
    int (*Run)(const ToolArgs &args);
};

// One line per command; each lives in a file of its own.
const Command kCommands[] = {
    {"info", "FILE", RunInfo},
    {"dump", "FILE", RunDump},
    {"convert", "--to seg2|segy FILE|PROJECT-FOLDER... [-o DIR]", RunConvert},
    {"spectrum", "FILE --channel N [--from MS --to MS] [--refine K]", RunSpectrum},
    {"filter", "FILE [--low HZ] [--high HZ] -o OUT", RunFilter},
    {"dispersion", "FILE [-o IMAGE.png] [--fmin HZ] [--fmax HZ] [--df HZ] [--vmin M/S] [--vmax M/S] [--dv M/S]", RunDispersion},
    {"forward", "MODEL.csv [--fmin HZ] [--fmax HZ] [--df HZ] [--modes N]", RunForward},
    {"curve", "FILE|FOLDER... [-o CURVE.csv] [--fmin HZ] [--fmax HZ] [--df HZ] [--vmin M/S] [--vmax M/S] [--dv M/S]", RunCurve},
    {"qc", "FILE", RunQc},
    {"invert", "CURVE.csv [--layers N] [--models N] [--seed S] [-o PROFILE.csv] [--png IMAGE.png]", RunInvert},
    {"upload", "FILE --server HOST:PORT [--instrument-number TEXT] [--serial TEXT] [--profile TEXT] "
               "[--longitude DEG] [--latitude DEG]", RunUpload},
};

void printUsage(std::FILE *to)
{
    const char *lead = "usage:";
    for (const Command &c : kCommands) {
        std::fprintf(to, "%s zeb-record %s %s\n", lead, c.Name, c.Usage);
        lead = "      ";
    }
    std::fprintf(to, "       zeb-record --help | --version\n");
}

// Asked-for help goes to standard output and succeeds, so that it can be
// paged or piped; only a wrong line gets the usage on standard error.
int printHelp()
{
    std::printf("zeb-record %s: record files of the ZEB seismograph away from the instrument.\n\n", ZEB_VERSION);
    printUsage(stdout);
    std::fputs("\nFILE may be a QDW record or a SEG-2, SEG-Y or SU file. No command ever replaces a file.\n"
               "\nExit codes:\n",
               stdout);
    std::fputs(kExitCodeTable, stdout);
    std::fputs("\nSee zeb-record(1) for every command and option.\n", stdout);
    return FinishOutput(true);
}

} // namespace

const char kExitCodeTable[] =
    "   0  done\n"
    "   1  the file is not recognised or cannot be opened\n"
    "   2  the file is damaged\n"
    "   3  not a surface-wave record\n"
    "   4  a SEG-2, SEG-Y or SU file whose traces cannot be placed on one spread\n"
    "      (no positions, uneven spacing, mixed intervals, lengths or delays,\n"
    "      receivers on both sides of the source, more than 24 traces)\n"
    "  64  a wrong command line\n"
    "  65  the record cannot give what was asked (not expressible in the format,\n"
    "      an impossible interval, offset or spacing, no dispersion image, not uploadable),\n"
    "      or the model cannot be computed (forward)\n"
    "  69  no connection to the server\n"
    "  73  an output exists already and was left alone\n"
    "  74  an output could not be written (a full disk, no permission)\n"
    "  76  a frame the server refused or left unanswered\n";

int UsageError()
{
    printUsage(stderr);
    std::fputs("zeb-record --help lists the exit codes.\n", stderr);
    return kExitUsage;
}

int LoadRecordForTool(const QString &path, ParsedRecord &record)
{
    const int result = LoadAnyRecord(path, record);
    if (result == RecordOk)
        return 0;
    std::fprintf(stderr, "%s\n%s: %s\n", RecordResultMessage(result).toUtf8().constData(),
                 QFile::encodeName(path).constData(), record.Problem.toUtf8().constData());
    return result == RecordNotPlaceable ? kExitNotPlaceable : -result; // -1, -2, -3 become 1, 2, 3
}

bool put(const QByteArray &bytes)
{
    return std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout)
        == static_cast<size_t>(bytes.size());
}

int FinishOutput(bool written)
{
    if (!written || std::fflush(stdout) != 0) {
        // A full disk is named as the program names it, not as "cannot write".
        if (IsDiskFullError(errno))
            std::fprintf(stderr, "zeb-record: %s\n", DiskFullText().toUtf8().constData());
        else
            std::fputs("zeb-record: cannot write the output\n", stderr);
        return kExitOutput;
    }
    return EXIT_SUCCESS;
}

int main(int argc, char *argv[])
{
    if (argc < 2)
        return UsageError();
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        return printHelp();
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("zeb-record %s\n", ZEB_VERSION);
        return FinishOutput(true);
    }
    for (const Command &c : kCommands) {
        if (std::strcmp(argv[1], c.Name) != 0)
            continue;
        ToolArgs args;
        for (int i = 2; i < argc; ++i)
            args << QFile::decodeName(argv[i]);
        return c.Run(args);
    }
    return UsageError();
}
