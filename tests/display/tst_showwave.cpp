// The trace view on rendered pixels: what the operator sees for the cases
// where a wrong column, a wrong scale or a missed rule would show.

#include "display/CShowWave.h"
#include "display/SampleTitleWidget.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "support/TestProgramDir.h"

#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QColor kGreyBackground(200, 200, 200);

QImage Render(CShowWave &view)
{
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void SendMouse(CShowWave &view, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseMove ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(at), view.mapToGlobal(QPointF(at)),
                  type == QEvent::MouseMove ? Qt::NoButton : button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &e);
}

// Half the samples +1, half −1: one long positive lobe on top.
QVector<float> Square(int n)
{
    QVector<float> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = i < n / 2 ? 1.0f : -1.0f;
    return v;
}

QVector<float> Ramp(int n)
{
    QVector<float> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = static_cast<float>(i);
    return v;
}

int CountColour(const QImage &img, const QRect &r, QRgb colour)
{
    int count = 0;
    const QRect c = r.intersected(img.rect());
    for (int y = c.top(); y <= c.bottom(); ++y)
        for (int x = c.left(); x <= c.right(); ++x)
            count += img.pixel(x, y) == colour ? 1 : 0;
    return count;
}

// Outermost x of a colour over the plot rows, or −1.
int Rightmost(const QImage &img, QRgb colour, int fromX, int toX, int top, int bottom)
{
    int best = -1;
    for (int y = top; y <= bottom; ++y)
        for (int x = fromX; x <= toX; ++x)
            if (img.pixel(x, y) == colour && x > best)
                best = x;
    return best;
}

int Leftmost(const QImage &img, QRgb colour, int fromX, int toX, int top, int bottom)
{
    int best = -1;
    for (int y = top; y <= bottom; ++y)
        for (int x = fromX; x <= toX; ++x)
            if (img.pixel(x, y) == colour && (best < 0 || x < best))
                best = x;
    return best;
}

void SetRecord(int channels, int samples, float intervalUs = 1000.0f)
{
    ParamSet &ps = CurrentParams();
    ps.Header.ChannelCount = channels;
    ps.Header.SampleLength = samples;
    ps.Header.SampleInterval = intervalUs;
}

} // namespace

class TstShowWave : public QObject
{
    Q_OBJECT
private slots:
    void pageTwoOfTwelve();
    void pressOnABoundarySelectsTheLeftColumn();
    void pressesAreIgnoredWhenIdleOrSampling();
    void deflectionsClipAt150();
    void flatNegativeTraceAtTheClipLimit();
    void allZeroTraceLiesOnTheBaseline();
    void fillEqualToBackgroundFillsNothing();
    void colourOutsideThePaletteDrawsItsDefault_data();
    void colourOutsideThePaletteDrawsItsDefault();
    void currentChannelIsRedAndFilledInTheOverlay();
    void selfCheckDrawsAtHalfSize();
    void rebuildRefusedWhileSampling();
    void readoutLeftOfTheCursorInTheRightThird();
    void cursorOnAnEmptyTraceShowsNothing();
    void meteringReportsPeakToPeak();
    void timeScaleTicks();
    void neverReadsOutsideTheTraces();
    void damagedSamplesAndIntervals();
    void resetAndPaging();
    void bannerFollowsShowTitle();
};

void TstShowWave::pageTwoOfTwelve()
{
    TestProgramDir dir;
    SetRecord(12, 400);
    for (int c = 0; c < 24; ++c)
        Store().Traces[c] = Ramp(400);
    Store().StackingOn = true;
    Store().ChannelLocks[13] = true; // channel 14
    Store().ChannelLocks[1] = true;  // channel 2
    Store().AcqState = AcqSampled;
    CurrentParams().CurrentChannel = 0;

    CShowWave view;
    view.resize(800, 480);
    view.SetPage(12, 2);
    QImage img = Render(view);
    const wave::Layout &l = view.CurrentLayout();
    auto labelBox = [&](int i) {
        return QRect(static_cast<int>(l.Centre(i)) - 10, l.Labels.top(), static_cast<int>(l.ColumnWidth),
                     l.Labels.height());
    };
    // Column 2 of page 2 is channel 14, locked: red; column 1 (channel 13) is not.
    QVERIFY(CountColour(img, labelBox(1), kRed) > 0);
    QCOMPARE(CountColour(img, labelBox(0), kRed), 0);
    QVERIFY(CountColour(img, labelBox(0), kBlack) > 0);

    // The numbers themselves: a column's label box holds exactly the ink of
    // "14" (column 2, channel 14 locked: red, 2 pixels) and of "24" (column 12).
    auto sameInk = [&](int i, const QString &text, const QPen &pen) {
        QImage expected(img.size(), QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter painter(&expected);
        QFont f(QStringLiteral("yaheikr"));
        f.setPixelSize(18);
        painter.setFont(f);
        painter.setPen(pen);
        painter.drawText(labelBox(i), Qt::AlignLeft | Qt::AlignVCenter, text);
        painter.end();
        // Leave out the line under the plot and the last tick (top rows),
        // the frame (bottom rows) and the row's caption after the last column.
        QRect inner = labelBox(i).adjusted(0, 2, 0, -3);
        inner.setRight(std::min(inner.right(), l.Plot.right()));
        int ink = 0;
        for (int y = inner.top(); y <= inner.bottom(); ++y)
            for (int x = inner.left(); x <= inner.right(); ++x) {
                if (img.pixel(x, y) != expected.pixel(x, y))
                    return -1;
                ink += expected.pixel(x, y) != kWhite ? 1 : 0;
            }
        return ink;
    };
    QVERIFY(sameInk(1, QStringLiteral("14"), QPen(QColor(255, 0, 0), 2)) > 0);
    QVERIFY(sameInk(11, QStringLiteral("24"), QPen(Qt::black, 1)) > 0);
    QCOMPARE(sameInk(11, QStringLiteral("12"), QPen(Qt::black, 1)), -1);

    // Without stacking no label is red.
    Store().StackingOn = false;
    view.SetRedraw(true);
    img = Render(view);
    QCOMPARE(CountColour(img, labelBox(1), kRed), 0);

    // A press in the first column selects channel 13 and reports its sample.
    QSignalSpy spy(&view, &CShowWave::SetMainPara);
    const QPoint at(static_cast<int>(l.Centre(0)), 200);
    SendMouse(view, QEvent::MouseButtonPress, at);
    QCOMPARE(CurrentParams().CurrentChannel, 13);
    QCOMPARE(spy.count(), 1);
    const int sample = wave::PressCursorSample(l, 200, 400);
    QCOMPARE(view.CursorSample(), sample);
    QCOMPARE(spy[0][0].toInt(), 13);
    QCOMPARE(spy[0][1].toFloat(), static_cast<float>(sample * 1.0));
    QCOMPARE(spy[0][2].toFloat(), static_cast<float>(sample));
}

void TstShowWave::pressOnABoundarySelectsTheLeftColumn()
{
    TestProgramDir dir;
    SetRecord(8, 100);
    Store().AcqState = AcqSampled;
    CShowWave view;
    view.resize(850, 480); // columns of exactly 95 pixels, first edge at x = 105
    Render(view);
    SendMouse(view, QEvent::MouseButtonPress, QPoint(105, 100));
    QCOMPARE(CurrentParams().CurrentChannel, 1);
    SendMouse(view, QEvent::MouseButtonPress, QPoint(106, 100));
    QCOMPARE(CurrentParams().CurrentChannel, 2);
    // The right button does nothing.
    SendMouse(view, QEvent::MouseButtonPress, QPoint(400, 100), Qt::RightButton);
    QCOMPARE(CurrentParams().CurrentChannel, 2);
}

void TstShowWave::pressesAreIgnoredWhenIdleOrSampling()
{
    TestProgramDir dir;
    SetRecord(8, 100);
    CurrentParams().CurrentChannel = 1;
    CShowWave view;
    view.resize(850, 480);
    Render(view);
    QSignalSpy spy(&view, &CShowWave::SetMainPara);
    Store().AcqState = AcqIdle;
    SendMouse(view, QEvent::MouseButtonPress, QPoint(400, 100));
    Store().AcqState = AcqSampling;
    SendMouse(view, QEvent::MouseButtonPress, QPoint(400, 100));
    QCOMPARE(CurrentParams().CurrentChannel, 1);
    QCOMPARE(spy.count(), 0);
    // Moves while sampling leave the cursor alone.
    SendMouse(view, QEvent::MouseMove, QPoint(400, 100));
    QCOMPARE(view.Cursor(), QPoint(0, 0));
    Store().AcqState = AcqSampled;
    SendMouse(view, QEvent::MouseMove, QPoint(400, 100));
    QCOMPARE(view.Cursor(), QPoint(400, 100));
    // Leaving the plot clears it.
    SendMouse(view, QEvent::MouseMove, QPoint(820, 100));
    QCOMPARE(view.Cursor(), QPoint(0, 0));
}

void TstShowWave::deflectionsClipAt150()
{
    TestProgramDir dir;
    SetRecord(1, 400);
    Store().Traces[0] = Square(400);
    CurrentParams().CurrentChannel = 0;
    CShowWave view;
    view.resize(1000, 480); // one column 910 wide: a full-scale deflection is 455 pixels
    view.SetGainExponent(3);
    const QImage img = Render(view);
    const wave::Layout &l = view.CurrentLayout();
    const int cx = static_cast<int>(l.Centre(0));
    const int top = l.Plot.top() + 1;
    const int bottom = l.Plot.bottom() - 1;
    QCOMPARE(Rightmost(img, kBlack, 5, l.Axis.left() - 1, top, bottom), cx + 150);
    QCOMPARE(Leftmost(img, kBlack, 5, l.Axis.left() - 1, top, bottom), cx - 150);
}

void TstShowWave::flatNegativeTraceAtTheClipLimit()
{
    TestProgramDir dir;
    SetRecord(1, 400);
    Store().Traces[0] = QVector<float>(400, -2.0f);
    CurrentParams().CurrentChannel = 0;
    CShowWave view;
    view.resize(1000, 480);
    const QImage img = Render(view);
    const wave::Layout &l = view.CurrentLayout();
    const int cx = static_cast<int>(l.Centre(0));
    QCOMPARE(view.Stats().Peak[0], wave::kPeakFloor);
    const int row = 200;
    QCOMPARE(img.pixel(cx - 150, row), kBlack);
    // Negative: nothing filled between the trace and the baseline.
    QCOMPARE(CountColour(img, QRect(cx - 149, row, 140, 1), kBlack), 0);
}

void TstShowWave::allZeroTraceLiesOnTheBaseline()
{
    TestProgramDir dir;
    SetRecord(4, 400);
    Store().Traces[1] = QVector<float>(400, 0.0f);
    CurrentParams().CurrentChannel = 0;
    CShowWave view;
    view.resize(800, 480);
    const QImage img = Render(view);
    const wave::Layout &l = view.CurrentLayout();
    QCOMPARE(view.Stats().Peak[1], 1.0f);
    const QRect column(static_cast<int>(l.Left(1)) + 1, l.Plot.top() + 1,
                       static_cast<int>(l.ColumnWidth) - 2, l.Plot.height() - 3);
    const int cx = static_cast<int>(l.Centre(1));
    QVERIFY(CountColour(img, column, kBlack) > 0);
    QCOMPARE(CountColour(img, column, kBlack),
             CountColour(img, QRect(cx, column.top(), 1, column.height()), kBlack));
}

void TstShowWave::fillEqualToBackgroundFillsNothing()
{
    TestProgramDir dir;
    SetRecord(2, 400);
    Store().Traces[0] = Square(400);
    Store().Traces[1] = Square(400);
    ParamSet &ps = CurrentParams();
    ps.CurrentChannel = 1;
    ps.Colours.Background = QColor(255, 255, 255);
    ps.Colours.Fill = QColor(255, 255, 255);
    CShowWave view;
    view.resize(800, 480);
    const QImage img = Render(view);
    const wave::Layout &l = view.CurrentLayout();
    const int row = l.Plot.top() + l.Plot.height() / 4;
    for (int i = 0; i < 2; ++i) {
        const int cx = static_cast<int>(l.Centre(i));
        QCOMPARE(CountColour(img, QRect(cx + 5, row, 100, 1), kWhite), 100);
    }
}

void TstShowWave::colourOutsideThePaletteDrawsItsDefault_data()
{
    QTest::addColumn<int>("slot"); // 0 background, 1 baseline
    QTest::newRow("background") << 0;
    QTest::newRow("baseline") << 1;
}

void TstShowWave::colourOutsideThePaletteDrawsItsDefault()
{
    QFETCH(int, slot);
    TestProgramDir dir;
    SetRecord(2, 400);
    Store().Traces[0] = Square(400);
    Store().Traces[1] = Square(400);
    const auto colour = [slot]() -> QColor & {
        return slot == 0 ? CurrentParams().Colours.Background : CurrentParams().Colours.Baseline;
    };
    ParamSet &ps = CurrentParams();
    ps.Colours.Background = QColor(10, 20, 30);
    ps.Colours.Baseline = QColor(40, 50, 60);
    ps.Colours.Fill = QColor(70, 80, 90);
    const QColor stored = colour();
    ps.SaveSettings();
    const QString path = ps.SettingsPath();
    const auto settings = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    // A settings file whose colour record carries a colour-type byte the
    // toolkit does not have.
    QByteArray bytes = settings();
    QByteArray record;
    QDataStream(&record, QIODevice::WriteOnly) << qint8(QColor::Rgb) << quint16(0xFFFF)
                                               << quint16(stored.red() * 0x101) << quint16(stored.green() * 0x101)
                                               << quint16(stored.blue() * 0x101);
    const int at = int(bytes.indexOf(record));
    QVERIFY(at > 0);
    bytes[at] = char(9);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    ResetParamSets();
    CurrentParams().LoadSettings();
    const QColor loaded = colour();
    QVERIFY(!loaded.isValid()); // held as no colour, its record kept aside

    CShowWave hostile;
    hostile.resize(800, 480);
    const QImage drawn = Render(hostile);
    colour() = QColor(255, 255, 255);
    CShowWave plain;
    plain.resize(800, 480);
    QVERIFY(drawn == Render(plain));
    // Saved again, the file still holds what it was given.
    colour() = loaded;
    CurrentParams().SaveSettings();
    QCOMPARE(settings().mid(at, record.size()), bytes.mid(at, record.size()));
    // A colour chosen for it takes the damaged record's place.
    colour() = QColor(1, 2, 3);
    CurrentParams().SaveSettings();
    QCOMPARE(settings().mid(at, 1), QByteArray(1, char(QColor::Rgb)));
}

void TstShowWave::currentChannelIsRedAndFilledInTheOverlay()
{
    TestProgramDir dir;
    SetRecord(2, 400);
    Store().Traces[0] = Square(400);
    Store().Traces[1] = Square(400);
    ParamSet &ps = CurrentParams();
    ps.CurrentChannel = 1;
    ps.Colours.Fill = QColor(0, 0, 0);
    CShowWave view;
    view.resize(800, 480);
    const QImage img = Render(view);
    const wave::Layout &l = view.CurrentLayout();
    const int row = l.Plot.top() + l.Plot.height() / 4;
    const int c0 = static_cast<int>(l.Centre(0));
    const int c1 = static_cast<int>(l.Centre(1));
    QCOMPARE(CountColour(img, QRect(c0 + 5, row, 100, 1), kRed), 100);
    QCOMPARE(CountColour(img, QRect(c1 + 5, row, 100, 1), kBlack), 100);
    // The first sample belongs to the overlay pass only: the red trace starts on row 0 of the
    // window, the black one a row later.
    QCOMPARE(img.pixel(c0 + 150, l.Plot.top()), kRed);
    QVERIFY(img.pixel(c1 + 150, l.Plot.top()) != kBlack);
}

void TstShowWave::selfCheckDrawsAtHalfSize()
{
    TestProgramDir dir;
    SetRecord(4, 400);
    Store().Traces[0] = Square(400);
    CurrentParams().CurrentChannel = 0;
    CShowWave view;
    view.resize(800, 480);
    QImage img = Render(view);
    const wave::Layout &l = view.CurrentLayout();
    const int cx = static_cast<int>(l.Centre(0));
    const int right = static_cast<int>(l.Right(0));
    const int top = l.Plot.top() + 1;
    const int bottom = l.Plot.bottom() - 1;
    QCOMPARE(Rightmost(img, kBlack, cx, right, top, bottom),
             static_cast<int>(l.Centre(0) + l.ColumnWidth / 2));
    Store().SelfCheckShown = true;
    view.SetRedraw(true);
    img = Render(view);
    QCOMPARE(Rightmost(img, kBlack, cx, right, top, bottom),
             static_cast<int>(l.Centre(0) + l.ColumnWidth / 4));
}

void TstShowWave::rebuildRefusedWhileSampling()
{
    TestProgramDir dir;
    SetRecord(2, 400);
    Store().Traces[0] = Square(400);
    Store().Traces[1] = Square(400);
    CurrentParams().CurrentChannel = 0;
    CShowWave view;
    view.resize(800, 480);
    view.SetRedraw(true);
    const QImage before = Render(view);
    view.SetRedraw(false);
    const wave::Layout &l = view.CurrentLayout();
    const QPoint inLobe(static_cast<int>(l.Centre(1)) + 20, l.Plot.top() + l.Plot.height() / 4);
    QCOMPARE(before.pixel(inLobe), kBlack);

    // A paint without a rebuild keeps copying the old picture.
    Store().AcqState = AcqSampling;
    QCOMPARE(Render(view), before);

    // A rebuild while sampling draws nothing on the widget.
    view.SetRedraw(true);
    QImage during = Render(view);
    QVERIFY(during.pixel(inLobe) != kBlack);
    QVERIFY(during.pixel(1, 1) != kBlack); // not even the frame
    view.SetRedraw(false);

    // Same during the self-check.
    Store().AcqState = AcqSampled;
    Store().SelfCheckRunning = true;
    view.SetRedraw(true);
    during = Render(view);
    QVERIFY(during.pixel(inLobe) != kBlack);
    Store().SelfCheckRunning = false;
    QCOMPARE(Render(view), before);
}

void TstShowWave::readoutLeftOfTheCursorInTheRightThird()
{
    TestProgramDir dir;
    SetRecord(24, 400);
    for (int c = 0; c < 24; ++c)
        Store().Traces[c] = Square(400);
    ParamSet &ps = CurrentParams();
    ps.CurrentChannel = 1;
    ps.Colours.Background = kGreyBackground;
    ps.Colours.Baseline = QColor(0, 128, 0);
    ps.Colours.Fill = QColor(0, 0, 0);
    CShowWave view;
    view.resize(1280, 800);
    Render(view);
    const wave::Layout &l = view.CurrentLayout();

    auto whiteAround = [&](int x, int y, QImage &img) {
        SendMouse(view, QEvent::MouseMove, QPoint(x, y));
        img = Render(view);
        const int base = wave::ReadoutBaseline(view.Cursor().y());
        const int leftWhite = CountColour(img, QRect(x - 355, base - 30, 355, 40), kWhite);
        const int rightWhite = CountColour(img, QRect(x, base - 30, 355, 40), kWhite);
        return qMakePair(leftWhite, rightWhite);
    };
    QImage img;
    // Channel 20 of 24: box to the left, and channel 20 is the red one in the same paint.
    const int x20 = static_cast<int>(l.Centre(19)) + 3;
    auto sides = whiteAround(x20, 300, img);
    QCOMPARE(ps.CurrentChannel, 20);
    QCOMPARE(img.pixel(static_cast<int>(l.Centre(19)) + 20, 100), kRed);
    // Channel 1, red at the last rebuild, keeps its black fill.
    QCOMPARE(img.pixel(static_cast<int>(l.Centre(0)) + 20, 100), kBlack);
    QVERIFY(sides.first > 355 * 40 / 2);
    QCOMPARE(sides.second, 0);
    // Cursor line in blue across the column at the cursor row.
    QCOMPARE(img.pixel(static_cast<int>(l.Left(19)) + 1, view.Cursor().y()), qRgb(0, 0, 255));
    // Channel 3: box to the right.
    sides = whiteAround(static_cast<int>(l.Centre(2)) + 3, 300, img);
    QCOMPARE(ps.CurrentChannel, 3);
    QCOMPARE(sides.first, 0);
    QVERIFY(sides.second > 355 * 40 / 2);
    // Near the top the text moves below the cursor.
    SendMouse(view, QEvent::MouseMove, QPoint(x20, 10));
    img = Render(view);
    QVERIFY(view.Cursor().y() < 30);
    QVERIFY(CountColour(img, QRect(x20 - 355, view.Cursor().y() + 1, 355, 30), kWhite) > 355 * 30 / 2);
}

void TstShowWave::cursorOnAnEmptyTraceShowsNothing()
{
    TestProgramDir dir;
    SetRecord(4, 400);
    Store().Traces[0] = Square(400);
    Store().Traces[2] = Square(100); // shorter than the record
    ParamSet &ps = CurrentParams();
    ps.CurrentChannel = 1;
    ps.Colours.Background = kGreyBackground;
    ps.Colours.Baseline = QColor(0, 128, 0);
    CShowWave view;
    view.resize(800, 480);
    Render(view);
    const wave::Layout &l = view.CurrentLayout();
    SendMouse(view, QEvent::MouseMove, QPoint(static_cast<int>(l.Centre(1)), 200));
    QImage img = Render(view);
    QCOMPARE(CountColour(img, img.rect(), kWhite), 0);
    QCOMPARE(CountColour(img, img.rect(), qRgb(0, 0, 255)), 0);
    // Past the end of a short trace: no readout either.
    SendMouse(view, QEvent::MouseMove, QPoint(static_cast<int>(l.Centre(2)), 400));
    img = Render(view);
    QCOMPARE(CountColour(img, img.rect(), kWhite), 0);
    // Within it: the readout shows.
    SendMouse(view, QEvent::MouseMove, QPoint(static_cast<int>(l.Centre(2)), 20));
    img = Render(view);
    QVERIFY(CountColour(img, img.rect(), kWhite) > 0);

    // With metering on, the cursor is pulled back into the current trace,
    // and an empty current trace reports time 0 rather than a negative time.
    ps.MeteringOn = true;
    QSignalSpy spy(&view, &CShowWave::SetMainPara);
    SendMouse(view, QEvent::MouseMove, QPoint(static_cast<int>(l.Centre(2)), 400));
    img = Render(view);
    QCOMPARE(view.CursorSample(), 99);
    QVERIFY(CountColour(img, img.rect(), kWhite) > 0);
    SendMouse(view, QEvent::MouseMove, QPoint(static_cast<int>(l.Centre(1)), 400));
    img = Render(view);
    QCOMPARE(spy.last()[0].toInt(), 2);
    QCOMPARE(spy.last()[1].toFloat(), 0.0f);
    QCOMPARE(spy.last()[2].toFloat(), 0.0f);
    QCOMPARE(CountColour(img, img.rect(), kWhite), 0);
}

void TstShowWave::meteringReportsPeakToPeak()
{
    TestProgramDir dir;
    SetRecord(4, 400, 500.0f);
    Store().Traces[2] = Ramp(400);
    ParamSet &ps = CurrentParams();
    ps.CurrentChannel = 3;
    ps.MeteringOn = true;
    Store().AcqState = AcqSampled;
    CShowWave view;
    view.resize(800, 480);
    QSignalSpy spy(&view, &CShowWave::SetMainPara);
    Render(view);
    // Whole record as range: 0 … 399 (the range end 400 stops at the last sample).
    QVERIFY(spy.count() >= 1);
    QCOMPARE(spy.last()[0].toInt(), 3);
    QCOMPARE(spy.last()[2].toFloat(), 399.0f);

    const wave::Layout &l = view.CurrentLayout();
    const int left = static_cast<int>(l.Left(2)) + 2;
    const int right = static_cast<int>(l.Right(2)) - 2;
    // Right half sets the end, left half the start; the press itself reports nothing.
    spy.clear();
    SendMouse(view, QEvent::MouseButtonPress, QPoint(right, 300));
    const int end = wave::PressCursorSample(l, 300, 400);
    QCOMPARE(view.RangeEnd(), end);
    SendMouse(view, QEvent::MouseButtonPress, QPoint(left, 100));
    const int start = wave::PressCursorSample(l, 100, 400);
    QCOMPARE(view.RangeStart(), start);
    QCOMPARE(spy.count(), 0);
    // A start below the end is refused.
    SendMouse(view, QEvent::MouseButtonPress, QPoint(left, 400));
    QCOMPARE(view.RangeStart(), start);
    Render(view);
    QVERIFY(spy.count() >= 1);
    QCOMPARE(spy.last()[2].toFloat(), static_cast<float>(end - start));
    QCOMPARE(spy.last()[1].toFloat(), static_cast<float>(view.CursorSample() * 0.5));
    // The range marks are 2 pixels of blue on either half of the column.
    const QImage img = Render(view);
    const int ys = wave::CursorRow(l, start, 0, 400);
    QCOMPARE(img.pixel(left + 1, ys), qRgb(0, 0, 255));
    QVERIFY(img.pixel(right - 1, ys) != qRgb(0, 0, 255));
}

void TstShowWave::timeScaleTicks()
{
    TestProgramDir dir;
    SetRecord(12, 1024, 1000.0f);
    CShowWave view;
    view.resize(800, 480);
    const QImage img = Render(view);
    const auto ticks = wave::TimeTicks(view.CurrentLayout(), 1000.0f, 0, 1024, 1024);
    QCOMPARE(ticks.size(), 6);
    const QRgb grey = qRgb(128, 128, 128);
    for (const auto &t : ticks)
        QCOMPARE(img.pixel(5, t.Y), grey);
    QVERIFY(img.pixel(5, ticks[1].Y + 3) != grey);
    // Label ink right of the tick lines, within the first label's box.
    QVERIFY(CountColour(img, ticks[0].Box, kBlack) > 0);
}

void TstShowWave::damagedSamplesAndIntervals()
{
    // What a damaged record or settings file can put on screen: NaN and
    // infinite samples, absurd intervals. The view must draw and return.
    TestProgramDir dir;
    SetRecord(12, 1024);
    for (int c = 0; c < 24; ++c) {
        Store().Traces[c] = Square(1024);
        Store().Traces[c][500] = std::numeric_limits<float>::quiet_NaN();
        Store().Traces[c][10] = std::numeric_limits<float>::quiet_NaN();
        if (c > 0) // channel 1 keeps only its NaN samples
            Store().Traces[c][700] = c % 2 ? std::numeric_limits<float>::infinity()
                                           : -std::numeric_limits<float>::infinity();
    }
    Store().Traces[5] = QVector<float>(1024, std::numeric_limits<float>::quiet_NaN());
    Store().AcqState = AcqSampled;
    CurrentParams().MeteringOn = true;
    CurrentParams().CurrentChannel = 4;
    CShowWave view;
    view.resize(800, 480);
    for (float interval : {500.0f, 2e10f, 3e38f, std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN()}) {
        CurrentParams().Header.SampleInterval = interval;
        view.SetRedraw(true);
        const QImage img = Render(view);
        QCOMPARE(img.size(), QSize(800, 480));
        SendMouse(view, QEvent::MouseMove, QPoint(200, 240));
        SendMouse(view, QEvent::MouseButtonPress, QPoint(200, 240));
        Render(view);
    }
    // A NaN sample costs nothing but its own place: the rest of the trace
    // still shows its filled lobe.
    CurrentParams().Header.SampleInterval = 500.0f;
    CurrentParams().CurrentChannel = 0;
    view.SetRedraw(true);
    const QImage img = Render(view);
    const wave::Layout &l = view.CurrentLayout();
    const int x = static_cast<int>(l.Centre(0)) + 3;
    QCOMPARE(img.pixel(x, l.Plot.top() + 100), qRgb(0, 0, 0));
}

void TstShowWave::neverReadsOutsideTheTraces()
{
    TestProgramDir dir;
    ParamSet &ps = CurrentParams();
    ps.Header.ChannelCount = 99; // a damaged settings file
    ps.Header.SampleLength = 2048;
    const int sizes[] = {0, 1, 2, 3, 100, 2047, 2048, 5000};
    for (int c = 0; c < 24; ++c)
        Store().Traces[c] = Ramp(sizes[c % 8]);
    Store().AcqState = AcqSampled;
    ps.MeteringOn = true;
    CShowWave view;
    view.resize(800, 480);
    const struct { int perPage, page; } pages[] = {{-1, -1}, {12, 2}, {12, 3}, {20, 2}, {30, 1}, {0, 1}};
    for (const auto &pg : pages) {
        for (int current : {0, 1, 5, 24, 25, -3}) {
            ps.CurrentChannel = current;
            view.SetPage(pg.perPage, pg.page);
            view.SetRedraw(true);
            Render(view);
            for (int y : {2, 100, 439}) {
                for (int x : {10, 300, 719}) {
                    SendMouse(view, QEvent::MouseMove, QPoint(x, y));
                    SendMouse(view, QEvent::MouseButtonPress, QPoint(x, y));
                    Render(view);
                    QVERIFY(ps.CurrentChannel <= 24 || ps.CurrentChannel == current);
                }
            }
        }
    }
    QCOMPARE(view.ChannelsPerPage(), 0);
    // An analysis window past the data and before it.
    view.SetMode(CShowWave::AnalysisMode);
    view.SetPage(-1, -1);
    view.SetWindow(4000, 3000);
    view.SetCursorSample(100000);
    view.SetCursor(300, 300);
    view.SetRedraw(true);
    Render(view);
    view.SetWindow(-50, 100);
    view.SetRedraw(true);
    Render(view);
    view.SetWindow(0, 0);
    view.SetRedraw(true);
    Render(view);
    QCOMPARE(view.ChannelsPerPage(), 24);
}

void TstShowWave::resetAndPaging()
{
    TestProgramDir dir;
    SetRecord(12, 1000);
    CShowWave view;
    view.resize(800, 480);
    QCOMPARE(view.RangeStart(), -1);
    view.SetGainExponent(4);
    view.SetShift(30);
    view.SetCommonScale(1);
    Render(view);
    QCOMPARE(view.ChannelsPerPage(), 12);
    QCOMPARE(view.Page(), 1);
    QCOMPARE(view.RangeEnd(), 1000);
    QCOMPARE(view.WindowLength(), 1000);
    view.SetPage(6, 2);
    QCOMPARE(view.RangeStart(), 0);
    QVERIFY(view.HasBackBuffer());
    view.SetRedraw(true);
    QVERIFY(!view.HasBackBuffer());
    Render(view);
    QVERIFY(view.HasBackBuffer());
    QCOMPARE(view.CurrentLayout().Columns, 6);
    view.ResetView();
    QCOMPARE(view.GainExponent(), 0);
    QCOMPARE(view.Shift(), 0);
    QCOMPARE(view.CommonScale(), 0);
    QVERIFY(view.hasMouseTracking());
    // The analysis view keeps its own scaling; only the statistics go.
    view.SetMode(CShowWave::AnalysisMode);
    view.SetGainExponent(4);
    view.SetWindow(100, 200);
    view.ResetView();
    QCOMPARE(view.GainExponent(), 4);
    QCOMPARE(view.WindowStart(), 100);
    QCOMPARE(view.Stats().CommonPeak, 0.0f);
    // The analysis window survives a rebuild; the acquisition view always shows everything.
    view.SetRedraw(true);
    Render(view);
    QCOMPARE(view.WindowLength(), 200);
    view.SetMode(CShowWave::AcquisitionMode);
    view.SetRedraw(true);
    Render(view);
    QCOMPARE(view.WindowLength(), 1000);
}

void TstShowWave::bannerFollowsShowTitle()
{
    TestProgramDir dir;
    CShowWave view;
    view.resize(800, 480);
    view.show();
    view.ShowTitle(1);
    QVERIFY(view.Banner()->isVisible());
    QCOMPARE(view.Banner()->size(), QSize(570, 114));
    view.ShowTitle(2);
    QCOMPARE(view.Banner()->Message(), QStringLiteral("数据采集中.."));
    view.ShowTitle(0);
    QVERIFY(!view.Banner()->isVisible());
}

QTEST_MAIN(TstShowWave)
#include "tst_showwave.moc"
