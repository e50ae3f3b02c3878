#pragma once

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class CDlgDataUpLoadOpt;
}
class FocusGrid;

/// Asks which upload to run: normal (0) or witness (1). Opens with the focus
/// on the protocol chosen last time; Esc leaves without a choice.
class CDlgDataUpLoadOpt : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgDataUpLoadOpt(QWidget *parent = nullptr);
    ~CDlgDataUpLoadOpt() override;

    /// 0 normal, 1 witness; 0 until a button is pressed.
    int Choice() const { return m_choice; }

public slots:
    void on_btnUpLoad1_clicked();
    void on_btnUpLoad2_clicked();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::CDlgDataUpLoadOpt> ui;
    FocusGrid *m_grid = nullptr;
    int m_choice = 0;
    int m_focusIndex = 0;
};

/// The acquisition screen's upload command: the chooser, then the chosen
/// upload dialog over parent; the choice is remembered as the upload mode.
/// Returns the record name a successful normal upload sent, else nothing
/// (the witness dialog reports its outcome itself and stays open).
std::optional<QString> RunUploadCommand(QWidget *parent);
