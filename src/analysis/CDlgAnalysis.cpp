#include "analysis/CDlgAnalysis.h"
#include "ui_CDlgAnalysis.h"

#include "analysis/AnalysisLog.h"
#include "analysis/AnalysisScreens.h"
#include "analysis/CDlgPingPu.h"
#include "analysis/CDlgSetFilt.h"
#include "analysis/DigitalFilter.h"
#include "dialogs/FocusGrid.h"
#include "dialogs/ScreenSetup.h"
#include "dialogs/TaskScreens.h"
#include "display/CShowWave.h"
#include "params/ParamSet.h"

#include <QIcon>
#include <QKeyEvent>
#include <algorithm>
#include <limits>

namespace {

const QString kMaxGainText = QStringLiteral("<font color=red><b>已达到最大范围！</b></font>");
const QString kMinGainText = QStringLiteral("<font color=red><b>已达到最小范围！</b></font>");

// The arrow buttons sit over the right edge of the trace view.
constexpr int kArrowWidth = 60;
constexpr int kArrowHeight = 100;
constexpr int kArrowInset = 63;       // left edge, from the view's right edge
constexpr int kDownArrowLift = 139;   // top of the lower button, above the view's bottom edge
constexpr int kArrowIconMargin = 8;
// The time scale and the traces keep clear of the arrows by this much, so
// that neither hides the other.
constexpr int kArrowClearance = 3;

// Scrolling moves the window by a tenth of its length.
constexpr int kScrollDivisor = 10;

} // namespace

CDlgAnalysis::CDlgAnalysis(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgAnalysis>())
{
    ui->setupUi(this);
    CShowWave *view = ui->wShowWaveAna;
    view->SetMode(CShowWave::AnalysisMode);
    // The view opens reset: balanced, gain 0, no shift, the whole record,
    // every channel on one page.
    view->SetWindow(0, CurrentParams().SampleLengthInUse());

    // The arrows belong to the view so that they follow it when it is resized.
    for (QPushButton *arrow : {ui->btnUp, ui->btnDown}) {
        arrow->setParent(view);
        arrow->setIconSize(QSize(kArrowWidth - kArrowIconMargin, kArrowHeight - kArrowIconMargin));
    }
    ui->btnUp->setIcon(QIcon(QStringLiteral(":/images/up.png")));
    ui->btnDown->setIcon(QIcon(QStringLiteral(":/images/down.png")));
    view->SetRightReserve(kArrowInset + kArrowClearance);
    view->installEventFilter(this);

    SetUpScreen(this, AnalysisScreenLook());

    const int channels = CurrentParams().ChannelsInUse();
    for (int c = 0; c < channels; ++c)
        m_backup[c] = Store().Traces[c];
    m_backupCount = channels;

    ui->btnDispersion->setVisible(bool(Screens().Dispersion));
    m_grid = new FocusGrid(this, {ui->btnCHAVG, ui->btnSmall, ui->btnBig, ui->btnHAdd, ui->btnHMinus,
                                  ui->btnMoveLeft, ui->btnMoveRight, ui->btnFilt, ui->btnPingPu,
                                  ui->btnDispersion, ui->btnExit});
    m_grid->SetSkipUnavailable(true);
    m_grid->SetIgnoreTab(true);
    // Up and Down move the cursor, not the focus: this filter is installed
    // after the grid's and therefore sees the keys first.
    installEventFilter(this);
    for (QWidget *item : m_grid->Items())
        item->installEventFilter(this);
    m_grid->SetIndex(0);

    PlaceArrowButtons();
    Rebuild();
}

CDlgAnalysis::~CDlgAnalysis()
{
    // A parent that goes takes this screen with it: the record must not stay filtered.
    RestoreRecord();
}

CShowWave *CDlgAnalysis::View() const
{
    return ui->wShowWaveAna;
}

void CDlgAnalysis::RestoreRecord()
{
    if (m_restored)
        return;
    m_restored = true;
    for (int c = 0; c < m_backupCount; ++c)
        Store().Traces[c] = m_backup[c];
}

void CDlgAnalysis::done(int result)
{
    // Esc, a close from outside and the exit button all end here.
    RestoreRecord();
    QDialog::done(result);
}

void CDlgAnalysis::Rebuild()
{
    CShowWave *view = ui->wShowWaveAna;
    view->SetRedraw(true);
    view->repaint();
    view->SetRedraw(false);
}

template <typename Run>
void CDlgAnalysis::RunChild(Run run)
{
    {
        KeyboardGrabPause pause;
        run();
    }
    m_grid->Refresh();
}

void CDlgAnalysis::on_btnCHAVG_clicked()
{
    CShowWave *view = ui->wShowWaveAna;
    view->SetCommonScale(view->CommonScale() == 0 ? 1 : 0);
    view->SetGainExponent(0);
    Rebuild();
}

void CDlgAnalysis::on_btnBig_clicked()
{
    CShowWave *view = ui->wShowWaveAna;
    if (view->GainExponent() >= kMaxGainExponent) {
        ShowMessage(this, kMaxGainText);
        m_grid->Refresh();
        return;
    }
    view->SetGainExponent(view->GainExponent() + 1);
    Rebuild();
}

void CDlgAnalysis::on_btnSmall_clicked()
{
    CShowWave *view = ui->wShowWaveAna;
    if (view->GainExponent() <= 0) {
        ShowMessage(this, kMinGainText);
        m_grid->Refresh();
        return;
    }
    view->SetGainExponent(view->GainExponent() - 1);
    Rebuild();
}

void CDlgAnalysis::on_btnHAdd_clicked()
{
    CShowWave *view = ui->wShowWaveAna;
    view->SetWindow(view->WindowStart(), std::max(view->WindowLength() - kWindowStep, kWindowStep));
    Rebuild();
}

void CDlgAnalysis::on_btnHMinus_clicked()
{
    CShowWave *view = ui->wShowWaveAna;
    const int length = view->WindowLength();
    const int longest = std::numeric_limits<int>::max() - kWindowStep;
    view->SetWindow(view->WindowStart(), std::min(length, longest) + kWindowStep);
    Rebuild();
}

void CDlgAnalysis::on_btnDown_clicked()
{
    CShowWave *view = ui->wShowWaveAna;
    const int length = view->WindowLength();
    if (length > CurrentParams().SampleLengthInUse())
        return;
    view->SetWindow(std::max(view->WindowStart() - length / kScrollDivisor, 0), length);
    Rebuild();
}

void CDlgAnalysis::on_btnUp_clicked()
{
    CShowWave *view = ui->wShowWaveAna;
    const int length = view->WindowLength();
    const int samples = CurrentParams().SampleLengthInUse();
    if (length > samples)
        return;
    view->SetWindow(std::min(view->WindowStart() + length / kScrollDivisor, samples - length), length);
    Rebuild();
}

void CDlgAnalysis::on_btnMoveLeft_clicked()
{
    CShowWave *view = ui->wShowWaveAna;
    view->SetShift(view->Shift() + 1);
    Rebuild();
}

void CDlgAnalysis::on_btnMoveRight_clicked()
{
    CShowWave *view = ui->wShowWaveAna;
    view->SetShift(view->Shift() - 1);
    Rebuild();
}

void CDlgAnalysis::on_btnFilt_clicked()
{
    bool accepted = false;
    RunChild([&] {
        CDlgSetFilt filter(this);
        accepted = filter.exec() == QDialog::Accepted;
    });
    bool dropped = false;
    if (accepted) {
        const FilterSettings settings = CurrentFilterSettings();
        qCDebug(lcAnalysis) << "filter: low-pass" << settings.LowPassHz << "Hz, high-pass" << settings.HighPassHz << "Hz";
        WithoutLimitsBeyondNyquist(settings, &dropped);
        FilterTraces(Store().Traces.data(), m_backupCount, settings);
    }
    Rebuild();
    // Said over the traces as the filter left them, so that the operator sees
    // what the message is about.
    if (dropped) {
        ShowMessage(this, LimitBeyondNyquistText());
        m_grid->Refresh();
    }
}

void CDlgAnalysis::on_btnPingPu_clicked()
{
    TraceStore &store = Store();
    for (int c = 0; c < m_backupCount; ++c)
        store.PreviousTraces[c] = store.Traces[c];
    RunChild([this] {
        CDlgPingPu spectrum(this);
        spectrum.exec();
    });
    Rebuild();
}

void CDlgAnalysis::on_btnDispersion_clicked()
{
    const auto &dispersion = Screens().Dispersion;
    if (!dispersion)
        return;
    // The dispersion screen reads the traces on screen as they are now; what
    // it does with them must not reach the record this screen hands back.
    TraceSet shown = Store().Traces;
    RunChild([&] { dispersion(this); });
    Store().Traces = shown;
    Rebuild();
}

void CDlgAnalysis::on_btnExit_clicked()
{
    RestoreRecord();
    reject();
}

void CDlgAnalysis::StepCursor(int delta)
{
    if (CurrentParams().CurrentChannel < 1)
        return;
    CShowWave *view = ui->wShowWaveAna;
    const int last = std::max(CurrentParams().SampleLengthInUse() - 1, 0);
    view->SetCursorSample(std::clamp(view->CursorSample() + delta, 0, last));
    view->update();
}

void CDlgAnalysis::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        if (ui->btnExit->isEnabled())
            on_btnExit_clicked();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CDlgAnalysis::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->wShowWaveAna && event->type() == QEvent::Resize)
        PlaceArrowButtons();
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            StepCursor(key == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CDlgAnalysis::PlaceArrowButtons()
{
    const QWidget *view = ui->wShowWaveAna;
    const int left = view->width() - kArrowInset;
    ui->btnUp->setGeometry(left, 0, kArrowWidth, kArrowHeight);
    ui->btnDown->setGeometry(left, view->height() - kDownArrowLift, kArrowWidth, kArrowHeight);
}
