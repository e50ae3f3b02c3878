#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CDlgGain;
}
class FocusGrid;

/// Amplifier gains, set six channels (one group) at a time, straight into the
/// current parameter set.
class CDlgGain : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgGain(QWidget *parent = nullptr);
    ~CDlgGain() override;

    /// Index in the focus ring btnOK, btnSet1 … btnSet4.
    int CurrentItem() const;

public slots:
    void UpdateButton();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void on_btnSet1_clicked();
    void on_btnSet2_clicked();
    void on_btnSet3_clicked();
    void on_btnSet4_clicked();
    void on_btnOK_clicked();

private:
    /// Asks group's gain (0-based) on the choice keypad and gives it to its six channels.
    void AskGroupGain(int group);

    std::unique_ptr<Ui::CDlgGain> ui;
    FocusGrid *m_grid = nullptr;
};
