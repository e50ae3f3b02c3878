// zeb-record: looks into record files away from the instrument, with the
// program's own parser.
//   zeb-record info FILE   header, channel block and layout as JSON
//   zeb-record dump FILE   samples as CSV, one column per channel
//   zeb-record spectrum FILE --channel N ...   one channel's amplitude spectrum as CSV
//   zeb-record filter FILE [--low HZ] [--high HZ] -o OUT   a filtered copy of the record
//   zeb-record dispersion FILE [-o IMAGE.png] [--fmin --fmax --df --vmin --vmax --dv]
//                          the picked dispersion curve as CSV, the image as PNG
//   zeb-record forward MODEL.csv [--fmin --fmax --df --modes]
//                          Rayleigh phase velocities of a layered model as CSV
//   zeb-record curve FILE|FOLDER... [-o CURVE.csv] [--fmin ... --dv]
//                          the combined curve of a spread's records with Vs30
//   zeb-record upload FILE --server HOST:PORT [--instrument-number TEXT]
//       [--serial TEXT] [--profile TEXT] [--longitude DEG] [--latitude DEG]
//                          sends the record to a data server (normal upload)
//   zeb-record --help | --version
// A refused file prints the program's message; the exit code tells the
// refusals apart (1 not recognised or not openable, 2 damaged, 3 not a
// surface-wave record), 64 a wrong command line, 65 a record that cannot
// give what was asked, 74 an unwritable output.
#include "RecordTool.h"

#include "records/RecordConvert.h"
#include "ZebVersion.h"

#include <QFile>
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
    {"upload", "FILE --server HOST:PORT [--instrument-number TEXT] [--serial TEXT] [--profile TEXT] "
               "[--longitude DEG] [--latitude DEG]", RunUpload},
};

} // namespace

namespace {

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
    std::printf("\nExit codes: 0 done; 1 not a record or not openable; 2 damaged; 3 not a surface-wave\n"
                "record; 64 wrong command line; 65 the record cannot give what was asked;\n"
                "69 no connection to the data server; 73 convert's output exists; 74 an output exists\n"
                "(filter) or cannot be written; 76 the data server refused or left a frame unanswered.\n"
                "See zeb-record(1) for every command and option.\n");
    return FinishOutput(true);
}

} // namespace

int UsageError()
{
    printUsage(stderr);
    return kExitUsage;
}

int LoadRecordForTool(const QString &path, ParsedRecord &record)
{
    const int result = LoadParsedRecord(path, record);
    if (result == RecordOk)
        return 0;
    std::fprintf(stderr, "%s\n%s: %s\n", RecordResultMessage(result).toUtf8().constData(),
                 QFile::encodeName(path).constData(), record.Problem.toUtf8().constData());
    return -result; // -1, -2, -3 become 1, 2, 3
}

bool put(const QByteArray &bytes)
{
    return std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout)
        == static_cast<size_t>(bytes.size());
}

int FinishOutput(bool written)
{
    if (!written || std::fflush(stdout) != 0) {
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
