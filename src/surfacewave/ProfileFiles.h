#pragma once

#include "surfacewave/Inversion.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

/// File of the profile inverted from a project's combined curve, beside it in the project folder.
constexpr char kProjectProfileFile[] = "combined_profile.csv";

/// Reads a curve for the inversion from CSV text: a header naming the
/// columns `frequency_hz` and `velocity_m_s` (and `sd_m_s` if there is one;
/// other columns are ignored, so the record tool's curve output reads as it
/// is), then one pick per line. Reading stops at its closing `vs30_m_s` line;
/// blank lines are skipped. A line that is not such a pick gives a curve
/// refused with the line's number; the picks go through PrepareCurve.
InversionCurve ParseCurveCsv(const QByteArray &text);

/// The profile as CSV: `depth_top_m,thickness_m,vs_m_s,vp_m_s,density_kg_m3`,
/// the best model from the surface down (the half-space last with thickness
/// 0), then `misfit,VALUE` and `vs30_m_s,VALUE,LOW,HIGH`.
QByteArray ProfileCsv(const InversionResult &result);

/// The picture of a profile, drawn the same way on the instrument's screen
/// and into the record tool's PNG: Vs against depth (the best model as
/// steps, the acceptable models' 10–90 % band shaded, their median dashed,
/// greyed below the depth the curve constrains), the picks with the best
/// model's curve in a small plot, and the Vs30 line with its site classes
/// and the misfit. Needs no widgets, only a font (a QGuiApplication).
QImage DrawProfile(const InversionResult &result, QSize size);

/// "Vs30 = 333 m/s (317–362)  D类 / EC8 C" for a result.
QString ProfileVs30Text(const InversionResult &result);
