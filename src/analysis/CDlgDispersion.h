#pragma once

#include "analysis/DispersionImage.h"
#include "surfacewave/ProjectCurve.h"

#include <QDialog>
#include <memory>

namespace Ui {
class CDlgDispersion;
}
class FocusGrid;

/// The dispersion screen: the phase-shift image of the record on screen with
/// its picked fundamental-mode curve and a cursor readout of frequency, phase
/// velocity and wavelength, so that a shot can be judged before leaving the
/// site. The operator adjusts the frequency and velocity bounds and steps.
/// "综合曲线(A)" adds the record's picks to its project's combined curve
/// (D takes them out again, C starts the curve anew), which is drawn over
/// the image with its Vs30; "Vs剖面(P)" inverts it to a shear-wave velocity
/// profile. The record itself is never changed.
class CDlgDispersion : public QDialog
{
    Q_OBJECT

public:
    /// Computes the image of the record on screen with the default bounds.
    explicit CDlgDispersion(QWidget *parent = nullptr);
    ~CDlgDispersion() override;

    /// Runs the screen over parent, or tells the operator why the record on
    /// screen gives no image (too few channels, no spacing, damaged samples).
    static void Open(QWidget *parent);

    const DispersionImage &Image() const { return m_image; }
    /// The combined curve of the record's project as shown (empty without a saved record).
    const ProjectCurve *Combined() const { return m_curve.get(); }

    /// Takes the record's picks out of the combined curve (key D).
    void RemoveFromCombined();
    /// Starts the combined curve anew (key C).
    void ClearCombined();

private slots:
    void on_btnFreqMin_clicked();
    void on_btnFreqMax_clicked();
    void on_btnFreqStep_clicked();
    void on_btnVelMin_clicked();
    void on_btnVelMax_clicked();
    void on_btnVelStep_clicked();
    void on_btnCombine_clicked();
    /// Opens the profile screen on the combined curve, or on this record's picks without one (key P).
    void on_btnProfile_clicked();
    void on_btnExit_clicked();
    void OnCursorMoved(double frequency, double velocity);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    CDlgDispersion(DispersionImage image, QWidget *parent);
    /// Loads the combined curve of the record's project, if the record has a file.
    void LoadCombined();
    /// Draws the combined curve and its Vs30 over the image.
    void ShowCombined();
    void Report(const QString &text);
    /// Asks one bound or step on the number keypad and recomputes with it; a
    /// grid that gives no image is refused with its message and changes nothing.
    void AskGrid(const QString &title, double DispersionGrid::*field, int decimals, float lowest, float highest);
    void ShowImage();
    /// Moves the cursor by steps frequencies, onto the picked curve where it has a point.
    void StepCursor(int steps);

    std::unique_ptr<Ui::CDlgDispersion> ui;
    DispersionImage m_image;
    FocusGrid *m_grid = nullptr;
    QString m_record; ///< the record's file name; empty when it has no file
    std::unique_ptr<ProjectCurve> m_curve;
};
