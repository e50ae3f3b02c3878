#include "instrument/CDlgNoiseMonitor.h"

#include "dialogs/FocusGrid.h"
#include "dialogs/ScreenSetup.h"
#include "instrument/InstrumentLog.h"
#include "instrument/NoiseMonitorView.h"
#include "params/Preferences.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace {
/// Pause between the end of one record and the start of the next: the
/// screen repaints and the keys get their turn.
constexpr int kRoundGapMs = 5;
/// Weight of the newest round in the refresh rate shown.
constexpr double kRateWeight = 0.3;
constexpr double kMsPerSecond = 1000.0;
constexpr int kMargin = 2;
const char kBaseSheet[] =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 18px;}"
    "QPushButton{height:%1px;font: normal %2px \"yaheikr\";color: rgb(0, 0, 0);border-width: 2px;"
    "border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLabel{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;padding-left: 4px;}";
} // namespace

CDlgNoiseMonitor::CDlgNoiseMonitor(QWidget *parent, InstrumentLink &link)
    : QDialog(parent)
    , m_session(link)
{
    setObjectName(QStringLiteral("CDlgNoiseMonitor"));
    setWindowTitle(QStringLiteral("噪声监测"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kMargin);

    auto *texts = new QHBoxLayout;
    texts->setSpacing(kMargin);
    m_unit = new QLabel(this);
    m_unit->setObjectName(QStringLiteral("lbUnit"));
    m_threshold = new QLabel(this);
    m_threshold->setObjectName(QStringLiteral("lbThreshold"));
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("strStateInfo"));
    for (QLabel *l : {m_unit, m_threshold, m_state})
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    texts->addWidget(m_unit, 4);
    texts->addWidget(m_threshold, 6);
    texts->addWidget(m_state, 4);
    layout->addLayout(texts);

    m_view = new NoiseMonitorView(this);
    m_view->setObjectName(QStringLiteral("wNoiseView"));
    m_view->SetSession(&m_session);
    layout->addWidget(m_view, 1);

    auto *commands = new QHBoxLayout;
    commands->setSpacing(kMargin);
    for (QPushButton *b : {addButton(QStringLiteral("btnThresholdUp"), QStringLiteral("阈值升(U)")),
                           addButton(QStringLiteral("btnThresholdDown"), QStringLiteral("阈值降(D)")),
                           addButton(QStringLiteral("btnClearHold"), QStringLiteral("峰值清零(R)")),
                           addButton(QStringLiteral("btnExit"), QStringLiteral("退出(Esc)"))})
        commands->addWidget(b);
    layout->addLayout(commands);
    QMetaObject::connectSlotsByName(this);

    SetUpScreen(this, CommandButtonsLook(kBaseSheet));
    m_grid = new FocusGrid(this, m_buttons);
    m_grid->SetIgnoreTab(true);
    m_grid->SetIndex(0);

    m_session.Meter().SetThresholdDb(CurrentPreferences().MonitorThresholdDb);
    m_session.Round().SetStateTextListener([this](const QString &) { showTexts(); });
    showTexts();

    Store().LinkActive = true;
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(kRoundGapMs);
    connect(m_timer, &QTimer::timeout, this, &CDlgNoiseMonitor::UpdateTime);
    m_timer->start();
}

CDlgNoiseMonitor::~CDlgNoiseMonitor() = default;

QPushButton *CDlgNoiseMonitor::addButton(const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    m_buttons << b;
    return b;
}

QString CDlgNoiseMonitor::ThresholdNotSavedText()
{
    return QStringLiteral("阈值未能保存！");
}

void CDlgNoiseMonitor::UpdateTime()
{
    if (m_session.Finished() || m_session.RoundRunning())
        return;
    const SelfCheckOutcome outcome = m_session.RunRound();
    if (m_session.Finished())
        return;
    if (outcome == SelfCheckOutcome::Complete) {
        if (m_sinceLast.isValid()) {
            const double rate = kMsPerSecond / std::max<qint64>(1, m_sinceLast.restart());
            m_rate = m_rate > 0.0 ? m_rate + kRateWeight * (rate - m_rate) : rate;
        } else {
            m_sinceLast.start();
        }
        m_note.clear();
    }
    showTexts();
    m_view->update();
    if (outcome == SelfCheckOutcome::Complete)
        emit RoundShown();
    // A failed round is followed by the next one as well: the link reports
    // its own loss, and a unit that comes back is monitored again.
    m_timer->start();
}

void CDlgNoiseMonitor::showTexts()
{
    const monitor::NoiseMeter &meter = m_session.Meter();
    const monitor::UnitChoice &unit = m_session.Unit();
    m_unit->setText(unit.Note());
    const double db = meter.ThresholdDb();
    m_threshold->setText(QStringLiteral("阈值:%1dB=%2%3 超限%4道")
                             .arg(db, 0, 'f', 0)
                             .arg(std::pow(10.0, db / 20.0), 0, 'g', 3)
                             .arg(unit.Symbol())
                             .arg(meter.ChannelsAbove()));
    QString state = m_session.Round().StateText();
    if (state.isEmpty())
        state = m_note;
    if (state.isEmpty() && m_rate > 0.0)
        state = QStringLiteral("刷新:%1次/秒").arg(m_rate, 0, 'f', 1);
    m_state->setText(state);
}

void CDlgNoiseMonitor::setThreshold(double db)
{
    monitor::NoiseMeter &meter = m_session.Meter();
    meter.SetThresholdDb(db);
    Preferences &prefs = CurrentPreferences();
    prefs.MonitorThresholdDb = meter.ThresholdDb();
    m_note = prefs.Save() ? QString() : ThresholdNotSavedText();
    showTexts();
    m_view->update();
}

void CDlgNoiseMonitor::on_btnThresholdUp_clicked()
{
    setThreshold(m_session.Meter().ThresholdDb() + kThresholdStepDb);
}

void CDlgNoiseMonitor::on_btnThresholdDown_clicked()
{
    setThreshold(m_session.Meter().ThresholdDb() - kThresholdStepDb);
}

void CDlgNoiseMonitor::on_btnClearHold_clicked()
{
    m_session.Meter().ClearPeakHold();
    m_view->update();
}

void CDlgNoiseMonitor::on_btnExit_clicked()
{
    reject();
}

void CDlgNoiseMonitor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    event->accept();
}

void CDlgNoiseMonitor::done(int result)
{
    m_timer->stop();
    // Inside a round this only cuts it short; the unit gets the operator's
    // frame once the round has returned, before the screen's loop ends.
    m_session.Finish();
    releaseKeyboard();
    QDialog::done(result);
}
