#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CDlgSetFilt;
}
class FocusGrid;
class QAbstractButton;

/// Sets the digital filter's low-pass and high-pass limits. A limit is in
/// the parameter set as soon as its keypad is accepted; the dialog is left
/// through its OK button only.
class CDlgSetFilt : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgSetFilt(QWidget *parent = nullptr);
    ~CDlgSetFilt() override;

public slots:
    /// Escape and the window system cannot leave the dialog.
    void reject() override;

private slots:
    void on_btnColor1_pressed();
    void on_btnColor2_pressed();
    void on_btnOK_clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    /// Asks a limit on the number keypad and stores it when accepted.
    void AskLimit(QAbstractButton *button, const QString &title, int &limit);
    void RefreshCaptions();

    std::unique_ptr<Ui::CDlgSetFilt> ui;
    FocusGrid *m_grid = nullptr;
};
