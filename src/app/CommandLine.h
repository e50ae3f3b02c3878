#pragma once

#include <QString>
#include <QStringList>

class ParamSet;

/// Applies the program's command line to the parameter set. Only
/// "--instrument HOST[:PORT]" exists: it replaces the instrument address and
/// port for this run (they are not part of the settings file). Returns false
/// with a message for the operator when the line cannot be used.
bool ApplyCommandLine(const QStringList &arguments, ParamSet &params, QString *error);
