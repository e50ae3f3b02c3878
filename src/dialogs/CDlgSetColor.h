#pragma once

#include <QColor>
#include <QDialog>
#include <QList>
#include <QStringList>

#include <array>
#include <memory>

namespace Ui {
class CDlgSetColor;
}
class FocusGrid;
class QPushButton;

/// Up to eleven named colour slots; pressing one picks its colour from the
/// palette. The caller fills the slots, runs the dialog and, when it is
/// accepted, takes Colours() back.
class CDlgSetColor : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kSlotCount = 11;

    explicit CDlgSetColor(QWidget *parent = nullptr);
    ~CDlgSetColor() override;

    /// Slot captions in slot order; an empty name disables its slot.
    void SetNames(const QStringList &names);
    /// Slot colours in slot order.
    void SetColours(const QList<QColor> &colours);
    /// The eleven slot colours as the dialog holds them.
    QList<QColor> Colours() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void on_btnOK_clicked();

private:
    void ChooseColour(int slot);
    void PaintSlot(int slot);

    std::unique_ptr<Ui::CDlgSetColor> ui;
    std::array<QPushButton *, kSlotCount> m_slots{};
    std::array<QColor, kSlotCount> m_colours;
    FocusGrid *m_grid = nullptr;
};
