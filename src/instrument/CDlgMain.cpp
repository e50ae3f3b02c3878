#include "CDlgMain.h"
#include "ui_CDlgMain.h"

#include "AcquisitionCore.h"
#include "CDlgCHLock.h"
#include "CDlgNoiseMonitor.h"
#include "InstrumentLink.h"
#include "InstrumentSocket.h"
#include "QDlgLink.h"
#include "ShotCheck.h"
#include "model/TraceStore.h"
#include "platform/Platform.h"
#include "dialogs/CDlgMsgQuestion.h"
#include "dialogs/FocusGrid.h"
#include "dialogs/QDlgKeyNum.h"
#include "dialogs/QDlgKeyText.h"
#include "dialogs/ScreenSetup.h"
#include "dialogs/TaskScreens.h"
#include "display/CShowWave.h"
#include "params/ParamSet.h"
#include "records/RecordFile.h"
#include "browser/RecordProgressWindow.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <cmath>

namespace {

constexpr int kClockTickMs = 1000;
constexpr int kThemeCount = 3;
constexpr int kBatteryLowest = kBatteryRedLevel; // this level and below shows red
constexpr int kFullBattery = 10;
/// How long a notice covers the status fields.
constexpr int kNoticeMs = 4000;
const char kNoticeSheet[] = "font: 20px;border: 2px solid black;";
const char kYearFormat[] = "yyyy";
const char kDateFormat[] = "yyyy/MM/dd";
// A clock still at its factory year, or any year before the program was
// built, has never been set.
const char kUnsetYear[] = "2000";
const char kFirstSetYear[] = "2013";

const char kBaseSheet[] =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 30pt ;}"
    "QPushButton{height:%1px;font: normal %2px \"yaheikr\";color: rgb(0, 0, 0);border-width: 2px;"
    "border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QToolButton{text-align:left;height:30px;color: rgb(0, 0, 0);border-width: 2px;"
    "border-color: rgb(0, 0, 0);border-style: solid;font: 20px ;}";

const char kBatterySheet[] =
    "QProgressBar{color: purple;border: 5px solid black;}"
    "QProgressBar::chunk{background-color: %1;}";

// Black text is unreadable on the darker theme colours (blue buttons, dark
// red fields): there the texts turn white, and what marks a disabled command
// or an unset clock turns lighter. Dark means black text would contrast less
// than white does (relative luminance below 0.179).
constexpr double kDarkLuminance = 0.179;
const char kTextOnDark[] = "color:white;";
const char kCommandsOnDark[] = "QPushButton{color:white;}QPushButton:focus{color:black;}";
const char kDisabledOnDark[] = "QPushButton:!enabled{color:rgb(170, 170, 170);}";
const char kUnsetDateOnDark[] = "color:rgb(255, 150, 150)";

bool IsDark(const QColor &c)
{
    const auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue()) < kDarkLuminance;
}

QString BatterySheet(int level)
{
    return QString::fromLatin1(kBatterySheet)
        .arg(level <= kBatteryLowest ? QStringLiteral("red") : QStringLiteral("green"));
}

} // namespace

CDlgMain::CDlgMain(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgMain>())
{
    ui->setupUi(this);
    m_link = new InstrumentLink(this, this);
    m_core = std::make_unique<AcquisitionCore>(*m_link, *this);

    TraceStore &store = Store();
    m_link->SetClosing(false);
    m_link->SetWaiting(false);
    store.SelfCheckRunning = false;
    store.LinkState = LinkDown;
    for (int c = 0; c < kMaxChannels; ++c) {
        store.Traces[c].clear();
        store.PreviousTraces[c].clear();
    }
    // The launcher's socket when there is one, a new one (ours) otherwise.
    m_link->AttachSocket();

    SetUpScreen(this, CommandButtonsLook(kBaseSheet));
    ShowBattery(kFullBattery);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("clockTimer"));
    m_timer->setInterval(kClockTickMs);
    connect(m_timer, &QTimer::timeout, this, &CDlgMain::UpdateTime);

    // Left and Right walk the commands; Alt and a caption's letter runs one.
    m_grid = new FocusGrid(this, {ui->btnSet, ui->btnRead, ui->btnAnalysis, ui->btnAutoCheck,
                                  ui->btnSample, ui->btnAdd, ui->btnClear, ui->btnSave,
                                  ui->btnUpLoad, ui->btnExit});
    m_grid->SetSkipUnavailable(true);
    m_grid->SetIgnoreTab(true);
    m_grid->SetShortcutButtons({ui->btnSet, ui->btnRead, ui->btnAnalysis, ui->btnAutoCheck,
                                ui->btnSample, ui->btnAdd, ui->btnClear, ui->btnSave, ui->btnUpLoad,
                                ui->btnMonitor});
    // Up and Down move the trace cursor, not the focus: this filter sees the
    // keys before the grid's.
    installEventFilter(this);

    ApplyColourScheme();
    UpdateTime();
    m_timer->start();

    PlaceHiddenArrows();
    connect(ui->WShowWave, &CShowWave::SetMainPara, this, &CDlgMain::OnMainPara);

    // A passing word to the operator without a box to confirm; touches go
    // through to the fields below it.
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("lbNotice"));
    m_notice->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_notice->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_notice->setStyleSheet(m_fieldSheet + QLatin1String(kNoticeSheet));
    m_notice->hide();
    m_noticeTimer = new QTimer(this);
    m_noticeTimer->setObjectName(QStringLiteral("noticeTimer"));
    m_noticeTimer->setSingleShot(true);
    m_noticeTimer->setInterval(kNoticeMs);
    connect(m_noticeTimer, &QTimer::timeout, m_notice, &QWidget::hide);

    m_core->Clear();
    grabKeyboard();
    FocusCommand(ui->btnSet);
    ParamSet::CopyAcquisition(BackupParams(), CurrentParams());

    show();
    QCoreApplication::processEvents();
    m_linkDialog = new QDlgLink(m_link, this);
    m_linkDialog->SetShowingResult(true);
    m_linkDialog->show();
    m_link->Connect();
    // Asked once the screen runs, over the connection dialog.
    QTimer::singleShot(0, this, &CDlgMain::OfferRecovery);
}

CDlgMain::~CDlgMain()
{
    m_timer->stop();
    // The socket's farewell signals must not reach a screen that is going.
    m_link->DetachSocket();
    DeleteInstrumentSocket();
    delete m_linkDialog;
    m_linkDialog = nullptr;
}

CShowWave *CDlgMain::View() const
{
    return ui->WShowWave;
}

// --- look -------------------------------------------------------------------

void CDlgMain::ApplyColourScheme()
{
    const ParamSet &p = CurrentParams();
    const int theme = qBound(0, p.ColourTheme, kThemeCount - 1);
    const QColor &field = p.LabelThemeColours[theme];
    const QColor &command = p.ButtonThemeColours[theme];
    m_fieldSheet = QString::asprintf("text-align:left;background-color:rgb(%d, %d, %d);padding-left:3px;",
                                     field.red(), field.green(), field.blue());
    m_darkFields = IsDark(field);
    if (m_darkFields)
        m_fieldSheet += QLatin1String(kTextOnDark);
    for (QWidget *w : {ui->btnShow1, ui->btnShow2, ui->btnShow3, ui->btnShow4, ui->btnShow5,
                       ui->btnShow6, ui->btnShow7, ui->btnShow8, ui->btnShow9, ui->btnShow10})
        w->setStyleSheet(m_fieldSheet);
    m_dateSheet.clear();
    ShowDate();
    if (m_notice)
        m_notice->setStyleSheet(m_fieldSheet + QLatin1String(kNoticeSheet));

    const bool dark = IsDark(command);
    const QString commandSheet = QString::asprintf("QPushButton{background-color:rgb(%d, %d, %d);}",
                                                   command.red(), command.green(), command.blue())
                                 + (dark ? QLatin1String(kCommandsOnDark) : QLatin1String())
                                 + p.FocusStyleSheet + p.DisabledStyleSheet
                                 + (dark ? QLatin1String(kDisabledOnDark) : QLatin1String());
    for (QWidget *w : m_grid->Items())
        w->setStyleSheet(commandSheet);
}

void CDlgMain::ShowDate()
{
    const QDateTime now = CurrentPlatform().Now();
    const QString year = now.toString(QLatin1String(kYearFormat));
    const bool unset = year == QLatin1String(kUnsetYear) || year < QLatin1String(kFirstSetYear);
    ui->btnDate->setText(now.toString(QLatin1String(kDateFormat)));
    const QString colour = unset ? (m_darkFields ? QLatin1String(kUnsetDateOnDark) : QLatin1String("color:red"))
                                 : (m_darkFields ? QLatin1String("color:white") : QLatin1String("color:black"));
    const QString sheet = m_fieldSheet + colour;
    // Polishing a style sheet is not free; the colour changes once a year at most.
    if (sheet != m_dateSheet) {
        m_dateSheet = sheet;
        ui->btnDate->setStyleSheet(sheet);
    }
}

void CDlgMain::ShowBattery(int level)
{
    ui->lbBattery->setValue(qBound(0, level, kFullBattery));
    ui->lbBattery->setStyleSheet(BatterySheet(level));
}

void CDlgMain::PlaceHiddenArrows()
{
    // Over the right edge of the trace view, one above the other; hidden.
    layout()->activate();
    const QRect view = ui->WShowWave->geometry();
    const int x = view.right() - ui->btnUp->width();
    ui->btnUp->move(x, view.top());
    ui->btnDown->move(x, view.bottom() - ui->btnDown->height());
    ui->btnUp->hide();
    ui->btnDown->hide();
}

void CDlgMain::PlaceNotice()
{
    if (!m_notice)
        return;
    layout()->activate();
    m_notice->setGeometry(ui->btnShow6->geometry()
                              .united(ui->btnShow5->geometry())
                              .united(ui->btnShow4->geometry()));
}

void CDlgMain::ShowNotice(const QString &text)
{
    m_notice->setText(text);
    PlaceNotice();
    m_notice->show();
    m_notice->raise();
    m_noticeTimer->start();
}

void CDlgMain::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (m_notice && m_notice->isVisible())
        PlaceNotice();
}

void CDlgMain::FocusCommand(QWidget *button)
{
    m_grid->SetIndex(m_grid->IndexOf(button));
}

// --- what the core asks for -------------------------------------------------

void CDlgMain::RefreshButtons()
{
    const TraceStore &store = Store();
    ui->btnSet->setText(QStringLiteral("设置(M)"));
    ui->btnRead->setText(QStringLiteral("读盘(R)"));
    ui->btnAnalysis->setText(QStringLiteral("分析(A)"));
    ui->btnAutoCheck->setText(QStringLiteral("自检(C)"));
    ui->btnSample->setText(QStringLiteral("采样(S)"));
    ui->btnAdd->setText(store.StackingOn ? QStringLiteral("叠加中(D)") : QStringLiteral("叠加(D)"));
    ui->btnClear->setText(QStringLiteral("撤销(U)"));
    ui->btnSave->setText(QStringLiteral("保存(W)"));
    ui->btnUpLoad->setText(QStringLiteral("数据上传(L)"));
    ui->btnExit->setText(QStringLiteral("退出(Esc)"));

    const std::optional<CommandStates> s = CommandStatesFor(store.AcqState, !store.Traces[0].isEmpty(),
                                                                    m_core && m_core->PictureSaved());
    if (!s)
        return;
    if (s->SampleStops)
        ui->btnSample->setText(QStringLiteral("停止(S)"));
    ui->btnSet->setEnabled(s->Set);
    ui->btnRead->setEnabled(s->Read);
    ui->btnAnalysis->setEnabled(s->Analysis);
    ui->btnAutoCheck->setEnabled(s->AutoCheck);
    ui->btnMonitor->setEnabled(s->AutoCheck);
    ui->btnSample->setEnabled(s->Sample);
    ui->btnAdd->setEnabled(s->Add);
    ui->btnClear->setEnabled(s->Clear);
    ui->btnSave->setEnabled(s->Save);
    ui->btnExit->setEnabled(s->Exit);
    ui->btnUpLoad->setEnabled(s->UpLoad);
}

void CDlgMain::RefreshStatus()
{
    const ParamSet &p = CurrentParams();
    const RecordHeader &h = p.Header;
    ui->btnShow1->setText(LiteralCaption(QStringLiteral("P:%1").arg(h.ProjectName)));
    ui->btnShow2->setText(QStringLiteral("T:%1us").arg(double(h.SampleInterval), 0, 'g', 6));
    ui->btnShow3->setText(QStringLiteral("道距:%1m").arg(double(h.TraceSpacing), 0, 'f', 1));
    ui->btnShow5->setText(QStringLiteral("叠加:%1").arg(Store().StackCount));
    ui->btnShow6->setText(LiteralCaption(QStringLiteral("F:%1").arg(p.LastRecordName)));
    ui->btnShow7->setText(QStringLiteral("N:%1").arg(h.SampleLength));
    ui->btnShow8->setText(QStringLiteral("偏移距:%1m").arg(double(h.Offset), 0, 'f', 1));
}

void CDlgMain::OnMainPara(int CH, float time, float value)
{
    ui->btnShow4->setText(QStringLiteral("通道:%1").arg(CH));
    ui->btnShow9->setText(QStringLiteral("时间:%1ms").arg(double(time), 0, 'f', 2));
    ui->btnShow10->setText(CurrentParams().MeteringOn ? QString::asprintf("Vpp:%.3E", double(value))
                                                      : QString::asprintf("幅值:%.3E", double(value)));
}

void CDlgMain::CloseByAccept()
{
    accept();
}

void CDlgMain::HideBanner()
{
    ShowTitle(0);
}

void CDlgMain::ShowLinkFailure(const QString &text)
{
    if (!m_linkDialog)
        return;
    const bool wasShowing = m_linkDialog->IsShowingResult();
    m_linkDialog->ShowResult(text);
    if (!wasShowing)
        m_linkDialog->show();
}

void CDlgMain::CloseLinkDialog()
{
    if (m_linkDialog)
        m_linkDialog->CloseOnSuccess();
}

void CDlgMain::ShowMessage(const QString &text)
{
    ::ShowMessage(this, text);
}

void CDlgMain::ShowTitle(int state)
{
    ui->WShowWave->ShowTitle(state);
}

void CDlgMain::RebuildView()
{
    ui->WShowWave->SetRedraw(true);
    ui->WShowWave->repaint();
    ui->WShowWave->SetRedraw(false);
}

void CDlgMain::ResetView()
{
    ui->WShowWave->ResetView();
}

void CDlgMain::TriggerSeen()
{
    ui->btnSample->setEnabled(false);
}

void CDlgMain::SequenceEnded()
{
    grabKeyboard();
    FocusCommand(ui->btnSave);
}

void CDlgMain::Cleared()
{
    m_quality = QcReport();
    ui->WShowWave->SetChannelMarks({});
    RebuildView();
    RefreshStatus();
    ui->btnShow4->setText(QStringLiteral("通道:"));
    ui->btnShow9->setText(QStringLiteral("时间:"));
    ui->btnShow10->setText(QStringLiteral("幅值:"));
    RefreshButtons();
    ui->WShowWave->update();
}

bool CDlgMain::RunSelfCheck(InstrumentLink &link)
{
    const auto &selfCheck = Screens().SelfCheck;
    if (!selfCheck)
        return false;
    KeyboardGrabPause pause;
    return selfCheck(this, link);
}

void CDlgMain::SelfCheckEnded(bool settingsLocked)
{
    grabKeyboard();
    // Settings changed now would be taken for the self-check's and lost.
    if (settingsLocked)
        ui->btnSet->setEnabled(false);
}

RecordProgress *CDlgMain::ReadProgress()
{
    if (!m_readProgress)
        m_readProgress = std::make_unique<RecordProgressWindow>();
    return m_readProgress.get();
}

void CDlgMain::ShowStatusNote(const QString &text)
{
    // Over the fields, never in them: the record's name stays what it is.
    ShowNotice(text);
}

void CDlgMain::NewPicture()
{
    m_quality = CheckTracesOnScreen(CurrentParams());
    QVector<bool> marks(static_cast<int>(m_quality.Channels.size()));
    for (int c = 0; c < marks.size(); ++c)
        marks[c] = m_quality.Channels[static_cast<size_t>(c)].Flags != 0;
    ui->WShowWave->SetChannelMarks(marks);
    // Only a finding is worth the status line: a clean shot leaves the record
    // name there. Said once the shot's own status and notes (an automatic
    // save) are out, and beside such a note rather than over it.
    if (m_quality.FaultyCount() == 0)
        return;
    const QString summary = QcSummary(m_quality);
    QTimer::singleShot(0, this, [this, summary] {
        const QString note = m_notice->isVisible() ? m_notice->text() + QLatin1Char(' ') + summary : summary;
        ShowStatusNote(note);
    });
}

void CDlgMain::ShowQualityList()
{
    if (m_quality.Channels.empty()) {
        ShowMessage(QStringLiteral("质检：无数据"));
        return;
    }
    const QStringList details = QcDetails(m_quality);
    ShowMessage(details.isEmpty() ? QcSummary(m_quality)
                                  : QcSummary(m_quality) + QLatin1Char('\n') + details.join(QLatin1Char('\n')));
}

void CDlgMain::OfferRecovery()
{
    const std::optional<JournalEntry> entry = m_core->UnsavedJournalEntry();
    if (!entry || m_core->Busy())
        return;
    bool restore = false;
    {
        KeyboardGrabPause pause;
        CDlgMsgQuestion question(QString(), this);
        question.SetTexts(QStringLiteral("消息"), QStringLiteral("上次有未保存的数据，是否恢复？"), QStringLiteral("是"),
                          QStringLiteral("否"), QString());
        question.SetButtonFocus(0);
        restore = question.exec() == QDialog::Accepted;
    }
    if (restore)
        m_core->RestoreFromJournal(*entry);
    else
        m_core->DeclineRecovery(*entry);
}

// --- clock ------------------------------------------------------------------

void CDlgMain::UpdateTime()
{
    if (m_link->IsClosing()) {
        m_timer->stop();
        return;
    }
    ShowDate();
    const int level = m_core->PollTick();
    if (level >= 0)
        ShowBattery(level);
}

// --- commands ---------------------------------------------------------------

void CDlgMain::OpenTaskScreen(const std::function<void(QWidget *)> &screen)
{
    if (!screen)
        return;
    KeyboardGrabPause pause;
    screen(this);
}

bool CDlgMain::Ask(const QString &question)
{
    KeyboardGrabPause pause;
    CDlgMsgQuestion box(question, this);
    return box.exec() == QDialog::Accepted;
}

void CDlgMain::on_btnSample_clicked()
{
    m_core->Sample();
}

void CDlgMain::on_btnAdd_clicked()
{
    if (m_core->SequenceRunning())
        return;
    if (Store().StackingOn) {
        if (Ask(QStringLiteral("取消叠加后不能进行撤销且叠加次数清零，确定要取消叠加么？")))
            m_core->StopStacking();
    } else {
        std::array<bool, kMaxChannels> locks{}; // stacking straight away: nothing locked
        {
            KeyboardGrabPause pause;
            CDlgMsgQuestion question(QString(), this);
            question.SetTexts(QStringLiteral("消息"), QStringLiteral("是否进行通道锁道选择？"),
                              QStringLiteral("选择通道"), QStringLiteral("直接叠加"), QString());
            question.SetButtonFocus(0);
            if (question.exec() == QDialog::Accepted) {
                CDlgCHLock chooser(this);
                chooser.locks = Store().ChannelLocks;
                chooser.Refresh();
                chooser.exec();
                locks = chooser.locks;
            }
        }
        m_core->StartStacking(locks);
    }
    FocusCommand(ui->btnAdd);
}

void CDlgMain::on_btnClear_clicked()
{
    if (m_core->SequenceRunning())
        return;
    if (!m_core->CanUndo()) {
        if (Ask(QStringLiteral("无叠加数据可撤销，确定要清屏么？")))
            m_core->ClearScreen();
    } else if (Ask(QStringLiteral("确定要进行撤销么？"))) {
        m_core->UndoShot();
    }
}

void CDlgMain::on_btnSave_clicked()
{
    if (m_core->SequenceRunning())
        return;
    if (Store().Traces[0].isEmpty()) {
        ShowMessage(QStringLiteral("无数据可保存，请先采样数据！"));
        return;
    }
    QString name;
    {
        KeyboardGrabPause pause;
        QDlgKeyText pad(QStringLiteral("保存文件名:"), m_core->SuggestedName(), kMaxRecordNameLength, this);
        if (pad.exec() != QDialog::Accepted)
            return;
        name = pad.result;
    }
    m_core->Save(name);
}

void CDlgMain::on_btnRead_clicked()
{
    const auto &choose = Screens().ChooseRecord;
    if (m_core->SequenceRunning() || !choose)
        return;
    ParamSet &p = CurrentParams();
    RecordChoice choice;
    choice.Page = p.BrowserPage;
    choice.Sort = p.BrowserSort;
    {
        KeyboardGrabPause pause;
        if (!choose(this, choice))
            return;
    }
    m_core->Read(choice.Project, choice.File);
    p.BrowserPage = choice.Page;
    p.BrowserSort = choice.Sort;
}

void CDlgMain::on_btnAutoCheck_clicked()
{
    if (m_core->SequenceRunning())
        return;
    m_core->SelfCheck();
}

void CDlgMain::on_btnMonitor_clicked()
{
    // Whatever may open the self-check may open the monitor: neither leaves
    // a record or a shot's data behind, and both borrow the unit the same way.
    if (m_core->SequenceRunning() || !ui->btnMonitor->isEnabled())
        return;
    if (Store().LinkState != LinkUp) {
        m_link->onSockFailed();
        return;
    }
    if (m_core->Busy()) {
        ShowMessage(AcquisitionCore::BusyText());
        return;
    }
    {
        KeyboardGrabPause pause;
        CDlgNoiseMonitor monitor(this, *m_link);
        monitor.exec();
    }
    RefreshButtons();
    RebuildView();
    RefreshStatus();
}

void CDlgMain::on_btnSet_clicked()
{
    if (m_core->SequenceRunning())
        return;
    const ParamSet &p = CurrentParams();
    const bool metering = p.MeteringOn;
    const int channels = p.ChannelsInUse();
    OpenTaskScreen(Screens().Settings);
    m_core->ApplySettings();
    if (p.MeteringOn != metering)
        FitToDesktop(this);
    if (p.ChannelsInUse() != channels) {
        ui->WShowWave->SetPage(-1, -1); // all channels of the new count on one page
        RebuildView();
    }
}

void CDlgMain::on_btnAnalysis_clicked()
{
    if (m_core->SequenceRunning())
        return;
    OpenTaskScreen(Screens().Analysis);
    RebuildView();
}

void CDlgMain::on_btnUpLoad_clicked()
{
    const auto &upload = Screens().Upload;
    if (m_core->SequenceRunning() || !upload)
        return;
    std::optional<QString> sent;
    {
        KeyboardGrabPause pause;
        sent = upload(this);
    }
    if (sent)
        ShowNotice(QStringLiteral("上传成功:%1").arg(*sent));
}

void CDlgMain::on_btnExit_clicked()
{
    if (m_core->Busy()) {
        ShowMessage(QStringLiteral("操作正在进行中，暂时无法退出，请稍候再试！"));
        return;
    }
    if (!Ask(QStringLiteral("确定要退出吗？")))
        return;
    m_link->SetClosing(true);
    m_link->DetachSocket();
    ParamSet &p = CurrentParams();
    ParamSet::CopyAcquisition(p, BackupParams());
    p.BrowserPage = 1;
    p.BrowserSort = 1;
    accept();
}

void CDlgMain::on_btnShow1_clicked()
{
    ParamSet &p = CurrentParams();
    p.ColourTheme = (qBound(0, p.ColourTheme, kThemeCount - 1) + 1) % kThemeCount;
    ApplyColourScheme();
}

int CDlgMain::ChannelsPerPage() const
{
    // Before its first picture the view shows every channel on one page.
    const int perPage = ui->WShowWave->ChannelsPerPage();
    return perPage > 0 ? perPage : CurrentParams().ChannelsInUse();
}

void CDlgMain::on_btnShow4_clicked()
{
    const ParamSet &p = CurrentParams();
    if (!p.MeteringOn)
        return;
    int chosen = 0;
    {
        KeyboardGrabPause pause;
        QDlgKeyNum pad(QStringLiteral("通道显示数量:"), QString::number(ChannelsPerPage()), this);
        if (p.ChannelsInUse() == kMaxChannels)
            pad.SetChoices(QStringLiteral("24"), QStringLiteral("12"), QStringLiteral("6"));
        else
            pad.SetChoices(QStringLiteral("12"), QStringLiteral("6"));
        if (pad.exec() != QDialog::Accepted)
            return;
        chosen = pad.text.toInt();
    }
    if (chosen <= 0)
        return;
    ui->WShowWave->SetPage(chosen, 1);
    RebuildView();
}

void CDlgMain::on_btnShow5_clicked()
{
    const ParamSet &p = CurrentParams();
    if (!p.MeteringOn)
        return;
    const int perPage = ChannelsPerPage();
    int page = qMax(1, ui->WShowWave->Page()) + 1;
    if (page * perPage > p.ChannelsInUse())
        page = 1;
    ui->WShowWave->SetPage(perPage, page);
    RebuildView();
}

// --- keys -------------------------------------------------------------------

bool CDlgMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // The connection window is modeless and this screen holds the
        // keyboard: its keys (Enter, the arrows, Esc) go to it while it shows.
        if (m_linkDialog && m_linkDialog->isVisible() && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Left:
            case Qt::Key_Right:
            case Qt::Key_Escape:
                QCoreApplication::sendEvent(m_linkDialog, event);
                return true;
            default:
                break;
            }
        }
        const bool up = key->key() == Qt::Key_Up;
        if ((up || key->key() == Qt::Key_Down) && key->modifiers() == Qt::NoModifier) {
            if (CurrentParams().CurrentChannel > 0)
                ui->WShowWave->StepCursor(up ? -1 : 1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CDlgMain::keyPressEvent(QKeyEvent *event)
{
    // Enter, the arrows and the Alt letters are the focus grid's.
    if (event->key() == Qt::Key_Escape && ui->btnExit->isEnabled()) {
        on_btnExit_clicked();
        return;
    }
    // Alt+Q (质检): no command of the screen carries Q.
    if (event->key() == Qt::Key_Q && (event->modifiers() & Qt::AltModifier) && !m_core->Busy()) {
        ShowQualityList();
        return;
    }
    event->accept();
}
