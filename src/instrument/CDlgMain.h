#pragma once

#include "AcquisitionOwner.h"
#include "surfacewave/ShotQuality.h"

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class CDlgMain;
}
class AcquisitionCore;
class CShowWave;
class FocusGrid;
class InstrumentLink;
class QDlgLink;
class QLabel;
class QTimer;
class RecordProgressWindow;

/// The acquisition screen: the trace view, the status fields and the ten
/// commands. Takes, stops and stacks shots, saves and reads records, runs the
/// self-check and opens the settings, analysis and upload screens. A thin
/// form over AcquisitionCore, which takes every decision.
class CDlgMain : public QDialog, public AcquisitionOwner
{
    Q_OBJECT

public:
    explicit CDlgMain(QWidget *parent = nullptr);
    ~CDlgMain() override;

    AcquisitionCore &Core() const { return *m_core; }
    InstrumentLink &Link() const { return *m_link; }
    QDlgLink *LinkDialog() const { return m_linkDialog; }
    CShowWave *View() const;

    // What the acquisition logic asks of the screen.
    void RefreshButtons() override;
    void CloseByAccept() override;
    void HideBanner() override;
    void ShowLinkFailure(const QString &text) override;
    void CloseLinkDialog() override;
    void ShowMessage(const QString &text) override;
    void ShowTitle(int state) override;
    void RebuildView() override;
    void ResetView() override;
    void RefreshStatus() override;
    void TriggerSeen() override;
    void SequenceEnded() override;
    void Cleared() override;
    bool RunSelfCheck(InstrumentLink &link) override;
    void SelfCheckEnded(bool settingsLocked) override;
    RecordProgress *ReadProgress() override;
    void ShowStatusNote(const QString &text) override;
    /// Checks the picture: marks on the trace view, the summary on the status line.
    void NewPicture() override;
    /// The last check's verdict on the picture on screen (empty before any).
    const QcReport &Quality() const { return m_quality; }
    /// The full list of the last check (Alt+Q), in a message box.
    void ShowQualityList();

public slots:
    /// Esc and the window system cannot close the screen; only the exit command does.
    void reject() override {}
    /// Once a second: the date, the battery poll and the version request.
    void UpdateTime();
    /// The trace view's cursor report.
    void OnMainPara(int CH, float time, float value);

    void on_btnSet_clicked();
    void on_btnRead_clicked();
    void on_btnAnalysis_clicked();
    void on_btnAutoCheck_clicked();
    void on_btnSample_clicked();
    void on_btnAdd_clicked();
    void on_btnClear_clicked();
    void on_btnSave_clicked();
    void on_btnUpLoad_clicked();
    /// The site-noise monitor, open whenever the self-check is.
    void on_btnMonitor_clicked();
    void on_btnExit_clicked();
    /// Steps the colour theme of the status fields and commands.
    void on_btnShow1_clicked();
    /// Metering on: how many channels a page shows.
    void on_btnShow4_clicked();
    /// Metering on: the next page of channels.
    void on_btnShow5_clicked();

    /// Shows text over the left of the second status row for a few seconds,
    /// then the fields below it again.
    void ShowNotice(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    /// Asks whether the newest unsaved picture of the journal is to come back.
    void OfferRecovery();

private:
    /// Asks question; true when the operator confirmed.
    bool Ask(const QString &question);
    /// Runs another subsystem's screen over this one (nothing when there is none).
    void OpenTaskScreen(const std::function<void(QWidget *)> &screen);
    void ApplyColourScheme();
    void ShowDate();
    void ShowBattery(int level);
    void FocusCommand(QWidget *button);
    int ChannelsPerPage() const;
    void PlaceHiddenArrows();
    void PlaceNotice();

    QDlgLink *m_linkDialog = nullptr;
    InstrumentLink *m_link = nullptr;
    std::unique_ptr<Ui::CDlgMain> ui;
    QTimer *m_timer = nullptr;
    std::unique_ptr<AcquisitionCore> m_core;
    FocusGrid *m_grid = nullptr;
    std::unique_ptr<RecordProgressWindow> m_readProgress;
    QLabel *m_notice = nullptr;
    QTimer *m_noticeTimer = nullptr;
    QString m_fieldSheet;   ///< style of the status fields in the current colour theme
    QString m_dateSheet;    ///< the date field's last style, set again only when it changes
    bool m_darkFields = false; ///< the theme's status colour needs light text
    QcReport m_quality;        ///< the check of the picture on screen
};
