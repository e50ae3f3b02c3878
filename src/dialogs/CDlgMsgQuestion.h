#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CDlgMsgQuestion;
}
class FocusGrid;

/// A question with up to three answers. Accepted for BtnOK (choice 1) and
/// BtnOK2 (choice 2), rejected for BtnCancle and Esc (choice 0).
class CDlgMsgQuestion : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgMsgQuestion(const QString &text, QWidget *parent = nullptr);
    ~CDlgMsgQuestion() override;

    /// Title, question and the captions of BtnOK, BtnCancle and BtnOK2; an empty
    /// title keeps the current one, an empty text hides its label or button.
    void SetTexts(const QString &title, const QString &question, const QString &okText,
                  const QString &cancelText, const QString &ok2Text);
    /// Focuses BtnOK (0), BtnCancle (1) or BtnOK2 (2).
    void SetButtonFocus(int button);
    /// 1 BtnOK, 2 BtnOK2, 0 BtnCancle or no button pressed.
    int Choice() const { return m_choice; }

private slots:
    void on_BtnOK_clicked();
    void on_BtnOK2_clicked();
    void on_BtnCancle_clicked();

private:
    std::unique_ptr<Ui::CDlgMsgQuestion> ui;
    QString m_question;
    int m_choice = 0;
    FocusGrid *m_grid = nullptr;
};
