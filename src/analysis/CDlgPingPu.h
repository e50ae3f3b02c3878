#pragma once

#include "analysis/SpectrumAnalysis.h"

#include <QDialog>
#include <memory>

namespace Ui {
class CDlgPingPu;
}
class CPingPu;
class CSinWave;
class QAbstractButton;

/// The amplitude spectrum of one channel of the record and its main
/// frequency. Computes from PreviousTraces, which the analysis screen fills
/// with the traces on screen before it opens this dialog.
class CDlgPingPu : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgPingPu(QWidget *parent = nullptr);
    ~CDlgPingPu() override;

    int Channel() const { return m_channel; }
    int Length() const { return m_spectrum.Length; }
    float StartTime() const { return m_startMs; }
    float EndTime() const { return m_endMs; }
    int Refinement() const { return m_refinement; }
    const ChannelSpectrum &Spectrum() const { return m_spectrum; }
    CSinWave *Wave() const;
    CPingPu *Plot() const;

public slots:
    void OnSetMainRange(int b, int e, bool type);

private slots:
    void on_btnCHAVG_clicked();
    void on_btnHead_clicked();
    void on_btnTail_clicked();
    void on_btnXiHua_clicked();
    void on_btnExit_clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    /// Compute, captions, refresh: how every change ends.
    void Update();
    void Compute();
    void SetCaptions();
    /// Sample interval the dialog computes with (never below the reader's floor).
    float IntervalUs() const;

    std::unique_ptr<Ui::CDlgPingPu> ui;
    int m_channel = 0;
    float m_startMs = 0.0f;
    float m_endMs = 0.0f;
    int m_refinement = 1;
    ChannelSpectrum m_spectrum; ///< the last computed spectrum, drawn by ShowPingPu
};
