#pragma once

#include <QDialog>

class FocusGrid;
class QToolButton;

/// The program's own preferences, beyond the parameters of the settings
/// screen's twenty buttons (which has no room left): automatic saving. A
/// change goes to the preferences file at once.
class CDlgMoreSettings : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgMoreSettings(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void on_btnAutoSave_clicked();

private:
    void UpdateCaptions();

    QToolButton *m_autoSave = nullptr;
    QToolButton *m_ok = nullptr;
    FocusGrid *m_grid = nullptr;
};
