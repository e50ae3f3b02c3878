#include "dialogs/CDlgGain.h"
#include "dialogs/CDlgKeyColor.h"
#include "dialogs/CDlgSet.h"
#include "dialogs/CDlgSetColor.h"
#include "dialogs/CDlgSetSensor.h"
#include "dialogs/TimeDateDlg.h"
#include "params/ParamSet.h"

#include "support/FakePlatform.h"
#include "support/TestProgramDir.h"

#include <QAbstractButton>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QtTest>

#include <functional>

namespace {

constexpr int kBorderAndMargin = 4; // the 2-px border on both sides

/// Shows dialog at size, saves its picture under the build tree and checks
/// that every visible button and label lies inside the screen with its
/// caption in full.
void CheckLook(QDialog &dialog, const QSize &size, const QString &picture)
{
    dialog.setFixedSize(size);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.layout()->activate();
    QCoreApplication::processEvents();

    const QString path = QDir::current().filePath(picture);
    QVERIFY(dialog.grab().save(path));
    qInfo("picture: %s", qPrintable(path));

    const auto check = [&dialog](QWidget *w, const QString &text, int margin) {
        if (!w->isVisible() || text.isEmpty())
            return;
        w->ensurePolished();
        const QRect g(w->mapTo(&dialog, QPoint(0, 0)), w->size());
        QVERIFY2(dialog.rect().contains(g), qPrintable(w->objectName()));
        const QFontMetrics fm(w->font());
        const QStringList lines = text.split(QLatin1Char('\n'));
        int widest = 0;
        for (const QString &line : lines)
            widest = std::max(widest, fm.horizontalAdvance(line));
        QVERIFY2(widest <= g.width() - margin && fm.height() * lines.size() <= g.height(),
                 qPrintable(QStringLiteral("%1 (\"%2\", %3 pt) is cut in %4 x %5")
                                .arg(w->objectName(), text)
                                .arg(w->font().pointSize())
                                .arg(g.width())
                                .arg(g.height())));
    };
    for (QAbstractButton *b : dialog.findChildren<QAbstractButton *>())
        check(b, b->text(), kBorderAndMargin);
    for (QLabel *l : dialog.findChildren<QLabel *>())
        check(l, l->text(), 0);
}

} // namespace

class TestSettingsLook : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<TestProgramDir>();
        // The longest texts a settings or record file can bring.
        RecordHeader &h = CurrentParams().Header;
        h.ProjectName = QStringLiteral("黄河大桥北岸工程");
        h.TestUnit = QStringLiteral("水利勘测设计研究");
        h.Tester = QStringLiteral("欧阳慕容司马诸葛");
        h.ProfileNumber = QStringLiteral("北岸剖面第一二号");
        h.SampleInterval = 15.625f;
        h.SampleLength = 16384;
        h.TraceSpacing = 10000.0f;
        h.Offset = 10000.0f;
        h.Delay = 500.0f;
        h.Filter = 2048.0f;
        h.TriggerMethod = 0;
        h.ChannelCount = 24;
        for (float &s : CurrentParams().Sensor.Sensitivity)
            s = 10000.0f;
        CurrentParams().Sensor.SensorType = 0;
        CurrentParams().Sensor.MeteringSignal = 0;
        m_clock->SetNow(QDateTime(QDate(2024, 12, 28), QTime(23, 58, 59)));
    }
    void cleanup() { m_dir.reset(); }

    void dialogsFitTheScreen_data();
    void dialogsFitTheScreen();

private:
    std::unique_ptr<TestProgramDir> m_dir;
    ScopedFakePlatform m_clock;
};

void TestSettingsLook::dialogsFitTheScreen_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    for (const QSize &size : {QSize(800, 480), QSize(1024, 600)})
        for (const char *name : {"CDlgSet", "CDlgGain", "CDlgSetSensor", "CDlgSetColor", "CDlgKeyColor", "TimeDateDlg"})
            QTest::addRow("%s %dx%d", name, size.width(), size.height()) << QString::fromLatin1(name) << size;
    // Metering on keeps 30 pixels free below the screen.
    QTest::addRow("CDlgSet metering") << QStringLiteral("CDlgSet") << QSize(800, 450);
}

void TestSettingsLook::dialogsFitTheScreen()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    std::unique_ptr<QDialog> dialog;
    if (name == QLatin1String("CDlgSet")) {
        dialog = std::make_unique<CDlgSet>();
    } else if (name == QLatin1String("CDlgGain")) {
        dialog = std::make_unique<CDlgGain>();
    } else if (name == QLatin1String("CDlgSetSensor")) {
        dialog = std::make_unique<CDlgSetSensor>();
    } else if (name == QLatin1String("CDlgSetColor")) {
        auto colours = std::make_unique<CDlgSetColor>();
        colours->SetNames({QStringLiteral("背景"), QStringLiteral("基线"), QStringLiteral("填充")});
        colours->SetColours({QColor(0, 0, 0), QColor(255, 255, 255), QColor(255, 0, 0)});
        dialog = std::move(colours);
    } else if (name == QLatin1String("CDlgKeyColor")) {
        dialog = std::make_unique<CDlgKeyColor>();
    } else {
        dialog = std::make_unique<TimeDateDlg>();
    }
    CheckLook(*dialog, size, QStringLiteral("settings-%1-%2x%3.png").arg(name).arg(size.width()).arg(size.height()));
}

QTEST_MAIN(TestSettingsLook)
#include "tst_settingslook.moc"
