#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CDlgMsgBox;
}

/// A message with one confirming button, run modally by the screen that reports.
class CDlgMsgBox : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgMsgBox(const QString &text, QWidget *parent = nullptr);
    ~CDlgMsgBox() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void on_BtnOK_clicked();

private:
    std::unique_ptr<Ui::CDlgMsgBox> ui;
};
