#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <memory>

namespace Ui {
class QDlgKeyNum;
}
class FocusGrid;
class QAbstractButton;
class QDoubleValidator;

/// Full-screen numeric keypad. Number mode: free entry with an inclusive
/// range check. Choice mode (SetChoices): up to twelve preset values on the
/// keys. Run it with exec(); after acceptance read value (and text in choice mode).
class QDlgKeyNum : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kItemCount = 15;
    static constexpr int kChoiceCount = 12;

    /// Number mode: value starts in the entry with decimals digits after the point.
    QDlgKeyNum(const QString &title, float value, int decimals, float minimum, float maximum,
               QWidget *parent = nullptr);
    /// Choice mode: text starts in the entry; SetChoices puts the values on the keys.
    QDlgKeyNum(const QString &title, const QString &text, QWidget *parent = nullptr);
    ~QDlgKeyNum() override;

    /// Writes the choices onto tBtn0…tBtn9, tBtnDot and tBtnBack; an empty one
    /// disables its key. Give the choices first and the empty texts after them.
    void SetChoices(const QString &c1, const QString &c2 = {}, const QString &c3 = {},
                    const QString &c4 = {}, const QString &c5 = {}, const QString &c6 = {},
                    const QString &c7 = {}, const QString &c8 = {}, const QString &c9 = {},
                    const QString &c10 = {}, const QString &c11 = {}, const QString &c12 = {});

    /// The accepted number.
    float value = 0.0f;
    /// Digits after the point; 0 disables the "." key.
    int decimals = 0;
    /// The accepted key text (choice mode).
    QString text;

    int HighlightIndex() const;
    int ItemCount() const;
    /// 0 number entry, 1 choice.
    int Mode() const { return m_mode; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void on_tBtnOK_clicked();
    void on_tBtnCancel_clicked();
    void on_tBtnBack_clicked();
    void on_tBtnDot_clicked();
    void on_tBtnSign_clicked();
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
    void on_editValue2_returnPressed();

private:
    void SetUpCommon(const QString &title);
    void KeyPressed(QAbstractButton *key);
    /// Picks the focused choice and confirms it at once (choice mode's Enter).
    void PickAndConfirm();
    void ConfirmIfOpen();
    void Refuse(const QString &message);
    /// The range message, with the limits in the keypad's decimals.
    void RefuseRange();

    std::array<QAbstractButton *, kItemCount> m_items{};
    std::array<int, kItemCount> m_keyCodes{};
    std::unique_ptr<Ui::QDlgKeyNum> ui;
    std::unique_ptr<QDoubleValidator> m_validator;
    float m_minimum = 0.0f;
    float m_maximum = 0.0f;
    int m_mode = 0;
    FocusGrid *m_grid = nullptr;
};
