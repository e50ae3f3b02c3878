#pragma once

#include <QSet>
#include <QString>

class ParamSet;

/// The name the save prompt offers after last: its trailing number one
/// higher, at least as wide as it was ("T0009" → "T0010", "A12" → "A13"),
/// "1" appended when it has no number, "0001" when there is no last name.
/// Names in taken are stepped over. Empty when the next free name would be
/// longer than maxLength: the operator types one then.
QString NextRecordName(const QString &last, const QSet<QString> &taken, int maxLength);

/// The record of the project of params saved last (the newest file), without
/// its extension; empty when the project has none.
QString LastSavedRecordName(const ParamSet &params);

/// The next free numbered name in the project of params (see NextRecordName).
QString SuggestedRecordName(const ParamSet &params);
