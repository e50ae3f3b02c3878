#include "surfacewave/LayeredModel.h"

#include <QList>

#include <cmath>

namespace {

/// Vp must exceed √2 × Vs: Poisson's ratio above 0. At or below it the
/// Rayleigh root leaves the bracket the search relies on (0.874 × Vs at
/// Poisson's ratio 0) and no soil or rock has such a ratio.
const double kMinVpOverVs = std::sqrt(2.0);

const char *const kHeader = "thickness_m,vp_m_s,vs_m_s,density_kg_m3";
constexpr int kColumns = 4;

} // namespace

LayeredModel::LayeredModel()
    : m_problem(Check({}))
{
}

LayeredModel::LayeredModel(std::vector<Layer> layers)
    : m_layers(std::move(layers))
    , m_problem(Check(m_layers))
{
    if (!Ok())
        return;
    m_slowestVs = m_layers.front().Vs;
    for (const Layer &l : m_layers)
        m_slowestVs = std::min(m_slowestVs, l.Vs);
}

QString LayeredModel::Check(const std::vector<Layer> &layers)
{
    if (layers.empty())
        return QStringLiteral("no half-space: the model has no layers");
    for (size_t i = 0; i < layers.size(); ++i) {
        const Layer &l = layers[i];
        const int number = int(i) + 1;
        const bool halfSpace = i + 1 == layers.size();
        for (double v : {l.Thickness, l.Vp, l.Vs, l.Density})
            if (!std::isfinite(v))
                return QStringLiteral("layer %1: a value is not a number").arg(number);
        if (halfSpace && l.Thickness != 0.0)
            return QStringLiteral("no half-space: the last layer (%1) must have thickness 0").arg(number);
        if (!halfSpace && !(l.Thickness > 0.0))
            return QStringLiteral("layer %1: thickness %2 m, must be above 0 (only the half-space, last, has 0)")
                .arg(number)
                .arg(l.Thickness);
        if (!(l.Vs > 0.0))
            return QStringLiteral("layer %1: Vs %2 m/s, must be above 0").arg(number).arg(l.Vs);
        if (!(l.Vp > kMinVpOverVs * l.Vs))
            return QStringLiteral("layer %1: Vp %2 m/s, must exceed sqrt(2) x Vs = %3 m/s")
                .arg(number)
                .arg(l.Vp)
                .arg(kMinVpOverVs * l.Vs);
        if (!(l.Density > 0.0))
            return QStringLiteral("layer %1: density %2 kg/m3, must be above 0").arg(number).arg(l.Density);
    }
    return QString();
}

LayeredModel LayeredModel::Refused(const QString &why)
{
    LayeredModel m;
    m.m_problem = why.isEmpty() ? QStringLiteral("refused") : why;
    return m;
}

LayeredModel ParseModelCsv(const QByteArray &text)
{
    const QList<QByteArray> lines = text.split('\n');
    std::vector<Layer> layers;
    bool headerSeen = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int number = i + 1;
        if (line.isEmpty())
            continue;
        if (!headerSeen) {
            if (line != kHeader)
                return LayeredModel::Refused(
                    QStringLiteral("line %1: the header must be %2").arg(number).arg(QLatin1String(kHeader)));
            headerSeen = true;
            continue;
        }
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() != kColumns)
            return LayeredModel::Refused(
                QStringLiteral("line %1: %2 fields, %3 expected").arg(number).arg(fields.size()).arg(kColumns));
        double v[kColumns];
        for (int c = 0; c < kColumns; ++c) {
            bool ok = false;
            v[c] = fields.at(c).trimmed().toDouble(&ok);
            if (!ok)
                return LayeredModel::Refused(QStringLiteral("line %1: \"%2\" is not a number")
                                                 .arg(number)
                                                 .arg(QString::fromUtf8(fields.at(c).trimmed())));
        }
        layers.push_back(Layer{v[0], v[1], v[2], v[3]});
    }
    if (!headerSeen)
        return LayeredModel::Refused(QStringLiteral("empty: the header %1 is missing").arg(QLatin1String(kHeader)));
    return LayeredModel(std::move(layers));
}
