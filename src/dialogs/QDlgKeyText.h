#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <memory>

namespace Ui {
class QDlgKeyText;
}
class FocusGrid;
class QAbstractButton;

/// Full-screen alphanumeric keyboard for names (file names, project texts,
/// upload identifiers). Run it with exec(); after acceptance read result.
class QDlgKeyText : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kItemCount = 42;

    /// title goes above the entry; text starts in it, all selected, cut to maxLength characters.
    QDlgKeyText(const QString &title, const QString &text, int maxLength, QWidget *parent = nullptr);
    ~QDlgKeyText() override;

    /// The accepted text, without leading and trailing blanks.
    QString result;

    int HighlightIndex() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_tBtnOK_clicked();
    void on_tBtnCancel_clicked();
    void on_tBtnDel_clicked();
    void on_tBtnBack_clicked();
    void on_tBtnAdd_clicked();
    void on_tBtnMinus_clicked();
    void on_tBtn0_clicked();
    void on_tBtn1_clicked();
    void on_tBtn2_clicked();
    void on_tBtn3_clicked();
    void on_tBtn4_clicked();
    void on_tBtn5_clicked();
    void on_tBtn6_clicked();
    void on_tBtn7_clicked();
    void on_tBtn8_clicked();
    void on_tBtn9_clicked();
    void on_tBtnA_clicked();
    void on_tBtnB_clicked();
    void on_tBtnC_clicked();
    void on_tBtnD_clicked();
    void on_tBtnE_clicked();
    void on_tBtnF_clicked();
    void on_tBtnG_clicked();
    void on_tBtnH_clicked();
    void on_tBtnI_clicked();
    void on_tBtnJ_clicked();
    void on_tBtnK_clicked();
    void on_tBtnL_clicked();
    void on_tBtnM_clicked();
    void on_tBtnN_clicked();
    void on_tBtnO_clicked();
    void on_tBtnP_clicked();
    void on_tBtnQ_clicked();
    void on_tBtnR_clicked();
    void on_tBtnS_clicked();
    void on_tBtnT_clicked();
    void on_tBtnU_clicked();
    void on_tBtnV_clicked();
    void on_tBtnW_clicked();
    void on_tBtnX_clicked();
    void on_tBtnY_clicked();
    void on_tBtnZ_clicked();

private:
    void InsertKey(const QAbstractButton *key);

    std::array<int, kItemCount> m_keyCodes{};
    std::array<QAbstractButton *, kItemCount> m_items{};
    std::unique_ptr<Ui::QDlgKeyText> ui;
    FocusGrid *m_grid = nullptr;
    bool m_replaceAll = false; ///< the next key replaces the whole entry
};
