// The per-row drawing of a trace against the segment-by-segment reference,
// pixel for pixel, on records chosen to hit every branch of the run and lobe
// logic: dense and sparse rows, single-sample spikes, clipping, flat, negative,
// short and empty traces, damaged samples (NaN, infinities), shifted and
// windowed views.

#include "ReferenceTrace.h"
#include "display/CShowWave.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "support/TestProgramDir.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>
#include <cmath>
#include <limits>

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 460;
const QColor kBackground(255, 255, 255);

QImage Render(wave::TraceDrawer draw, const wave::TraceJob &job)
{
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    img.fill(kBackground);
    QPainter p(&img);
    draw(p, job);
    return img;
}

int DifferentPixels(const QImage &a, const QImage &b, QPoint *firstAt = nullptr)
{
    int diff = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *la = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *lb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (la[x] != lb[x]) {
                if (diff == 0 && firstAt)
                    *firstAt = QPoint(x, y);
                ++diff;
            }
        }
    }
    return diff;
}

QVector<float> Record(int kind, int n, QRandomGenerator &rng)
{
    QVector<float> v(n);
    for (int i = 0; i < n; ++i) {
        const double r = rng.generateDouble() * 2.0 - 1.0;
        switch (kind) {
        case 0: v[i] = static_cast<float>(r); break;                               // noise
        case 1: v[i] = (i % 97 == 0) ? static_cast<float>(r * 50.0) : static_cast<float>(r * 0.01); break; // spikes
        case 2: v[i] = 0.25f; break;                                                 // flat
        case 3: v[i] = static_cast<float>(std::sin(i * 0.01) * 3.0 + r * 0.2); break; // surface wave, clipped
        case 4: v[i] = -std::fabs(static_cast<float>(r)); break;                    // all negative
        case 5: v[i] = static_cast<float>(std::sin(i * 0.7) * std::exp(-i * 0.0005)); break;
        case 7: // a damaged record: NaN and infinities among ordinary samples
            v[i] = (i % 13 == 5)   ? std::numeric_limits<float>::quiet_NaN()
                   : (i % 29 == 3) ? std::numeric_limits<float>::infinity()
                   : (i % 31 == 7) ? -std::numeric_limits<float>::infinity()
                                   : static_cast<float>(std::sin(i * 0.05) + r * 0.3);
            break;
        default: v[i] = 0.0f; break;
        }
    }
    return v;
}

} // namespace

class TstTraceDrawing : public QObject
{
    Q_OBJECT
private slots:
    void sameAsReference_data();
    void sameAsReference();
    void nothingOutsideTheVector();
    void randomRecordsSameAsReference();
    void viewSameAsReference_data();
    void viewSameAsReference();
};

void TstTraceDrawing::sameAsReference_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("windowStart");
    QTest::addColumn<int>("windowLength");
    QTest::addColumn<int>("firstJ");
    QTest::addColumn<float>("scale");
    QTest::addColumn<int>("shift");
    QTest::addColumn<bool>("fill");

    const int kinds = 8;
    const struct { int n, ws, wl; } windows[] = {
        {16384, 0, 16384}, {1024, 0, 1024}, {200, 0, 1024}, {2, 0, 16}, {1, 0, 16},
        {0, 0, 16}, {4096, 1000, 500}, {300, 0, 100}, {16384, 16000, 2048}, {50, 0, 50},
    };
    const float scales[] = {20.0f, 400.0f, 2.0f};
    const int shifts[] = {0, 37, -60};
    int id = 0;
    for (int k = 0; k < kinds; ++k) {
        for (const auto &w : windows) {
            for (int si = 0; si < 3; ++si) {
                for (int f = 0; f < 2; ++f) {
                    QTest::addRow("k%d n%d ws%d wl%d s%d f%d #%d", k, w.n, w.ws, w.wl, si, f, id)
                        << k << w.n << w.ws << w.wl << ((id % 2) ? 0 : 1) << scales[si] << shifts[si]
                        << (f == 1);
                    ++id;
                }
            }
        }
    }
}

void TstTraceDrawing::sameAsReference()
{
    QFETCH(int, kind);
    QFETCH(int, count);
    QFETCH(int, windowStart);
    QFETCH(int, windowLength);
    QFETCH(int, firstJ);
    QFETCH(float, scale);
    QFETCH(int, shift);
    QFETCH(bool, fill);

    QRandomGenerator rng(static_cast<quint32>(kind * 1000 + count + windowStart));
    const QVector<float> v = Record(kind, count, rng);

    wave::TraceJob job;
    job.Samples = v.constData();
    job.Count = v.size();
    job.WindowStart = windowStart;
    job.WindowLength = windowLength;
    job.FirstJ = firstJ;
    job.Scale.Centre = 200.5f;
    job.Scale.Scale = scale;
    job.Scale.Shift = shift;
    job.PlotTop = 2;
    job.Pitch = static_cast<float>(kHeight - 40) / windowLength;
    job.Fill = fill;
    job.FillColour = QColor(0, 0, 0);
    job.Line = fill ? QColor(255, 0, 0) : QColor(0, 0, 0);

    const QImage ref = Render(&DrawTraceReference, job);
    const QImage fast = Render(&wave::DrawTrace, job);
    QPoint at;
    const int diff = DifferentPixels(ref, fast, &at);
    if (diff != 0) {
        ref.save(QStringLiteral("ref_%1.png").arg(QTest::currentDataTag()).replace(' ', '_'));
        fast.save(QStringLiteral("fast_%1.png").arg(QTest::currentDataTag()).replace(' ', '_'));
    }
    QVERIFY2(diff == 0, qPrintable(QStringLiteral("%1 pixels differ, first at (%2, %3)")
                                       .arg(diff).arg(at.x()).arg(at.y())));
}

void TstTraceDrawing::nothingOutsideTheVector()
{
    // A window reaching past both ends of a short vector draws only what
    // the vector holds; reading outside it would be caught by the sanitiser
    // builds and shows here as a trace longer than its data.
    QVector<float> v = {1.0f, -1.0f, 1.0f, -1.0f};
    wave::TraceJob job;
    job.Samples = v.constData();
    job.Count = v.size();
    job.WindowStart = -3;
    job.WindowLength = 100;
    job.FirstJ = 0;
    job.Scale.Centre = 100.0f;
    job.Scale.Scale = 10.0f;
    job.PlotTop = 0;
    job.Pitch = 4.0f;
    QCOMPARE(job.FirstSegment(), 3);
    QCOMPARE(job.LastSegment(), 4 - 2 + 3);
    const QImage img = Render(&wave::DrawTrace, job);
    int lowest = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != kBackground.rgb())
                lowest = y;
    // Samples 0…3 sit at window rows 3…6, 4 pixels apart.
    QCOMPARE(lowest, 6 * 4);
}

void TstTraceDrawing::randomRecordsSameAsReference()
{
    // Many small random cases reach corners the named ones miss: lobes of one
    // sample, rows holding a whole lobe, steps across the column, zeros.
    QRandomGenerator rng(20261207);
    int failures = 0;
    QString first;
    for (int iter = 0; iter < 400; ++iter) {
        const int n = rng.bounded(0, 3000);
        QVector<float> v(n);
        const int kind = rng.bounded(0, 5);
        float walk = 0.0f;
        for (int i = 0; i < n; ++i) {
            const float r = static_cast<float>(rng.generateDouble() * 2.0 - 1.0);
            switch (kind) {
            case 0: v[i] = r; break;
            case 1: walk += r * 0.1f; v[i] = walk; break;
            case 2: v[i] = (rng.bounded(0, 20) == 0) ? r * 40.0f : 0.0f; break;
            case 3: v[i] = static_cast<float>(std::sin(i * 0.05)) + r * 0.3f; break;
            default: v[i] = static_cast<float>(rng.bounded(-2, 3)); break;
            }
        }
        wave::TraceJob job;
        job.Samples = v.constData();
        job.Count = n;
        job.WindowStart = rng.bounded(-5, 200);
        job.WindowLength = rng.bounded(1, 4000);
        job.FirstJ = rng.bounded(0, 2);
        job.Scale.Centre = static_cast<float>(rng.bounded(150, 270) + rng.generateDouble());
        job.Scale.Scale = static_cast<float>(std::pow(10.0, rng.generateDouble() * 4.0 - 1.0));
        job.Scale.Shift = rng.bounded(-60, 61);
        job.PlotTop = rng.bounded(0, 10);
        job.Pitch = static_cast<float>(rng.bounded(50, kHeight - 20)) / job.WindowLength;
        job.Fill = rng.bounded(0, 4) != 0;
        job.FillColour = rng.bounded(0, 2) ? QColor(0, 0, 0) : QColor(0, 0, 200);
        job.Line = rng.bounded(0, 2) ? QColor(0, 0, 0) : QColor(255, 0, 0);
        const QImage ref = Render(&DrawTraceReference, job);
        const QImage fast = Render(&wave::DrawTrace, job);
        QPoint at;
        const int diff = DifferentPixels(ref, fast, &at);
        if (diff != 0) {
            if (failures == 0)
                first = QStringLiteral("case %1: %2 pixels, first at (%3, %4)")
                            .arg(iter).arg(diff).arg(at.x()).arg(at.y());
            ++failures;
        }
    }
    QVERIFY2(failures == 0, qPrintable(QStringLiteral("%1 cases differ; %2").arg(failures).arg(first)));
}

void TstTraceDrawing::viewSameAsReference_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("perPage");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("gain");
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("common");
    QTest::addColumn<int>("current");
    QTest::addColumn<bool>("analysis");
    QTest::addColumn<bool>("fillIsBackground");
    QTest::addColumn<bool>("selfCheck");

    QTest::newRow("full 1280x800") << 1280 << 800 << 16384 << -1 << -1 << 0 << 0 << 0 << 5 << false << false << false;
    QTest::newRow("full 800x480") << 800 << 480 << 16384 << -1 << -1 << 0 << 0 << 0 << 1 << false << false << false;
    QTest::newRow("page 2 of 12") << 800 << 480 << 4096 << 12 << 2 << 0 << 0 << 0 << 14 << false << false << false;
    QTest::newRow("gain 4 clipped") << 1280 << 800 << 2048 << -1 << -1 << 4 << 0 << 0 << 24 << false << false << false;
    QTest::newRow("common scale") << 800 << 480 << 1024 << -1 << -1 << 0 << 0 << 1 << 3 << false << false << false;
    QTest::newRow("fill is background") << 800 << 480 << 8192 << -1 << -1 << 1 << 0 << 0 << 2 << false << true << false;
    QTest::newRow("self-check halves") << 800 << 480 << 512 << -1 << -1 << 0 << 0 << 0 << 0 << false << false << true;
    QTest::newRow("analysis window shifted") << 1280 << 800 << 16384 << 6 << 3 << 2 << 25 << 0 << 15 << true << false << false;
    QTest::newRow("analysis gain 10") << 800 << 480 << 1024 << -1 << -1 << 10 << -40 << 1 << 9 << true << false << false;
    QTest::newRow("few samples") << 800 << 480 << 40 << -1 << -1 << 0 << 0 << 0 << 7 << false << false << false;
}

void TstTraceDrawing::viewSameAsReference()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, samples);
    QFETCH(int, perPage);
    QFETCH(int, page);
    QFETCH(int, gain);
    QFETCH(int, shift);
    QFETCH(int, common);
    QFETCH(int, current);
    QFETCH(bool, analysis);
    QFETCH(bool, fillIsBackground);
    QFETCH(bool, selfCheck);

    TestProgramDir dir;
    ParamSet &ps = CurrentParams();
    ps.Header.ChannelCount = 24;
    ps.Header.SampleLength = samples;
    ps.Header.SampleInterval = 250.0f;
    ps.CurrentChannel = current;
    ps.Colours.Background = QColor(255, 255, 240);
    ps.Colours.Baseline = QColor(0, 160, 0);
    ps.Colours.Fill = fillIsBackground ? ps.Colours.Background : QColor(0, 0, 128);
    Store().SelfCheckShown = selfCheck;
    Store().AcqState = AcqSampled;

    // Every kind of record across the channels, including short and empty vectors.
    QRandomGenerator rng(static_cast<quint32>(samples + width));
    for (int c = 0; c < 24; ++c) {
        const int kind = c % 7;
        int n = samples;
        if (c % 5 == 3)
            n = samples / 3;
        if (c == 22)
            n = 0;
        if (c == 23)
            n = 1;
        Store().Traces[c] = Record(kind, n, rng);
    }

    auto render = [&](wave::TraceDrawer drawer) {
        CShowWave view;
        view.resize(width, height);
        view.SetTraceDrawer(drawer);
        view.SetPage(perPage, page);
        if (analysis) {
            view.SetMode(CShowWave::AnalysisMode);
            view.SetWindow(samples / 4, samples / 2);
            view.SetCursorSample(samples / 3);
        }
        view.SetGainExponent(gain);
        view.SetShift(shift);
        view.SetCommonScale(common);
        view.SetCursor(analysis ? width / 2 : 0, analysis ? 100 : 0);
        ps.CurrentChannel = current;
        return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QImage ref = render(&DrawTraceReference);
    const QImage fast = render(&wave::DrawTrace);
    QPoint at;
    const int diff = DifferentPixels(ref, fast, &at);
    if (diff != 0) {
        ref.save(QStringLiteral("view_ref.png"));
        fast.save(QStringLiteral("view_fast.png"));
    }
    QVERIFY2(diff == 0, qPrintable(QStringLiteral("%1 pixels differ, first at (%2, %3)")
                                       .arg(diff).arg(at.x()).arg(at.y())));
}

QTEST_MAIN(TstTraceDrawing)
#include "tst_tracedrawing.moc"
