#pragma once

#include <QDialog>

#include <array>
#include <memory>

namespace Ui {
class CDlgSetSensor;
}
class QPushButton;

/// The geophone description: sensor type, metering signal, setting method and
/// one sensitivity per channel, straight into the current parameter set.
class CDlgSetSensor : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kValueButtons = 24;

    explicit CDlgSetSensor(QWidget *parent = nullptr);
    ~CDlgSetSensor() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void on_btnSensorType_clicked();
    void on_btnSignType_clicked();
    void on_btnSetMethord_clicked();
    void on_btnOK_clicked();

private:
    void UpdateCaptions();
    /// Non-zero becomes 0, 0 becomes 1.
    void Toggle(int &flag);
    /// Asks channel's (1-based) sensitivity on the number keypad.
    void AskSensitivity(int channel);

    std::unique_ptr<Ui::CDlgSetSensor> ui;
    std::array<QPushButton *, kValueButtons> m_values{};
};
