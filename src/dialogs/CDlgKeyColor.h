#pragma once

#include <QColor>
#include <QDialog>

#include <array>
#include <memory>

namespace Ui {
class CDlgKeyColor;
}
class FocusGrid;
class QPushButton;

/// A 4 × 4 palette of sixteen fixed colours; it ends only by choosing one.
class CDlgKeyColor : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kColourCount = 16;

    explicit CDlgKeyColor(QWidget *parent = nullptr);
    ~CDlgKeyColor() override;

    /// The chosen colour (valid after acceptance).
    QColor Colour() const { return m_colour; }
    /// The palette's colour at index (0-based, button 1 first).
    static QColor PaletteColour(int index);
    /// Index (0-based) of the focused button.
    int CurrentItem() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Choose(int index);

    std::unique_ptr<Ui::CDlgKeyColor> ui;
    std::array<QPushButton *, kColourCount> m_buttons{};
    FocusGrid *m_grid = nullptr;
    QColor m_colour;
};
