#pragma once

// What every command of zeb-record shares: its exit codes, loading a record
// with the program's messages, and writing to standard output.
#include "records/RecordFormat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

/// Exit codes beyond the record reader's refusals (1 not recognised or not
/// openable, 2 damaged, 3 not a surface-wave record).
constexpr int kExitUsage = 64;  ///< the command line is wrong
constexpr int kExitOutput = 74; ///< an output could not be written
constexpr int kExitNotConvertible = 65; ///< the record cannot be expressed in the asked format
constexpr int kExitWouldOverwrite = 73; ///< an output exists already and was left alone

/// A command's arguments, after the command name, decoded as file names are.
using ToolArgs = QStringList;

/// Prints the usage text to standard error; kExitUsage.
int UsageError();
/// Reads and parses the record at path; 0 when it is good, otherwise the
/// refusal's exit code after printing the program's message and the reason.
int LoadRecordForTool(const QString &path, ParsedRecord &record);
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
/// The combined curve of several records with Vs30 (CmdCurve.cpp).
int RunCurve(const ToolArgs &args);
/// Sends a record to a data server (CmdUpload.cpp): 0 sent, 65 the record
/// cannot be uploaded, 69 no connection, 76 a frame refused or unanswered.
int RunUpload(const ToolArgs &args);
