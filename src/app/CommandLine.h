#pragma once

#include <QString>
#include <QStringList>

class ParamSet;

/// What the command line sets outside the parameter set, for this run only.
struct CommandLineChoices
{
    /// "--usb-stick DIR": the folder the program takes for the USB stick
    /// (test runs; no volume is looked for); empty: the real stick.
    QString UsbStickFolder;
};

/// Applies the program's command line to the parameter set, for this run
/// only (none of it goes into the settings file): "--instrument HOST[:PORT]"
/// replaces the instrument address and port, "--upload-server HOST:PORT" the
/// normal upload's server, "--upload-gateway HOST:PORT" the witness server's
/// address (otherwise the network's gateway) and port, "--program-dir DIR"
/// the folder of the settings file and the data folder (otherwise the
/// executable's folder; created when missing); "--usb-stick DIR" goes into
/// choices (ignored when choices is null).
/// Returns false with a message for the operator when the line cannot be used.
bool ApplyCommandLine(const QStringList &arguments, ParamSet &params, QString *error,
                      CommandLineChoices *choices = nullptr);

/// The usage line printed with a refused command line.
QString CommandLineUsage();

/// The text "--help" or "--version" asks for, or a null string when the line
/// asks for neither; answered before the application object exists, so it
/// works without a display.
QString CommandLineAnswer(const QStringList &arguments);
