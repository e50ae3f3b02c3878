#include "CDlgZEB.h"
#include "ui_CDlgZEB.h"

#include "platform/Platform.h"
#include "dialogs/FocusGrid.h"
#include "dialogs/ScreenSetup.h"
#include "dialogs/TaskScreens.h"
#include "instrument/InstrumentProtocol.h"
#include "instrument/InstrumentSocket.h"
#include "params/ParamSet.h"
#include "params/Preferences.h"
#include "platform/Wait.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QKeyEvent>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace {

constexpr int kClockTickMs = 1000;
constexpr int kVersionWaitMs = 5000;
constexpr int kMinVersionReply = 5; // the version byte follows the letter at byte 3

const char kBaseStyle[] =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 30pt \"yaheikr\";}"
    "QPushButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QToolButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;font: 40pt ;}"
    "QLabel#lbSoft{font: bold 40pt \"yaheikr\";}"
    "QLabel#lbInfo1, QLabel#lbInfo2{font: 16pt \"yaheikr\";color: rgb(80, 80, 80);}"
    "QLabel#lbVar, QLabel#lbHardVer{font: 20pt \"yaheikr\";}";

const QString kFetchingText = QStringLiteral("硬件版本: 正在获取中……");
const QString kFailedText = QStringLiteral("硬件版本: <b><font color =red>获取失败</font></b>");

} // namespace

CDlgZEB::CDlgZEB(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgZEB>())
{
    ui->setupUi(this);
    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kBaseStyle);
    look.ReserveMetering = false; // the launcher always covers the whole desktop
    SetUpScreen(this, look);
    // Only the Alt shortcuts of the task buttons; arrows and Enter are not the launcher's.
    m_grid = new FocusGrid(this, {ui->btnSample, ui->btnFile, ui->btnDelete});
    m_grid->SetCount(0);

    ParamSet &params = CurrentParams();
    ui->lbVar->setText(QStringLiteral("软件版本: %1").arg(params.SoftwareVersion));
    const QString settingsNote = ParamSet::LoadResultText(params.LoadSettings());
    CurrentPreferences().Load();

    QUdpSocket *socket = InstrumentSocket();
    if (!socket) {
        socket = EnsureInstrumentSocket(this);
        ConnectSocketSignals(socket);
    }

    ui->lbHardVer->setText(kFetchingText);
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CDlgZEB::UpdateTime);
    m_timer->start(kClockTickMs);
    m_versionTimer = new QTimer(this);
    m_versionTimer->setSingleShot(true);
    m_versionTimer->setInterval(kVersionWaitMs);
    connect(m_versionTimer, &QTimer::timeout, this, [this] { EndVersionWait(0); });

    show();
    if (!settingsNote.isEmpty()) {
        // Once, over the launcher: the survey the next shots go into is not
        // the one the file held.
        QTimer::singleShot(0, this, [this, settingsNote] { ShowMessage(this, settingsNote); });
    }
    StartConnection(socket);
}

CDlgZEB::~CDlgZEB()
{
    // The socket may be our child and is deleted after this part of us is
    // gone; its farewell disconnected() must not reach the launcher's slots.
    if (QUdpSocket *socket = InstrumentSocket())
        DisconnectSocketSignals(socket);
}

void CDlgZEB::ConnectSocketSignals(QUdpSocket *socket)
{
    connect(socket, &QUdpSocket::readyRead, this, &CDlgZEB::onSockRead);
    connect(socket, &QUdpSocket::errorOccurred, this, &CDlgZEB::OnSockError);
    connect(socket, &QUdpSocket::connected, this, &CDlgZEB::onSockOK);
    connect(socket, &QUdpSocket::disconnected, this, &CDlgZEB::onSockFailed);
}

void CDlgZEB::DisconnectSocketSignals(QUdpSocket *socket)
{
    disconnect(socket, nullptr, this, nullptr);
}

void CDlgZEB::StartConnection(QUdpSocket *socket)
{
    const ParamSet &params = CurrentParams();
    socket->abort();
    m_busy = true;
    ConnectInstrumentSocket(socket, QHostAddress(params.InstrumentAddress), params.InstrumentPort.toUShort());
    QCoreApplication::processEvents();
}

void CDlgZEB::UpdateTime()
{
    if (isVisible() && m_openChild != ChildNone)
        hide();
    if (m_answer == 0) {
        ui->lbHardVer->setText(kFailedText);
        m_timer->stop();
        return;
    }
    // Only a version received in this attempt counts: after a retry the text
    // of an earlier success is still in the set while the new wait runs.
    const QString &version = CurrentParams().HardwareVersionText;
    if (m_answer != 1 || version.isEmpty())
        return;
    ui->lbHardVer->setText(version);
    m_timer->stop();
}

int CDlgZEB::GetVersion()
{
    // No waiting here: this runs inside the socket's connected signal, often
    // inside connectToHost itself. A wait would run the task screens nested
    // below it, and the acquisition screen deletes the socket when it goes.
    QUdpSocket *socket = InstrumentSocket();
    m_answer = -1;
    m_busy = true;
    if (socket)
        socket->write(CommandFrame('b'));
    m_versionTimer->start();
    return m_answer;
}

void CDlgZEB::EndVersionWait(int answer)
{
    m_versionTimer->stop();
    if (m_answer < 0)
        m_answer = answer;
    m_busy = false;
}

void CDlgZEB::onSockRead()
{
    QUdpSocket *socket = InstrumentSocket();
    if (!socket)
        return;
    while (socket->hasPendingDatagrams()) {
        const QByteArray datagram = socket->receiveDatagram().data();
        if (datagram.size() < kMinVersionReply)
            continue;
        const char letter = datagram.at(3);
        if (letter != 'b' && letter != 'B')
            continue;
        CurrentParams().HardwareVersionText = HardwareVersionText(quint8(datagram.at(4)));
        EndVersionWait(1);
    }
}

void CDlgZEB::onSockOK()
{
    GetVersion();
}

void CDlgZEB::onSockFailed()
{
    EndVersionWait(0);
}

void CDlgZEB::OnSockError(QAbstractSocket::SocketError)
{
    EndVersionWait(0);
}

void CDlgZEB::RunTask(OpenChild child)
{
    const TaskScreens &screens = Screens();
    const std::function<void(QWidget *)> &screen = child == ChildAcquisition ? screens.Acquisition
        : child == ChildExport                                               ? screens.ExportProjects
                                                                             : screens.DeleteProjects;
    m_openChild = child;
    if (screen) {
        KeyboardGrabPause pause;
        screen(this);
    }
    m_openChild = ChildNone;
    // The clock tick hides the launcher while a task screen is open (the
    // version wait keeps it ticking); every task brings it back.
    show();
}

void CDlgZEB::on_btnSample_clicked()
{
    if (QUdpSocket *socket = InstrumentSocket())
        DisconnectSocketSignals(socket); // the acquisition screen takes the link over
    m_openChild = ChildAcquisition;
    m_timer->start(kClockTickMs);
    // The reply to a version request still under way now goes to the
    // acquisition screen, which asks for the version itself when it has none.
    const bool versionPending = m_versionTimer->isActive();
    m_versionTimer->stop();
    RunTask(ChildAcquisition);
    m_openChild = ChildNone;
    if (versionPending)
        EndVersionWait(CurrentParams().HardwareVersionText.isEmpty() ? 0 : 1);
    show();
    const QString saveNote = ParamSet::SaveResultText(CurrentParams().SaveSettings());
    if (!saveNote.isEmpty())
        ShowMessage(this, saveNote);
}

void CDlgZEB::on_btnFile_clicked()
{
    if (CurrentPlatform().FindUsbStick().isEmpty()) {
        ShowMessage(this, QStringLiteral("找不到U盘，无法导出！"));
        return;
    }
    RunTask(ChildExport);
}

void CDlgZEB::on_btnDelete_clicked()
{
    RunTask(ChildDelete);
}

void CDlgZEB::on_btnUpdate_clicked()
{
    QUdpSocket *socket = InstrumentSocket();
    if (socket)
        DisconnectSocketSignals(socket);
    else
        socket = EnsureInstrumentSocket(this);
    ConnectSocketSignals(socket);
    ui->lbHardVer->setText(kFetchingText);
    m_timer->start(kClockTickMs);
    StartConnection(socket);
}

void CDlgZEB::on_btnExit_clicked()
{
    reject();
}

void CDlgZEB::reject()
{
    if (m_busy) {
        ShowMessage(this, QStringLiteral("操作正在进行中，暂时无法退出，请稍候再试！"));
        return;
    }
    accept();
}

void CDlgZEB::keyPressEvent(QKeyEvent *event)
{
    // Alt+S, Alt+E and Alt+D reach the focus grid first; every other key but Esc is ignored.
    if (event->key() == Qt::Key_Escape)
        reject();
}
