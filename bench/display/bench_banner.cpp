// The banner's cost while a shot is awaited: processor time of one animation
// step (the ring's square repainted, with the trace view beneath it), for the
// banner and for the straightforward drawing kept with the tests, on an
// 800x480 view. Two pictures lie under it: the emptied one of an ordinary
// trigger wait, and the record kept on screen while stacking, whose current
// channel the view draws in red on every paint.
// Usage: bench_banner [frames]   (default 250, ten seconds of animation)

#include "BenchUtil.h"
#include "ReferenceBanner.h"
#include "display/CShowWave.h"
#include "display/SampleTitleWidget.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include <QApplication>
#include <QPainter>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kDefaultFrames = 250;
constexpr int kFramesPerSecond = 25;
constexpr int kStepMs = 40;
constexpr int kTurnMs = 1000;
constexpr int kChannels = 24;
constexpr int kSamples = 16384;
constexpr QSize kViewSize(800, 480);

/// Stands where the banner stands and paints it the straightforward way.
class ReferenceBannerWidget : public QWidget
{
public:
    ReferenceBannerWidget(QWidget *parent, const SampleTitleWidget &banner)
        : QWidget(parent)
        , m_message(banner.Message())
    {
        setGeometry(banner.geometry());
    }
    void Step()
    {
        m_clock = (m_clock + kStepMs) % kTurnMs;
        update(0, 0, height(), height());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        DrawBannerReference(p, size(), true, m_clock, m_message, p.font());
    }

private:
    QString m_message;
    int m_clock = 0;
};

/// Processor time per animation step in ms, each step painted as the event loop paints it.
template <typename Step>
double PerFrameMs(int frames, Step step)
{
    const double c0 = bench::ThreadCpuMs();
    for (int i = 0; i < frames; ++i) {
        step();
        QCoreApplication::processEvents();
    }
    return (bench::ThreadCpuMs() - c0) / frames;
}

void Report(const char *what, double ms)
{
    std::printf("    %-26s %7.3f ms per step = %6.3f %% of one core\n", what, ms,
                100.0 * ms * kFramesPerSecond / 1000.0);
}

void Run(CShowWave &view, const char *picture, int frames)
{
    // As the acquisition screen does when a shot starts: rebuild while sampling.
    view.SetRedraw(true);
    view.repaint();
    view.SetRedraw(false);
    view.ShowTitle(SampleTitleWidget::WaitingForTrigger);
    SampleTitleWidget *banner = view.Banner();
    QCoreApplication::processEvents();
    const double own = PerFrameMs(frames, [&] { banner->DoAnimate(); });

    ReferenceBannerWidget reference(&view, *banner);
    view.ShowTitle(SampleTitleWidget::Hidden);
    reference.show();
    QCoreApplication::processEvents();
    const double straight = PerFrameMs(frames, [&] { reference.Step(); });
    reference.hide();

    std::printf("%s\n", picture);
    Report("banner", own);
    Report("straightforward drawing", straight);
}

} // namespace

int main(int argc, char **argv)
{
    bench::OffscreenUnlessSet();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int frames = args.size() > 1 ? qMax(1, args[1].toInt()) : kDefaultFrames;

    ParamSet &ps = CurrentParams();
    ps.Header.ChannelCount = kChannels;
    ps.Header.SampleLength = kSamples;
    ps.CurrentChannel = 1;
    TraceStore &st = Store();
    st.AcqState = AcqSampling;

    CShowWave view;
    view.resize(kViewSize);
    view.show();
    QCoreApplication::processEvents();
    std::printf("banner animation step on a %dx%d trace view, %d steps, processor time of the GUI thread\n",
                kViewSize.width(), kViewSize.height(), frames);
    Run(view, "  emptied picture (trigger wait)", frames);

    for (int c = 0; c < kChannels; ++c) {
        QVector<float> v(kSamples);
        for (int i = 0; i < kSamples; ++i)
            v[i] = static_cast<float>(100.0 * std::sin(i * (0.01 + 0.001 * c)));
        st.Traces[static_cast<size_t>(c)] = v;
    }
    Run(view, "  record kept while stacking", frames);
    return 0;
}
