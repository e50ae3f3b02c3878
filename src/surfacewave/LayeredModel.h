#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

/// One homogeneous elastic layer; the last layer of a model is the half-space.
struct Layer
{
    double Thickness = 0.0; ///< m; 0 for the half-space
    double Vp = 0.0;        ///< m/s, compressional velocity
    double Vs = 0.0;        ///< m/s, shear velocity
    double Density = 0.0;   ///< kg/m³
};

/// Layers over a half-space, surface first, checked once when made: a model
/// that is not Ok() carries the reason and gives no phase velocities.
class LayeredModel
{
public:
    /// No layers: refused ("no half-space").
    LayeredModel();
    /// Takes the layers surface first, the half-space (thickness 0) last.
    explicit LayeredModel(std::vector<Layer> layers);

    bool Ok() const { return m_problem.isEmpty(); }
    /// Why the model was refused, in English for logs and the record tool; empty when Ok().
    const QString &Problem() const { return m_problem; }

    const std::vector<Layer> &Layers() const { return m_layers; }
    /// Layers including the half-space.
    int LayerCount() const { return int(m_layers.size()); }
    /// The last layer; only meaningful when Ok().
    const Layer &HalfSpace() const { return m_layers.back(); }
    /// The smallest shear velocity of any layer, half-space included (0 when refused).
    double SlowestVs() const { return m_slowestVs; }

    /// The reason layers cannot make a model, or empty when they can.
    static QString Check(const std::vector<Layer> &layers);
    /// A refused model that carries why (for readers of model files).
    static LayeredModel Refused(const QString &why);

private:
    std::vector<Layer> m_layers;
    QString m_problem;
    double m_slowestVs = 0.0;
};

/// Reads a model from CSV text: the header
/// `thickness_m,vp_m_s,vs_m_s,density_kg_m3`, then one layer per line from
/// the surface down, the half-space last with thickness 0. Blank lines are
/// skipped. A text that is not such a table gives a refused model saying
/// which line is wrong.
LayeredModel ParseModelCsv(const QByteArray &text);
