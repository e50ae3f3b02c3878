#pragma once

#include <QDateTimeEdit>

class TDLineEdit;

/// The date and time field: touching it selects the section under the
/// finger, and a section filled by typing stays current (the Left and Right
/// buttons move between sections).
class MyTDEdit : public QDateTimeEdit
{
    Q_OBJECT

public:
    explicit MyTDEdit(QWidget *parent = nullptr);

    TDLineEdit *Line() const { return m_line; }
    /// True when the text shown is a complete date-time within the limits.
    bool HasAcceptableInput() const;
    /// Makes section index current and selects it.
    void SelectSection(int index);

public slots:
    void on_Chicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    TDLineEdit *m_line;
};
