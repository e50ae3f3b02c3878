#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CDlgSet;
}
class FocusGrid;
class QTimer;
class QToolButton;

/// The parameter settings screen: twenty buttons, each showing a parameter of
/// the current parameter set and asking for a new value (keypad, toggle or
/// dialog). Every change goes into the set at once; closing undoes nothing.
class CDlgSet : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgSet(QWidget *parent = nullptr);
    ~CDlgSet() override;

    /// Index of the focused button in the 4 × 5 grid (row by row).
    int FocusIndex() const;

public slots:
    /// Shows the clock on btnSetTime, red while it has not been set.
    void UpdateTime();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void on_btnProject_clicked();
    void on_btnTestUnit_clicked();
    void on_btnTestPerson_clicked();
    void on_btnProfileName_clicked();
    void on_btnCHNum_clicked();
    void on_btnRate_clicked();
    void on_btnSampleLen_clicked();
    void on_btnFilter_clicked();
    void on_btnTriggNum_clicked();
    void on_btnSpan_clicked();
    void on_btnMove_clicked();
    void on_btnDelay_clicked();
    void on_btnTriggMethord_clicked();
    void on_btnDirectory_clicked();
    void on_btnTestMethord_clicked();
    void on_btnGain_clicked();
    void on_btnSetSensor_clicked();
    void on_btnSetColor_clicked();
    void on_btnSetTime_clicked();
    void on_btnOK_clicked();

private:
    void UpdateCaptions();
    /// After every handler: fresh captions, the keyboard back, the focus on the grid's button.
    void Done();
    /// Gives button the largest caption font, up to the screen's, at which its caption fits.
    void FitCaption(QToolButton *button);
    void AskHeaderText(const QString &title, QString &field);
    /// The program's own preferences ("更多设置").
    void OpenMoreSettings();

    std::unique_ptr<Ui::CDlgSet> ui;
    FocusGrid *m_grid = nullptr;
    QTimer *m_timer = nullptr;
    QToolButton *m_more = nullptr; ///< the touch way to OpenMoreSettings
    QString m_clockSheet; ///< colour part of btnSetTime's own sheet
    bool m_settingClock = false;
};
