#include "CDlgKeyColor.h"
#include "ui_CDlgKeyColor.h"

#include "FocusGrid.h"
#include "SettingsLook.h"

#include <QKeyEvent>

namespace {
constexpr int kRowLength = 4;
const QColor kPalette[CDlgKeyColor::kColourCount] = {
    {255, 0, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
    {255, 192, 203}, {255, 128, 0},   {160, 32, 240},  {0, 255, 0},
    {218, 178, 115}, {230, 230, 215}, {186, 110, 64},  {220, 220, 255},
    {0, 0, 0},       {87, 33, 77},    {128, 128, 128}, {255, 255, 255},
};
} // namespace

QColor CDlgKeyColor::PaletteColour(int index)
{
    return index >= 0 && index < kColourCount ? kPalette[index] : QColor();
}

CDlgKeyColor::CDlgKeyColor(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgKeyColor>())
{
    ui->setupUi(this);
    ScreenLook look = SettingsLook();
    look.BaseSheet += QString::fromUtf8(kColourFocusSheet);
    SetUpScreen(this, look);

    QList<QWidget *> items;
    for (int i = 0; i < kColourCount; ++i) {
        m_buttons[i] = findChild<QPushButton *>(QStringLiteral("btnColor%1").arg(i + 1));
        m_buttons[i]->setStyleSheet(ColourSheet(kPalette[i]));
        m_buttons[i]->setAutoDefault(false);
        connect(m_buttons[i], &QPushButton::clicked, this, [this, i] { Choose(i); });
        items.append(m_buttons[i]);
    }
    m_grid = new FocusGrid(this, items);
    m_grid->SetSteps(1, kRowLength);
    m_grid->SetIgnoreTab(true);
    m_grid->Refresh();
}

CDlgKeyColor::~CDlgKeyColor() = default;

int CDlgKeyColor::CurrentItem() const
{
    return m_grid->Index();
}

void CDlgKeyColor::Choose(int index)
{
    // The colour comes from the palette itself, never from a rendered button.
    m_colour = kPalette[index];
    accept();
}

void CDlgKeyColor::keyPressEvent(QKeyEvent *event)
{
    // Arrows and Enter reach the focus grid first; nothing else (Esc
    // included) ends the palette.
    event->accept();
}
