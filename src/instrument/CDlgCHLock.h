#pragma once

#include "params/ParamSet.h"

#include <QDialog>
#include <array>
#include <memory>

namespace Ui {
class CDlgCHLock;
}
class QPushButton;

/// Chooses the channels that keep their trace while shots are stacked: one
/// toggle per channel (locked ones red), confirm, and unlock all. Works on its
/// own copy of the lock flags; the caller copies them in and out.
class CDlgCHLock : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgCHLock(QWidget *parent = nullptr);
    ~CDlgCHLock() override;

    /// Lock flags of channels 1…24 (true = locked), filled before exec() and read after.
    std::array<bool, kMaxChannels> locks{};

    /// Recolours the buttons, takes the keyboard and focuses the highlighted channel.
    void Refresh();
    int HighlightIndex() const { return m_highlight; }
    /// Channel items the arrow keys cycle through (12 or 24); the highlight
    /// index of confirm is this count, that of unlock-all one more.
    int ItemCount() const { return m_itemCount; }

public slots:
    void on_btnOK_clicked();
    void on_btnUnLockAll_clicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Toggle(int index);
    void MoveHighlight(int index);

    std::array<QPushButton *, kMaxChannels> m_channels{};
    int m_highlight = 0;
    int m_itemCount = kMaxChannels;
    std::unique_ptr<Ui::CDlgCHLock> ui;
};
