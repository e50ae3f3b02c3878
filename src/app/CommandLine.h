#pragma once

#include <QString>
#include <QStringList>

class ParamSet;

/// Applies the program's command line to the parameter set, for this run
/// only (none of it goes into the settings file): "--instrument HOST[:PORT]"
/// replaces the instrument address and port, "--upload-server HOST:PORT" the
/// normal upload's server, "--upload-gateway HOST:PORT" the witness server's
/// address (otherwise the network's gateway) and port, "--program-dir DIR"
/// the folder of the settings file and the data folder (otherwise the
/// executable's folder; created when missing).
/// Returns false with a message for the operator when the line cannot be used.
bool ApplyCommandLine(const QStringList &arguments, ParamSet &params, QString *error);

/// The text "--help" or "--version" asks for, or a null string when the line
/// asks for neither; answered before the application object exists, so it
/// works without a display.
QString CommandLineAnswer(const QStringList &arguments);
