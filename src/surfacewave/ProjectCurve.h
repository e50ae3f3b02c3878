#pragma once

#include "surfacewave/CombinedCurve.h"

#include <QString>
#include <vector>

/// File of a project's combined curve, in the project folder beside its
/// records: the browser lists only records, the export copies it along.
constexpr char kProjectCurveFile[] = "combined_curve.csv";

/// The records of a project's combined curve with their picks, kept as a
/// small CSV (one line per pick: record, spacing, spread, frequency,
/// velocity, wavelength, coherence) so that one record can be taken out
/// again. The records themselves are never touched.
class ProjectCurve
{
public:
    /// The combined curve of the project folder (read by Load()).
    explicit ProjectCurve(const QString &projectFolder);

    QString Path() const;
    /// Reads the file; a missing file is an empty curve. False with
    /// Problem() for a file that cannot be read or is not such a table.
    bool Load();
    const std::vector<RecordPicks> &Records() const { return m_records; }
    bool Contains(const QString &record) const;

    /// Adds the record's picks, replacing those it had, and saves. False
    /// with Problem() when the file could not be written (then nothing changed).
    bool Add(const RecordPicks &record);
    /// Takes the record out and saves.
    bool Remove(const QString &record);
    /// Starts anew: no records.
    bool Clear();

    CombinedCurve Combined() const { return CombineRecords(m_records); }
    const QString &Problem() const { return m_problem; }

private:
    bool Save(const std::vector<RecordPicks> &records);

    QString m_folder;
    std::vector<RecordPicks> m_records;
    QString m_problem;
};
