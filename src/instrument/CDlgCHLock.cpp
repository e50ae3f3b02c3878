#include "CDlgCHLock.h"
#include "ui_CDlgCHLock.h"

#include "dialogs/ScreenSetup.h"

#include <QKeyEvent>

namespace {
constexpr int kDialogPointSize = 20;
constexpr int kCommandPointSize = 23;
constexpr int kColumnLength = 6; // the buttons stand in columns of six: Left and Right jump a column
constexpr int kSmallSpread = 12;
const QColor kLocked(255, 0, 0);
const QColor kHighlighted(0, 255, 255);
const QColor kPlain(255, 255, 255);

QString ButtonSheet(const QColor &c)
{
    return QString::asprintf("background-color:rgb(%d, %d, %d);", c.red(), c.green(), c.blue());
}
} // namespace

CDlgCHLock::CDlgCHLock(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgCHLock>())
{
    ui->setupUi(this);
    setFont(ScreenFont(kDialogPointSize));
    ui->btnOK->setFont(ScreenFont(kCommandPointSize));
    ui->btnUnLockAll->setFont(ScreenFont(kCommandPointSize));

    for (int i = 0; i < kMaxChannels; ++i) {
        m_channels[i] = findChild<QPushButton *>(QStringLiteral("btnCH%1").arg(i + 1));
        // A button with a style sheet of its own no longer takes the dialog's font.
        m_channels[i]->setFont(font());
        m_channels[i]->installEventFilter(this);
    }
    if (CurrentParams().ChannelsInUse() == kSmallSpread) {
        for (int i = kSmallSpread; i < kMaxChannels; ++i)
            m_channels[i]->hide();
        m_itemCount = kSmallSpread;
    } else {
        m_itemCount = kMaxChannels;
    }
    // Keys pressed on the commands get the dialog's handling too.
    ui->btnOK->installEventFilter(this);
    ui->btnUnLockAll->installEventFilter(this);
    m_highlight = m_itemCount; // the dialog opens with confirm highlighted

    SetTitleOnlyFlags(this);
    FixAtNaturalSize(this);
    ui->btnOK->setFocus();
    Refresh();
}

CDlgCHLock::~CDlgCHLock() = default;

void CDlgCHLock::Refresh()
{
    for (int i = 0; i < kMaxChannels; ++i) {
        const QColor &c = locks[i] ? kLocked : i == m_highlight ? kHighlighted : kPlain;
        m_channels[i]->setStyleSheet(ButtonSheet(c));
    }
    ui->btnOK->setStyleSheet(ButtonSheet(m_highlight == m_itemCount ? kHighlighted : kPlain));
    ui->btnUnLockAll->setStyleSheet(ButtonSheet(m_highlight == m_itemCount + 1 ? kHighlighted : kPlain));
    grabKeyboard();
    if (m_highlight >= 0 && m_highlight < m_itemCount)
        m_channels[m_highlight]->setFocus();
}

void CDlgCHLock::on_btnOK_clicked()
{
    releaseKeyboard();
    accept();
}

void CDlgCHLock::on_btnUnLockAll_clicked()
{
    locks.fill(false);
    Refresh();
}

void CDlgCHLock::Toggle(int index)
{
    locks[index] = !locks[index];
    Refresh();
}

void CDlgCHLock::MoveHighlight(int index)
{
    m_highlight = index;
    Refresh();
}

bool CDlgCHLock::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        for (int i = 0; i < kMaxChannels; ++i) {
            if (watched != m_channels[i])
                continue;
            if (i < m_itemCount)
                m_highlight = i;
            Toggle(i);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CDlgCHLock::keyPressEvent(QKeyEvent *event)
{
    const bool alt = event->modifiers() & Qt::AltModifier;
    const int n = m_itemCount;
    switch (event->key()) {
    case Qt::Key_Escape:
        on_btnUnLockAll_clicked(); // the dialog stays open
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        if (alt) {
            on_btnOK_clicked();
            return;
        }
        QWidget *focused = focusWidget();
        for (int i = 0; i < kMaxChannels; ++i) {
            if (focused == m_channels[i]) {
                Toggle(i);
                return;
            }
        }
        if (auto *button = qobject_cast<QPushButton *>(focused); button && button->isEnabled())
            button->click();
        return;
    }
    case Qt::Key_Up:
        MoveHighlight(m_highlight - 1 < 0 ? n - 1 : m_highlight - 1);
        return;
    case Qt::Key_Down:
        MoveHighlight(m_highlight + 1 >= n ? 0 : m_highlight + 1);
        return;
    case Qt::Key_Left:
        MoveHighlight(m_highlight - kColumnLength < 0 ? m_highlight - kColumnLength + n : m_highlight - kColumnLength);
        return;
    case Qt::Key_Right:
        MoveHighlight(m_highlight + kColumnLength >= n ? m_highlight + kColumnLength - n : m_highlight + kColumnLength);
        return;
    default:
        Refresh();
        return;
    }
}
