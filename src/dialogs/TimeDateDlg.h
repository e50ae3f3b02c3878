#pragma once

#include <QDateTime>
#include <QDialog>

#include <array>

class MyTDEdit;
class QPushButton;

/// Date and time entry on on-screen buttons: ten digits type into the field's
/// current section, Left and Right move between sections, CurTime takes the
/// clock. The caller reads Value() after acceptance.
class TimeDateDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kDigits = 10;

    explicit TimeDateDlg(QWidget *parent = nullptr);

    /// Stores t as the result and shows it in the field.
    void SetValue(const QDateTime &t);
    QDateTime Value() const { return m_value; }

    MyTDEdit *Field() const { return m_field; }

public slots:
    void OnInsertData();
    void OnCurTime();
    void OnLeft();
    void OnRight();
    void OnOK();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    /// Hands the field the digits still on their way to it.
    void DeliverTypedDigits();

    std::array<QPushButton *, kDigits> m_digits{};
    MyTDEdit *m_field = nullptr;
    QDateTime m_value;
};
