#include "instrument/QDlgLink.h"
#include "ui_QDlgLink.h"

#include "dialogs/FocusGrid.h"
#include "dialogs/ScreenSetup.h"
#include "instrument/LinkOwner.h"
#include "model/TraceStore.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

namespace {
constexpr int kTickMs = 1000;
constexpr int kDialogPointSize = 24;
constexpr int kButtonPointSize = 26;
constexpr int kButtonHeight = 60;
// Two passes, so that the new text and the disabled button are on screen
// before the connection attempt starts.
constexpr int kEventPasses = 2;
const char *const kBaseSheet =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 20pt ;}"
    "QPushButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}";
} // namespace

QDlgLink::QDlgLink(LinkDialogOwner *owner, QWidget *parent)
    : QDialog(parent)
    , m_owner(owner)
    , ui(std::make_unique<Ui::QDlgLink>())
{
    ui->setupUi(this);

    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kBaseSheet);
    look.FontPointSize = kDialogPointSize;
    look.FullScreen = false;
    // A modeless window over the acquisition screen: the screen keeps the
    // keyboard and hands this window the keys it answers.
    look.GrabKeyboard = false;
    for (QPushButton *b : {ui->btnReTry, ui->btnCancel}) {
        b->setFont(ScreenFont(kButtonPointSize));
        b->setMinimumHeight(kButtonHeight);
        b->setMaximumHeight(kButtonHeight);
    }
    SetUpScreen(this, look);

    m_showingResult = false;
    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &QDlgLink::UpdateTime);
    m_timer->start();
    ui->btnReTry->setEnabled(false);

    // Arrows walk the two buttons, Enter presses the focused one.
    m_grid = new FocusGrid(this, {ui->btnReTry, ui->btnCancel});
    m_grid->SetSkipUnavailable(true);
    m_grid->SetIgnoreTab(true);
    m_grid->SetGrabOnRefresh(false);
}

QDlgLink::~QDlgLink() = default;

QString QDlgLink::ConnectingText()
{
    return QStringLiteral("正在连接中，请稍等……");
}

QString QDlgLink::BusyText()
{
    return QStringLiteral("操作正在进行中，请稍候再试！");
}

void QDlgLink::ShowResult(const QString &text)
{
    ui->lbShow->setText(text);
    ui->btnReTry->setEnabled(true);
    ui->btnCancel->setEnabled(true);
    m_showingResult = true;
    // A failure is answered by a retry, the likely next step.
    m_grid->SetIndex(0);
}

void QDlgLink::CloseOnSuccess()
{
    m_showingResult = false;
    reject();
}

void QDlgLink::closeQuietly()
{
    m_showingResult = false;
    close();
}

void QDlgLink::UpdateTime()
{
    // Closing here must also clear the flag: otherwise a later loss of the
    // link would find the window "still showing" and leave it hidden.
    if (Store().LinkState == LinkUp && isVisible())
        closeQuietly();
}

void QDlgLink::on_btnReTry_clicked()
{
    ui->lbShow->setText(ConnectingText());
    ui->btnReTry->setEnabled(false);
    // The focus must not stay on a disabled button: Enter would do nothing.
    m_grid->SetIndex(1);
    for (int i = 0; i < kEventPasses; ++i)
        QCoreApplication::processEvents();
    if (m_owner)
        m_owner->Connect();
}

void QDlgLink::on_btnCancel_clicked()
{
    if (m_owner && m_owner->IsWaiting()) {
        ShowMessage(this, BusyText());
        return;
    }
    closeQuietly();
}

void QDlgLink::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        closeQuietly();
        return;
    }
    // Enter and the arrows are the focus grid's; a default button must not
    // close the window.
    event->accept();
}

void QDlgLink::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_grid->SetIndex(ui->btnReTry->isEnabled() ? 0 : 1);
}
