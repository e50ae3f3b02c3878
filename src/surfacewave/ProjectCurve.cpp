#include "surfacewave/ProjectCurve.h"

#include "records/SafeWriteBatch.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace {

const char *const kHeader = "record,spacing_m,spread_m,frequency_hz,velocity_m_s,wavelength_m,coherence";
constexpr int kColumns = 7;
/// A project's curve holds a few dozen records of about a hundred picks;
/// anything far larger is not a file this program wrote.
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

} // namespace

ProjectCurve::ProjectCurve(const QString &projectFolder)
    : m_folder(projectFolder)
{
}

QString ProjectCurve::Path() const
{
    return m_folder + QLatin1Char('/') + QLatin1String(kProjectCurveFile);
}

bool ProjectCurve::Contains(const QString &record) const
{
    for (const RecordPicks &r : m_records)
        if (r.Record == record)
            return true;
    return false;
}

bool ProjectCurve::Load()
{
    m_records.clear();
    m_problem.clear();
    QFile file(Path());
    if (!file.exists())
        return true;
    if (file.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly)) {
        m_problem = QStringLiteral("cannot read %1").arg(Path());
        return false;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    std::vector<RecordPicks> records;
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        if (line.isEmpty())
            continue;
        if (i == 0) {
            if (line != kHeader) {
                m_problem = QStringLiteral("%1: not a combined curve").arg(Path());
                return false;
            }
            continue;
        }
        const QList<QByteArray> f = line.split(',');
        double v[kColumns - 1];
        bool ok = f.size() == kColumns && !f.at(0).isEmpty();
        for (int c = 1; ok && c < kColumns; ++c) {
            v[c - 1] = f.at(c).toDouble(&ok);
            ok = ok && std::isfinite(v[c - 1]);
        }
        if (!ok) {
            m_problem = QStringLiteral("%1: line %2 is damaged").arg(Path()).arg(i + 1);
            return false;
        }
        const QString name = QString::fromUtf8(f.at(0));
        if (records.empty() || records.back().Record != name) {
            RecordPicks r;
            r.Record = name;
            r.SpacingM = v[0];
            r.SpreadM = v[1];
            records.push_back(r);
        }
        DispersionPick p;
        p.Frequency = v[2];
        p.Velocity = v[3];
        p.Wavelength = v[4];
        p.Coherence = v[5];
        records.back().Picks.push_back(p);
    }
    m_records = std::move(records);
    return true;
}

bool ProjectCurve::Save(const std::vector<RecordPicks> &records)
{
    QByteArray out = QByteArray(kHeader) + '\n';
    char line[192]; // every double to the last bit: a reload combines exactly as before
    for (const RecordPicks &r : records) {
        const QByteArray name = r.Record.toUtf8();
        if (name.isEmpty() || name.contains(',') || name.contains('\n') || name.contains('\r')) {
            m_problem = QStringLiteral("record name \"%1\" cannot be kept in the table").arg(r.Record);
            return false;
        }
        for (const DispersionPick &p : r.Picks) {
            std::snprintf(line, sizeof line, ",%.17g,%.17g,%.17g,%.17g,%.17g,%.17g\n", r.SpacingM, r.SpreadM, p.Frequency,
                          p.Velocity, p.Wavelength, p.Coherence);
            out += name + line;
        }
    }
    if (!SafeWriteBytes(out, m_folder, QLatin1String(kProjectCurveFile))) {
        m_problem = QStringLiteral("cannot write %1").arg(Path());
        return false;
    }
    m_records = records;
    return true;
}

bool ProjectCurve::Add(const RecordPicks &record)
{
    std::vector<RecordPicks> next;
    for (const RecordPicks &r : m_records)
        if (r.Record != record.Record)
            next.push_back(r);
    next.push_back(record);
    return Save(next);
}

bool ProjectCurve::Remove(const QString &record)
{
    std::vector<RecordPicks> next;
    for (const RecordPicks &r : m_records)
        if (r.Record != record)
            next.push_back(r);
    return Save(next);
}

bool ProjectCurve::Clear()
{
    return Save({});
}
