// The dispersion screen over the record on screen: a shot taken from the unit
// simulator as the program takes it, the cursor by touch and by key, bounds
// from the keypad, refusals the operator can read, and the record left as it
// was. Pictures of the screen at both screen sizes are left in the build tree.
#include "analysis/CDlgDispersion.h"
#include "analysis/DispersionPlot.h"
#include "analysis/DispersionView.h"
#include "dialogs/TaskScreens.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "records/RecordFile.h"
#include "surfacewave/ProjectCurve.h"
#include "support/ModalDriver.h"
#include "support/SimulatorShot.h"
#include "support/TestProgramDir.h"

#include "UnitSimulator.h"

#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

/// A wavelet crossing channels 1 … channels at speed, straight into the traces on screen.
void PutPlaneWave(int channels, double speed)
{
    ParamSet &p = CurrentParams();
    p.Header.ChannelCount = channels;
    p.Header.SampleLength = 2048;
    p.Header.SampleInterval = 500.0f;
    const double dt = p.Header.SampleInterval * 1e-6;
    for (int ch = 1; ch <= channels; ++ch) {
        const double delay = 0.05 + (p.Header.Offset + (ch - 1) * p.Header.TraceSpacing) / speed;
        QVector<float> &t = Store().Traces[ch - 1];
        t.resize(p.Header.SampleLength);
        for (int i = 0; i < t.size(); ++i) {
            const double a = M_PI * 30.0 * (i * dt - delay);
            t[i] = float((1.0 - 2.0 * a * a) * std::exp(-a * a));
        }
    }
}

QString ReadoutOf(const CDlgDispersion &dlg)
{
    return dlg.findChild<QLabel *>(QStringLiteral("lbReadout"))->text();
}

DispersionView *ViewOf(const CDlgDispersion &dlg)
{
    return dlg.findChild<DispersionView *>(QStringLiteral("wDispersion"));
}

QString LookPath(const QString &name)
{
    return QDir(QStringLiteral(ZEB_LOOK_DIR)).filePath(name);
}

} // namespace

class TstCDlgDispersion : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<TestProgramDir>(); }
    void cleanup() { m_dir.reset(); }

    void simulatorShotOnScreen()
    {
        const auto sim = StartLoopbackUnit(11);
        QVERIFY(sim && TakeSimulatorShot(*sim, kMaxChannels, 2048, 500.0f));
        const TraceSet before = Store().Traces;
        const RecordHeader header = CurrentParams().Header;

        CDlgDispersion dlg;
        dlg.show();
        const DispersionImage &image = dlg.Image();
        QCOMPARE(image.Result, int(DispersionOk));
        QCOMPARE(image.ChannelsUsed, kMaxChannels);
        int inBand = 0;
        for (const DispersionPick &p : image.Curve) {
            if (p.Frequency < 10.0 || p.Frequency > 40.0)
                continue;
            ++inBand;
            QVERIFY2(std::abs(p.Velocity / ShotModel::PhaseVelocity(p.Frequency) - 1.0) <= 0.05,
                     qPrintable(QStringLiteral("%1 Hz: %2 m/s").arg(p.Frequency).arg(p.Velocity)));
        }
        QCOMPARE(inBand, 31);

        // The cursor starts on the middle of the curve; Right and Left step along it.
        DispersionView *view = ViewOf(dlg);
        const DispersionPick &mid = image.Curve[image.Curve.size() / 2];
        QCOMPARE(view->CursorFrequency(), mid.Frequency);
        QCOMPARE(ReadoutOf(dlg), QStringLiteral("频率:%1Hz  相速度:%2m/s  波长:%3m")
                                     .arg(mid.Frequency, 0, 'f', 1)
                                     .arg(mid.Velocity, 0, 'f', 0)
                                     .arg(mid.Wavelength, 0, 'f', 1));
        QTest::keyClick(&dlg, Qt::Key_Right);
        const DispersionPick &next = image.Curve[image.Curve.size() / 2 + 1];
        QCOMPARE(view->CursorFrequency(), next.Frequency);
        QCOMPARE(view->CursorVelocity(), next.Velocity);
        QTest::keyClick(&dlg, Qt::Key_Left);
        QTest::keyClick(&dlg, Qt::Key_Left);
        QCOMPARE(view->CursorFrequency(), image.Curve[image.Curve.size() / 2 - 1].Frequency);

        // A touch puts the cursor where it lands.
        const DispersionPlot *plot = view->Plot();
        QVERIFY(plot);
        const QPoint at = plot->PixelOf(20.0, 600.0).toPoint();
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, at);
        const double fPerPixel = (image.Frequencies.back() - image.Frequencies.front()) / plot->PlotArea().width();
        const double vPerPixel = (image.Velocities.back() - image.Velocities.front()) / plot->PlotArea().height();
        QVERIFY(std::abs(view->CursorFrequency() - 20.0) <= fPerPixel);
        QVERIFY(std::abs(view->CursorVelocity() - 600.0) <= vPerPixel);
        QVERIFY(ReadoutOf(dlg).contains(QStringLiteral("波长:%1m").arg(view->CursorVelocity() / view->CursorFrequency(), 0, 'f', 1)));

        // Both screens: the image takes most of the width, the buttons stand
        // beside it in full, and the curve is drawn on the ridge.
        for (const QSize size : {QSize(800, 480), QSize(1024, 600)}) {
            dlg.setFixedSize(size);
            QTRY_COMPARE(view->size().width() > 0 && view->Plot() && view->Plot()->Size() == view->size(), true);
            const QImage shot = dlg.grab().toImage();
            QVERIFY(shot.save(LookPath(QStringLiteral("look_dispersion_%1x%2.png").arg(size.width()).arg(size.height()))));
            QVERIFY(view->width() >= size.width() * 7 / 10);
            QRect column;
            for (QPushButton *b : dlg.findChildren<QPushButton *>()) {
                const QRect r(b->mapTo(&dlg, QPoint(0, 0)), b->size());
                QVERIFY2(dlg.rect().contains(r), qPrintable(b->objectName()));
                QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) < b->width(), qPrintable(b->text()));
                QVERIFY(!r.intersects(QRect(view->mapTo(&dlg, QPoint(0, 0)), view->size())));
                QVERIFY(!column.intersects(r));
                column |= r;
            }
            const QPoint pick = view->mapTo(&dlg, view->Plot()->PixelOf(mid.Frequency, mid.Velocity).toPoint());
            QCOMPARE(shot.pixelColor(pick), QColor(Qt::white));
        }

        // Esc leaves with the record untouched.
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(!dlg.isVisible());
        QVERIFY(Store().Traces == before);
        QCOMPARE(CurrentParams().Header.SampleLength, header.SampleLength);
        QCOMPARE(CurrentParams().Header.TraceSpacing, header.TraceSpacing);
    }

    void recordsMakeTheProjectsCombinedCurve()
    {
        // Two saved shots of one spread: each added from its own screen, the
        // curve drawn over the image with Vs30, one taken out again, then
        // started anew; the record files never change.
        const QString project = m_dir->file(QStringLiteral("QDW-FILE/LINE1.PRO"));
        QVERIFY(QDir().mkpath(project));
        QStringList paths;
        for (quint32 seed : {21u, 22u}) {
            const auto sim = StartLoopbackUnit(seed);
            QVERIFY(sim && TakeSimulatorShot(*sim, kMaxChannels, 2048, 500.0f));
            paths << project + QStringLiteral("/S%1.QDW").arg(seed);
            QCOMPARE(WriteRecord(CurrentParams(), paths.last()), int(RecordOk));
        }
        auto bytes = [](const QString &path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray first = bytes(paths[0]);
        const QByteArray second = bytes(paths[1]);
        const QString csv = project + QLatin1Char('/') + QLatin1String(kProjectCurveFile);

        for (const QString &path : paths) {
            QCOMPARE(ReadRecordFile(CurrentParams(), path, nullptr), int(RecordOk));
            CDlgDispersion dlg;
            dlg.show();
            QVERIFY(dlg.Combined());
            QTest::keyClick(&dlg, Qt::Key_A, Qt::AltModifier);
            QVERIFY2(dlg.Combined()->Contains(QFileInfo(path).fileName()), qPrintable(ReadoutOf(dlg)));
            QVERIFY(ReadoutOf(dlg).contains(QStringLiteral("综合曲线")));
        }
        QVERIFY(QFileInfo::exists(csv));
        ProjectCurve stored(project);
        QVERIFY(stored.Load());
        QCOMPARE(int(stored.Records().size()), 2);
        QVERIFY(!stored.Combined().Bins.empty());

        // The screen of the second record shows both, with bars in the overlay's orange.
        CDlgDispersion dlg;
        dlg.show();
        QCOMPARE(int(dlg.Combined()->Records().size()), 2);
        DispersionView *view = ViewOf(dlg);
        for (const QSize size : {QSize(800, 480), QSize(1024, 600)}) {
            dlg.setFixedSize(size);
            QTRY_COMPARE(view->Plot() && view->Plot()->Size() == view->size(), true);
            const QImage shot = dlg.grab().toImage();
            QVERIFY(shot.save(LookPath(QStringLiteral("look_combined_%1x%2.png").arg(size.width()).arg(size.height()))));
            const CombinedCurve combined = dlg.Combined()->Combined();
            const CurveBin &bin = combined.Bins.front();
            const QPoint at = view->mapTo(&dlg, view->Plot()->PixelOf(bin.Frequency, bin.Velocity).toPoint());
            QVERIFY2(shot.pixelColor(at) == QColor(255, 120, 0),
                     qPrintable(QStringLiteral("%1,%2 %3 Hz %4 m/s").arg(at.x()).arg(at.y()).arg(bin.Frequency).arg(bin.Velocity)));
            // A cursor touched onto the caption leaves it readable: no line crosses its box.
            const QRect caption = view->Plot()->CaptionBox();
            QVERIFY(!caption.isEmpty());
            QTest::mouseClick(view, Qt::LeftButton, {}, caption.center());
            const QImage drawn = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QImage plain = view->Plot()->Draw().convertToFormat(QImage::Format_RGB32);
            QVERIFY(drawn.copy(caption) == plain.copy(caption));
        }
        QTest::keyClick(&dlg, Qt::Key_D);
        QCOMPARE(int(dlg.Combined()->Records().size()), 1);
        QVERIFY(stored.Load());
        QCOMPARE(stored.Records().front().Record, QStringLiteral("S21.QDW"));
        QTest::keyClick(&dlg, Qt::Key_C);
        QVERIFY(stored.Load());
        QVERIFY(stored.Records().empty());
        QCOMPARE(bytes(paths[0]), first);
        QCOMPARE(bytes(paths[1]), second);
    }

    void unsavedShotIsNotAdded()
    {
        const auto sim = StartLoopbackUnit();
        QVERIFY(sim && TakeSimulatorShot(*sim, kMaxChannels, 2048, 500.0f));
        CurrentParams().CurrentRecordPath.clear();
        CDlgDispersion dlg;
        dlg.show();
        QVERIFY(!dlg.Combined());
        ModalDriver driver;
        driver.Expect([](ModalDialog &d) {
            QVERIFY(d.LabelTexts().join(QString()).contains(QStringLiteral("记录未保存")));
            d.Key(Qt::Key_Return);
        });
        QTest::keyClick(&dlg, Qt::Key_A, Qt::AltModifier);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(QDir(m_dir->path()).entryList(QStringList{QLatin1String(kProjectCurveFile)}, QDir::Files).size(), 0);
    }

    void boundsFromTheKeypad()
    {
        PutPlaneWave(24, 300.0);
        CDlgDispersion dlg;
        dlg.show();
        QCOMPARE(dlg.Image().Frequencies.front(), 1.0);

        ModalDriver driver;
        driver.Expect([](ModalDialog &d) {
            QCOMPARE(d.Text(QStringLiteral("lbTitle")), QStringLiteral("最低频率(Hz):"));
            d.Retype(QStringLiteral("10"));
            d.Key(Qt::Key_Return, Qt::AltModifier);
        });
        QTest::keyClick(&dlg, Qt::Key_L, Qt::AltModifier);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(dlg.Image().Grid.FMin, 10.0);
        QCOMPARE(dlg.Image().Frequencies.front(), 10.0);
        QCOMPARE(dlg.Image().FrequencyCount(), 91);
        QCOMPARE(dlg.findChild<QLabel *>(QStringLiteral("lbGrid"))->text(),
                 QStringLiteral("频率10～100Hz，步长1Hz；速度50～1000m/s，步长5m/s"));

        // A highest frequency below the lowest is refused and changes nothing.
        driver.Expect([](ModalDialog &d) {
            d.Retype(QStringLiteral("5"));
            d.Key(Qt::Key_Return, Qt::AltModifier);
        });
        driver.Expect([](ModalDialog &d) {
            QCOMPARE(d.Text(QStringLiteral("labelMsg")), QStringLiteral("频率或速度范围设置无效！"));
            d.Key(Qt::Key_Return);
        });
        QTest::keyClick(&dlg, Qt::Key_H, Qt::AltModifier);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(dlg.Image().Grid.FMax, 100.0);
        QCOMPARE(dlg.Image().FrequencyCount(), 91);

        // A cancelled keypad changes nothing either; the velocity step is taken.
        driver.Expect([](ModalDialog &d) { d.Key(Qt::Key_Escape); });
        driver.Expect([](ModalDialog &d) {
            d.Retype(QStringLiteral("2.5"));
            d.Key(Qt::Key_Return, Qt::AltModifier);
        });
        QTest::keyClick(&dlg, Qt::Key_N, Qt::AltModifier);
        QTest::keyClick(&dlg, Qt::Key_V, Qt::AltModifier);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(dlg.Image().Grid.VMin, 50.0);
        QCOMPARE(dlg.Image().VelocityCount(), 381);
        for (const DispersionPick &p : dlg.Image().Curve)
            QVERIFY(std::abs(p.Velocity / 300.0 - 1.0) <= 0.02);
    }

    void refusalsTellTheOperator_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        const QString noImage = QStringLiteral("，无法计算频散图！");
        QTest::newRow("one channel") << "one channel" << QStringLiteral("有数据的通道少于两道") + noImage;
        QTest::newRow("no record") << "no record" << QStringLiteral("有数据的通道少于两道") + noImage;
        QTest::newRow("zero spacing") << "zero spacing" << QStringLiteral("道间距无效") + noImage;
        QTest::newRow("damaged interval") << "NaN interval" << QStringLiteral("采样间隔无效") + noImage;
        QTest::newRow("absurd interval") << "huge interval" << QStringLiteral("频率范围超出采样所能分辨的范围") + noImage;
        QTest::newRow("NaN sample") << "NaN sample" << QStringLiteral("数据中含有无效数值") + noImage;
    }

    void refusalsTellTheOperator()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        PutPlaneWave(12, 300.0);
        RecordHeader &h = CurrentParams().Header;
        if (damage == QLatin1String("one channel"))
            h.ChannelCount = 1;
        else if (damage == QLatin1String("no record"))
            Store().Reset();
        else if (damage == QLatin1String("zero spacing"))
            h.TraceSpacing = 0.0f;
        else if (damage == QLatin1String("NaN interval"))
            h.SampleInterval = std::numeric_limits<float>::quiet_NaN();
        else if (damage == QLatin1String("huge interval"))
            h.SampleInterval = 3e38f;
        else
            Store().Traces[4][100] = std::numeric_limits<float>::quiet_NaN();

        QWidget parent;
        ModalDriver driver;
        driver.Expect([&message](ModalDialog &d) {
            QCOMPARE(d.Text(QStringLiteral("labelMsg")), message);
            d.Key(Qt::Key_Return);
        });
        CDlgDispersion::Open(&parent);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(driver.Answered(), 1); // the message only, no screen
    }

    void openedThroughItsTaskScreen()
    {
        PutPlaneWave(24, 300.0);
        InstallTaskScreens();
        QVERIFY(Screens().Dispersion);
        ModalDriver driver;
        bool isScreen = false;
        driver.Expect([&isScreen](ModalDialog &d) {
            isScreen = qobject_cast<CDlgDispersion *>(d.Widget()) != nullptr;
            d.Key(Qt::Key_Escape);
        });
        QWidget parent;
        Screens().Dispersion(&parent);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QVERIFY(isScreen);
    }

private:
    std::unique_ptr<TestProgramDir> m_dir;
};

QTEST_MAIN(TstCDlgDispersion)
#include "tst_cdlgdispersion.moc"
