#include "CDlgSetColor.h"
#include "ui_CDlgSetColor.h"

#include "CDlgKeyColor.h"
#include "FocusGrid.h"
#include "SettingsLook.h"

#include <QKeyEvent>

namespace {
constexpr int kRingSlots = 3;      // the keyboard reaches slots 1 to 3 and OK
const QColor kCaptionColour(0, 0, 0); // the sheet's text colour
} // namespace

CDlgSetColor::CDlgSetColor(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgSetColor>())
{
    ui->setupUi(this);
    ScreenLook look = SettingsLook();
    look.BaseSheet += QString::fromUtf8(kColourFocusSheet);
    SetUpScreen(this, look);
    m_colours.fill(Qt::white);

    QList<QWidget *> ring;
    for (int i = 0; i < kSlotCount; ++i) {
        m_slots[i] = findChild<QPushButton *>(QStringLiteral("btnColor%1").arg(i + 1));
        m_slots[i]->setAutoDefault(false);
        connect(m_slots[i], &QPushButton::clicked, this, [this, i] { ChooseColour(i); });
        if (i < kRingSlots)
            ring.append(m_slots[i]);
        PaintSlot(i);
    }
    ui->btnOK->setAutoDefault(false);
    ring.append(ui->btnOK);
    m_grid = new FocusGrid(this, ring);
    m_grid->SetIgnoreTab(true);
    m_grid->SetSkipUnavailable(true);
    m_grid->SetConfirm([this] { on_btnOK_clicked(); });
    m_grid->SetIndex(kRingSlots); // btnOK
}

CDlgSetColor::~CDlgSetColor() = default;

void CDlgSetColor::SetNames(const QStringList &names)
{
    for (int i = 0; i < kSlotCount; ++i) {
        const QString name = names.value(i);
        m_slots[i]->setText(name);
        m_slots[i]->setEnabled(!name.isEmpty());
    }
}

void CDlgSetColor::SetColours(const QList<QColor> &colours)
{
    for (int i = 0; i < kSlotCount; ++i) {
        m_colours[i] = colours.value(i, Qt::white);
        PaintSlot(i);
    }
}

QList<QColor> CDlgSetColor::Colours() const
{
    return QList<QColor>(m_colours.begin(), m_colours.end());
}

void CDlgSetColor::PaintSlot(int slot)
{
    // The sheet only paints; the colour itself is kept in m_colours. A
    // caption in the colour of its background would vanish: it turns white.
    const QColor &c = m_colours[slot];
    const QString white = c.rgb() == kCaptionColour.rgb() ? QStringLiteral("color:rgb(255,255,255);") : QString();
    m_slots[slot]->setStyleSheet(white + ColourSheet(c));
}

void CDlgSetColor::ChooseColour(int slot)
{
    {
        KeyboardGrabPause pause;
        CDlgKeyColor palette(this);
        if (palette.exec() == QDialog::Accepted) {
            m_colours[slot] = palette.Colour();
            PaintSlot(slot);
        }
    }
    m_grid->Refresh();
}

void CDlgSetColor::on_btnOK_clicked()
{
    releaseKeyboard();
    accept();
}

void CDlgSetColor::keyPressEvent(QKeyEvent *event)
{
    // Arrows, Enter and Alt+Enter reach the focus grid first (Enter on OK
    // clicks it, Enter on a slot chooses its colour); Esc and every other key
    // are without effect: the dialog closes through OK only.
    event->accept();
}
