#pragma once

// What every command of zeb-record shares: its exit codes, loading a record
// with the program's messages, and writing to standard output.
#include "records/RecordFormat.h"
#include "records/SafeWriteBatch.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QImage;

/// Exit codes; kExitCodeTable lists them all for --help and the README.
/// The reader's refusals: 1 not recognised or not openable, 2 damaged, 3 not
/// a surface-wave record, and
constexpr int kExitNotPlaceable = 4;    ///< a foreign file whose traces cannot be placed on one spread
constexpr int kExitUsage = 64;          ///< the command line is wrong
constexpr int kExitNotConvertible = 65; ///< the record cannot give what was asked
constexpr int kExitWouldOverwrite = 73; ///< an output exists already and was left alone
constexpr int kExitOutput = 74;         ///< an output could not be written

/// The exit codes of every command, one per line.
extern const char kExitCodeTable[];

/// A command's arguments, after the command name, decoded as file names are.
using ToolArgs = QStringList;
struct DispersionGrid;

/// Prints the usage text to standard error; kExitUsage.
int UsageError();
/// Reads the record at path in any format the tool takes (QDW, SEG-2, SEG-Y,
/// SU: LoadAnyRecord); 0 when it is good, otherwise the refusal's exit code
/// after printing the program's message and the reason.
int LoadRecordForTool(const QString &path, ParsedRecord &record);

/// 0 when nothing bears the output's name yet, otherwise kExitWouldOverwrite
/// with a message: worth asking before a long computation.
int CheckOutputFree(const QString &path);
/// Writes a command's output file the one safe way: stale temporaries of dead
/// runs in its folder removed, then a temporary name, a flush, a size check
/// and a rename that never replaces a file. 0 written; kExitWouldOverwrite
/// when path exists (before or meanwhile); kExitOutput when it cannot be
/// written (a full disk, no permission), leaving nothing under its name.
/// Messages go to standard error.
int WriteToolOutput(const QString &path, const QByteArray &bytes);
/// The same for an output that fill writes itself into the temporary file,
/// which must then hold expectedSize bytes.
int WriteToolOutput(const QString &path, qint64 expectedSize, const FileFiller &fill);
/// A picture drawn by draw, encoded as PNG: drawn without a display (the
/// offscreen platform gives the fonts, with the instrument's font family).
/// Empty, with a message naming path, when it cannot be drawn.
QByteArray DrawPng(const std::function<QImage()> &draw, const QString &path);
/// Writes bytes to standard output; false when they could not all be written.
bool put(const QByteArray &bytes);
/// 0 when written and standard output flushes, otherwise kExitOutput with a message.
int FinishOutput(bool written);

// The commands (CmdPrint.cpp and their own files).
int RunInfo(const ToolArgs &args);
int RunDump(const ToolArgs &args);
int RunConvert(const ToolArgs &args);
int RunSpectrum(const ToolArgs &args); // CmdSpectrum.cpp
int RunFilter(const ToolArgs &args);   // CmdFilter.cpp
int RunDispersion(const ToolArgs &args);
/// Phase velocities of a layered model (CmdForward.cpp): 0, 64 usage, 65 a model that cannot be computed.
int RunForward(const ToolArgs &args);
/// The value after an option (i moves onto it), as a finite number.
bool TakeNumber(const ToolArgs &args, int &i, double &out);
/// A --fmin/--fmax/--df/--vmin/--vmax/--dv option at i with its value:
/// 1 taken (i on the value), 0 not such an option, −1 a bad value.
int TakeGridOption(const ToolArgs &args, int &i, DispersionGrid &grid);
/// The line of a command on records with a dispersion grid: "-o OUT" at
/// most once, the grid options and the inputs (at least one). False on a
/// wrong line.
bool ParseGridCommand(const ToolArgs &args, QString &output, DispersionGrid &grid, QStringList &inputs);
/// The combined curve of several records with Vs30 (CmdCurve.cpp).
int RunCurve(const ToolArgs &args);
/// The quality check of every channel as CSV (CmdQc.cpp).
int RunQc(const ToolArgs &args);
/// The Vs profile of a curve (CmdInvert.cpp): 0, 64 usage, 65 a curve that
/// cannot be inverted, 73 an output exists, 74 an output unwritable.
int RunInvert(const ToolArgs &args);
/// Sends a record to a data server (CmdUpload.cpp): 0 sent, 65 the record
/// cannot be uploaded, 69 no connection, 76 a frame refused or unanswered.
int RunUpload(const ToolArgs &args);
