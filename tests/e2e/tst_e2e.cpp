// The whole program as an operator drives it: the real executable on a
// virtual display, the unit simulator and both upload servers hosted here on
// loopback ports, keys and touches sent as X events.

#include "E2eRig.h"
#include "ExpectedTrace.h"

#include "NormalUploadServer.h"
#include "UnitSimulator.h"
#include "WitnessUploadServer.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"
#include "records/RecordFile.h"
#include "support/TestProgramDir.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

using RawShot = QVector<QVector<qint16>>; // per 1-based channel (index 0 unused)

const QSize kSmall(800, 480);
const QSize kLarge(1024, 600);
const char kProject[] = "QUARTZON.PRO";
const int kTriggerWaitMs = 300;

/// A trace as the program files it from raw samples (see ExpectedTrace).
QVector<float> Filed(const QVector<qint16> &raw, int gainDb, int triggerMethod)
{
    constexpr int kPreTrigger = 200;
    const double g = UnitGainOf(gainDb);
    QVector<double> mv;
    double pre = 0;
    for (int i = 0; i < raw.size(); ++i) {
        mv << raw[i] * 5000.0 / 32768.0 / g;
        if (i < kPreTrigger)
            pre += mv.last();
    }
    const double offset = triggerMethod == 1 ? pre / kPreTrigger : 0.0;
    QVector<float> t;
    for (double v : mv)
        t << float(v - offset);
    return t;
}

/// Largest difference between two traces, relative to the larger swing; 1 when lengths differ.
double Mismatch(const QVector<float> &a, const QVector<float> &b)
{
    if (a.size() != b.size() || a.isEmpty())
        return 1.0;
    double worst = 0, swing = 1e-9;
    for (int i = 0; i < a.size(); ++i) {
        worst = std::max(worst, double(std::abs(a[i] - b[i])));
        swing = std::max(swing, double(std::abs(a[i])));
    }
    return worst / swing;
}

/// Bounding box of the pixels of region in exactly this colour; empty when none.
QRect ColourBox(const QImage &image, const QRect &region, QRgb colour)
{
    QRect box;
    const QRect r = region.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixel(x, y) == colour)
                box |= QRect(x, y, 1, 1);
    return box;
}

/// The analysis screen's time labels beside its upper scroll arrow: the
/// trace view fills the screen's width from its top left corner, keeps the
/// arrows' 63 pixels and 3 more at its right edge free and puts the
/// 80-pixel label column left of that; the arrow is 100 pixels high.
QString LabelsClearOfArrow(const QImage &screen, const QRect &window)
{
    const int right = window.x() + window.width();
    const QRect column(QPoint(right - 147, window.y() + 2), QPoint(right - 68, window.y() + 99));
    const QRect clearance(QPoint(right - 67, window.y() + 2), QPoint(right - 64, window.y() + 99));
    if (InkPixels(screen, column) < 20)
        return QStringLiteral("no time labels left of the arrows");
    if (InkPixels(screen, clearance) != 0)
        return QStringLiteral("something drawn between the time labels and the arrows");
    return QString();
}

/// The value of key in a Key=value file; empty when it is not there.
QString KeyValue(const QString &path, const QString &key)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (text.startsWith(key + QLatin1Char('=')))
            return text.mid(key.size() + 1);
    }
    return QString();
}

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TstE2e : public QObject
{
    Q_OBJECT

public:
    TstE2e() = default;

private:
    UnitSimulator m_sim;
    NormalUploadServer m_normal;
    WitnessUploadServer m_witness;
    QTemporaryDir m_stick;
    std::unique_ptr<VirtualDisplay> m_display;
    std::unique_ptr<ProgramUnderTest> m_zeb;
    int m_channels = 12;

    QString shotsFolder() const
    {
        QString name = QString::fromLatin1(QTest::currentTestFunction());
        if (QTest::currentDataTag())
            name += QLatin1Char('-') + QString::fromLatin1(QTest::currentDataTag());
        return QStringLiteral(E2E_SHOTS_DIR "/") + name;
    }

    bool launch(QSize size, QString *error)
    {
        m_display = std::make_unique<VirtualDisplay>();
        if (!m_display->Start(size, error))
            return false;
        m_zeb = std::make_unique<ProgramUnderTest>(m_display->Name(), shotsFolder());
        return true;
    }

    /// Starts the program; first: the window it opens with (the launcher, or a message over it).
    bool start(QString *error, const QString &first = QStringLiteral("CDlgZEB"))
    {
        const QStringList args{QStringLiteral("--instrument"),
                               QStringLiteral("127.0.0.1:%1").arg(m_sim.Port()),
                               QStringLiteral("--upload-server"),
                               QStringLiteral("127.0.0.1:%1").arg(m_normal.Port()),
                               QStringLiteral("--upload-gateway"),
                               QStringLiteral("127.0.0.1:%1").arg(m_witness.Port()),
                               QStringLiteral("--usb-stick"),
                               m_stick.path()};
        if (!m_zeb->Start(args, error))
            return false;
        if (!m_zeb->WaitForTop(first)) {
            *error = QStringLiteral("%1 never showed: ").arg(first) + m_zeb->Output();
            return false;
        }
        return true;
    }

    QString ended(const QString &where)
    {
        // Only ever built for a failure: the picture shows what the operator saw.
        if (m_zeb->Alive())
            m_zeb->Shot(QStringLiteral("FAILED-") + QString(where).replace(QLatin1Char(' '), QLatin1Char('-')));
        return QStringLiteral("at \"%1\": zeb %2; top window \"%3\"; output: %4")
            .arg(where, m_zeb->Alive() ? QStringLiteral("runs") : QStringLiteral("ended with %1").arg(m_zeb->ExitCode()),
                 m_zeb->Alive() ? m_zeb->TopRole() : QString(), m_zeb->Output().right(4000));
    }

    /// A record of the program's own making, placed before it starts.
    QString placeRecord(const QString &name, float level, float intervalUs = 0)
    {
        TestProgramDir scratch;
        ParamSet &p = CurrentParams();
        if (intervalUs != 0)
            p.Header.SampleInterval = intervalUs;
        for (int c = 0; c < p.ChannelsInUse(); ++c) {
            QVector<float> t;
            for (int i = 0; i < p.SampleLengthInUse(); ++i)
                t << level * std::sin(0.01f * float(i * (c + 1)));
            Store().Traces[size_t(c)] = t;
        }
        QDir().mkpath(m_zeb->DataPath(QString::fromLatin1(kProject)));
        const QString path = m_zeb->DataPath(QStringLiteral("%1/%2.QDW").arg(QString::fromLatin1(kProject), name));
        return WriteRecord(p, path) == RecordOk ? path : QString();
    }

    /// Reads a record file here, as the record tool would: its parameters and traces.
    bool readBack(const QString &path, ParamSet &p, TraceSet &traces)
    {
        const int r = ReadRecordFile(p, path, nullptr);
        traces = Store().Traces;
        return r == RecordOk;
    }

    /// Whether a record file holds the shot the unit sent, as the program files it.
    QString holdsShot(const QString &path, const RawShot &raw)
    {
        ParamSet p;
        TraceSet traces;
        if (!readBack(path, p, traces))
            return path + QStringLiteral(" is not a readable record");
        for (int c = 1; c <= m_channels; ++c)
            if (Mismatch(traces[size_t(c - 1)], Filed(raw[c], p.Gains[size_t(c - 1)], p.Header.TriggerMethod)) >= 1e-4)
                return QStringLiteral("%1: channel %2 is not the unit's").arg(path).arg(c);
        return QString();
    }

    /// Whether a message box opened after the first from characters of output names text.
    bool toldAfter(int from, const QString &text)
    {
        const QString later = m_zeb->Output().mid(from);
        const int at = later.indexOf(QStringLiteral("message:"));
        return at >= 0 && later.indexOf(text, at) > at;
    }

    RawShot rawShot() const
    {
        RawShot raw(m_channels + 1);
        for (int c = 1; c <= m_channels; ++c)
            raw[c] = m_sim.ChannelSamples(c);
        return raw;
    }

    // --- operator steps, each returning false with the reason in *why ------

    bool enterAcquisition(QString *why)
    {
        m_zeb->Keys({QStringLiteral("alt+s")});
        if (!m_zeb->WaitForTop(QStringLiteral("CDlgMain")) && !m_zeb->WaitForTop(QStringLiteral("QDlgLink"), 2000)) {
            *why = ended(QStringLiteral("open the acquisition screen"));
            return false;
        }
        // The connection window goes once the unit answered.
        if (!m_zeb->WaitForGone(QStringLiteral("QDlgLink")) || !m_zeb->WaitForTop(QStringLiteral("CDlgMain"))) {
            *why = ended(QStringLiteral("connect to the unit"));
            return false;
        }
        // The screen asks for the battery on its first tick after connecting;
        // until that is answered it refuses commands as an operator would see.
        if (!Eventually([&] { return m_sim.Received('c') > 0 || !m_zeb->Alive(); }, 10000)) {
            *why = ended(QStringLiteral("first battery poll"));
            return false;
        }
        m_zeb->WaitForStill(QStringLiteral("acquisition"));
        return true;
    }

    /// Presses "采样(S)" until the unit gets the parameters. A command while
    /// the screen still waits for the unit (the battery poll) is refused with
    /// a message; the operator closes it and tries again.
    bool startShot(const QString &name)
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const int asked = m_sim.Received('d');
            m_zeb->Keys({QStringLiteral("alt+s")});
            Eventually([&] { return m_sim.Received('d') > asked || m_zeb->TopRole() != QLatin1String("CDlgMain"); },
                       10000);
            if (m_sim.Received('d') > asked)
                return true;
            if (m_zeb->TopRole() != QLatin1String("CDlgMsgBox"))
                return false;
            m_zeb->Shot(name + QStringLiteral("-refused"));
            m_zeb->Keys({QStringLiteral("Return")});
            m_zeb->WaitForTop(QStringLiteral("CDlgMain"));
        }
        return false;
    }

    /// One shot; waits for fetched channels and a still screen.
    bool shoot(int fetched, const QString &name, QString *why)
    {
        const int before = m_sim.Received('j');
        startShot(name);
        if (!Eventually([&] { return m_sim.Received('j') >= before + fetched || !m_zeb->Alive(); }, 20000)
            || m_sim.Received('j') != before + fetched) {
            *why = ended(name) + QStringLiteral(" (channels fetched: %1; unit saw %2)")
                                     .arg(m_sim.Received('j') - before)
                                     .arg(m_sim.CommandLog().join(QLatin1Char(' ')));
            return false;
        }
        m_zeb->WaitForStill(name);
        return m_zeb->Alive() || (*why = ended(name), false);
    }

    /// Presses keys and waits for role on top.
    bool press(const QStringList &keys, const QString &role, const QString &name, QString *why, int ms = 10000)
    {
        m_zeb->Keys(keys);
        if (!m_zeb->WaitForTop(role, ms)) {
            *why = ended(name) + QStringLiteral(" (expected \"%1\")").arg(role);
            return false;
        }
        m_zeb->Shot(name);
        return true;
    }

    /// Types a record name on the text keypad and confirms it.
    bool saveAs(const QString &name, QString *why)
    {
        if (!press({QStringLiteral("alt+w")}, QStringLiteral("QDlgKeyText"), QStringLiteral("save-keypad"), why))
            return false;
        QStringList keys;
        for (QChar ch : name)
            keys << QString(ch.toLower());
        m_zeb->Keys(keys);
        return press({QStringLiteral("alt+Return")}, QStringLiteral("CDlgMsgBox"), QStringLiteral("save-") + name, why);
    }

    /// Reads the first record of the project through the browser.
    bool readFirstRecord(const QString &name, QString *why)
    {
        if (!press({QStringLiteral("alt+r")}, QStringLiteral("FileSelectDlg"), name + QStringLiteral("-browser"), why))
            return false;
        m_zeb->Keys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
        if (!Eventually([&] { return !m_zeb->Alive() || !m_zeb->HasWindow(QStringLiteral("FileSelectDlg")); }, 10000)
            || !m_zeb->WaitForGone(QStringLiteral("Prodwidget"))) {
            *why = ended(name);
            return false;
        }
        return true;
    }

    /// Presses Enter on the connection window: a failure leaves the focus on "重试".
    void retryByEnter()
    {
        m_zeb->Keys({QStringLiteral("Return")});
    }

    /// The border of a small dialog: dark pixels along its outermost ring.
    bool framed(const QImage &screen, const QRect &g)
    {
        int dark = 0, all = 0;
        auto probe = [&](int x, int y) {
            if (!screen.rect().contains(x, y))
                return;
            ++all;
            dark += qGray(screen.pixel(x, y)) < 128;
        };
        for (int x = g.left(); x <= g.right(); ++x) {
            probe(x, g.top());
            probe(x, g.bottom());
        }
        for (int y = g.top(); y <= g.bottom(); ++y) {
            probe(g.left(), y);
            probe(g.right(), y);
        }
        return all > 0 && dark * 10 >= all * 9;
    }

    bool checkFramed(const QString &role, const QString &name, QString *why)
    {
        const XWindow w = m_zeb->Window(role);
        const QImage screen = m_zeb->Shot(name);
        if (w.Id.isEmpty() || !framed(screen, w.Geometry)) {
            *why = QStringLiteral("%1 at %2,%3 %4x%5 has no visible border").arg(role).arg(w.Geometry.x())
                       .arg(w.Geometry.y()).arg(w.Geometry.width()).arg(w.Geometry.height());
            return false;
        }
        return true;
    }

    /// Settings → "更多设置" → the automatic-saving switch → back; the switch as the file keeps it.
    bool switchAutoSave(const QString &name, QString *why)
    {
        if (!press({QStringLiteral("alt+m")}, QStringLiteral("CDlgSet"), name + QStringLiteral("-settings"), why)
            || !press({QStringLiteral("alt+g")}, QStringLiteral("CDlgMoreSettings"), name + QStringLiteral("-more"), why))
            return false;
        const QString before = KeyValue(prefsFile(), QStringLiteral("AutoSave"));
        m_zeb->Keys({QStringLiteral("Return")});
        if (!Eventually([&] { return KeyValue(prefsFile(), QStringLiteral("AutoSave")) != before; }, 10000)) {
            *why = ended(name) + QStringLiteral(" (AutoSave stayed \"%1\")").arg(before);
            return false;
        }
        m_zeb->WaitForStill(name + QStringLiteral("-switched"));
        return press({QStringLiteral("Escape")}, QStringLiteral("CDlgSet"), name + QStringLiteral("-more-left"), why)
               && press({QStringLiteral("Escape")}, QStringLiteral("CDlgMain"), name + QStringLiteral("-settings-left"), why);
    }

    QString prefsFile() const { return QDir(m_zeb->Dir()).filePath(QStringLiteral("ZEBPREFS.ini")); }

    /// The trace view's band of the acquisition screen, below the status fields and above the commands.
    QRect traceBand() const
    {
        const QRect g = m_zeb->Window(QStringLiteral("CDlgMain")).Geometry;
        return QRect(g.x(), g.y() + g.height() * 20 / 100, g.width(), g.height() * 45 / 100);
    }

#define DO(call)                                                                                                       \
    do {                                                                                                               \
        QString why_;                                                                                                  \
        if (!(call))                                                                                                   \
            QFAIL(qPrintable(why_));                                                                                   \
    } while (false)
#define WHY (&why_)
#define CHECK(condition, where)                                                                                        \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            QFAIL(qPrintable(ended(where)));                                                                           \
    } while (false)
#define ALIVE(step) CHECK(m_zeb->Alive(), QStringLiteral(step))

private slots:
    void initTestCase()
    {
        QString missing;
        if (!E2eToolsPresent(&missing))
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps.sh installs it)").arg(missing)));
        QVERIFY(m_sim.Start(0));
        QVERIFY(m_normal.Start(0));
        QVERIFY(m_witness.Start(0));
        QVERIFY(m_stick.isValid());
    }

    void init()
    {
        m_sim.ClearFaults();
        m_sim.ResetCounters();
        m_sim.SetTriggerWaitMs(kTriggerWaitMs);
        m_sim.SetTimeScale(0);
        m_normal.ClearFaults();
        m_witness.ClearFaults();
        for (const QString &e : QDir(m_stick.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            QDir(m_stick.filePath(e)).removeRecursively();
    }

    void cleanup()
    {
        m_zeb.reset();
        m_display.reset();
        if (!m_sim.IsRunning())
            QVERIFY(m_sim.Start(m_sim.Port()));
    }

    // Launcher, a shot, stacking with locks, three shots, an undo, save,
    // read back, analysis, settings, self-check, back to the launcher.
    void mainFlow_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("800x480") << kSmall;
        QTest::newRow("1024x600") << kLarge;
    }

    void mainFlow()
    {
        QFETCH(QSize, size);
        QString error;
        QVERIFY2(launch(size, &error) && start(&error), qPrintable(error));
        m_zeb->Shot(QStringLiteral("launcher"));
        DO(enterAcquisition(WHY));

        DO(shoot(m_channels, QStringLiteral("first-shot"), WHY));
        QList<RawShot> shots{rawShot()};

        // Stacking with channels 1 and 3 locked.
        DO(press({QStringLiteral("alt+d")}, QStringLiteral("CDlgMsgQuestion"), QStringLiteral("stack-question"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgCHLock"), QStringLiteral("channel-locks"), WHY));
        // The buttons stand in columns of six: the highlight goes from
        // channel 1 straight down to channel 2.
        const QRect lockDialog = m_zeb->Window(QStringLiteral("CDlgCHLock")).Geometry;
        const QRgb highlight = qRgb(0, 255, 255);
        m_zeb->Keys({QStringLiteral("Down")});
        const QRect channel1 = ColourBox(m_zeb->WaitForStill(QStringLiteral("lock-on-1")), lockDialog, highlight);
        m_zeb->Keys({QStringLiteral("Return"), QStringLiteral("Down")});
        const QRect channel2 = ColourBox(m_zeb->WaitForStill(QStringLiteral("lock-on-2")), lockDialog, highlight);
        QVERIFY2(!channel1.isEmpty() && !channel2.isEmpty(), "no highlighted channel button");
        QVERIFY2(std::abs(channel1.left() - channel2.left()) <= 2 && channel2.top() > channel1.bottom(),
                 "channel 2 does not stand below channel 1");
        m_zeb->Keys({QStringLiteral("Down"), QStringLiteral("Return")});
        DO(press({QStringLiteral("alt+Return")}, QStringLiteral("CDlgMain"), QStringLiteral("locks-chosen"), WHY));
        for (int k = 1; k <= 3; ++k) {
            const QList<int> before = m_sim.ChannelRequests();
            DO(shoot(m_channels - 2, QStringLiteral("stack-%1").arg(k), WHY));
            const QList<int> asked = m_sim.ChannelRequests().mid(before.size());
            QVERIFY2(!asked.contains(1) && !asked.contains(3), "a locked channel was fetched");
            shots << rawShot();
        }
        DO(press({QStringLiteral("alt+u")}, QStringLiteral("CDlgMsgQuestion"), QStringLiteral("undo-question"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgMain"), QStringLiteral("undone"), WHY));

        DO(saveAs(QStringLiteral("E2E1"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgMain"), QStringLiteral("saved"), WHY));
        const QImage cleared = m_zeb->WaitForStill(QStringLiteral("cleared-after-save"));
        const QString saved = m_zeb->DataPath(QStringLiteral("QUARTZON.PRO/E2E1.QDW"));
        QVERIFY2(QFile::exists(saved), qPrintable(saved));

        // What was saved is the stack the unit's samples make: locked channels
        // keep the first shot, the others average shots 1–3 (the fourth undone).
        ParamSet p;
        TraceSet traces;
        QVERIFY(readBack(saved, p, traces));
        for (int c = 1; c <= m_channels; ++c) {
            const int gain = p.Gains[size_t(c - 1)];
            QVector<float> t = Filed(shots[0][c], gain, p.Header.TriggerMethod);
            if (c != 1 && c != 3) {
                for (int k = 1; k <= 3; ++k) {
                    const QVector<float> s = Filed(shots[k][c], gain, p.Header.TriggerMethod);
                    for (int i = 0; i < t.size(); ++i)
                        t[i] = (t[i] + s[i]) * 0.5f;
                }
                const QVector<float> undone = Filed(shots[3][c], gain, p.Header.TriggerMethod);
                for (int i = 0; i < t.size(); ++i)
                    t[i] = 2 * t[i] - undone[i];
            }
            QVERIFY2(Mismatch(traces[size_t(c - 1)], t) < 1e-4, qPrintable(QStringLiteral("channel %1").arg(c)));
        }

        // Read it back: the program must live on and show the traces.
        DO(readFirstRecord(QStringLiteral("read-back"), WHY));
        ALIVE("read back");
        CHECK(m_zeb->WaitForTop(QStringLiteral("CDlgMain")), QStringLiteral("read back"));
        const QImage read = m_zeb->WaitForStill(QStringLiteral("read-back"));
        const QRect screen = m_zeb->Window(QStringLiteral("CDlgMain")).Geometry;
        QVERIFY2(ChangedPixels(cleared, read, screen) > screen.width() * screen.height() / 50,
                 "the trace area stayed blank after the read");

        // The cursor: a touch on the traces, then a keypad step; the status
        // fields (time, amplitude) follow the step as they follow the touch.
        m_zeb->Touch(screen.center());
        const QImage touched = m_zeb->WaitForStill(QStringLiteral("cursor-touched"));
        const QRect status(screen.x(), screen.y(), screen.width(), screen.height() * 18 / 100);
        QVERIFY2(ChangedPixels(read, touched, status) > 0, "a touch on the traces left the status fields as they were");
        m_zeb->Keys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down")});
        const QImage stepped = m_zeb->WaitForStill(QStringLiteral("cursor-stepped"));
        QVERIFY2(ChangedPixels(touched, stepped, screen) > 0, "Down did not move the cursor");
        QVERIFY2(ChangedPixels(touched, stepped, status) > 0, "the status fields kept the old cursor after Down");

        // Analysis: zoom, filter, spectrum, dispersion image, and back.
        const QByteArray savedBytes = FileBytes(saved);
        DO(press({QStringLiteral("alt+a")}, QStringLiteral("CDlgAnalysis"), QStringLiteral("analysis"), WHY));
        const QRect analysis = m_zeb->Window(QStringLiteral("CDlgAnalysis")).Geometry;
        QString labels = LabelsClearOfArrow(m_zeb->WaitForStill(QStringLiteral("analysis-drawn")), analysis);
        QVERIFY2(labels.isEmpty(), qPrintable(labels));
        m_zeb->Keys({QStringLiteral("alt+e"), QStringLiteral("alt+d")});
        labels = LabelsClearOfArrow(m_zeb->WaitForStill(QStringLiteral("analysis-zoomed")), analysis);
        QVERIFY2(labels.isEmpty(), qPrintable(labels));
        ALIVE("zoom");
        DO(press({QStringLiteral("alt+f")}, QStringLiteral("CDlgSetFilt"), QStringLiteral("filter"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgAnalysis"), QStringLiteral("filtered"), WHY));
        DO(press({QStringLiteral("alt+a")}, QStringLiteral("CDlgPingPu"), QStringLiteral("spectrum"), WHY));
        const QImage fullRange = m_zeb->WaitForStill(QStringLiteral("spectrum-drawn"));
        // The start of the range typed on the keypad (its text edited from
        // the end): the spectrum is worked out again over what is left.
        DO(press({QStringLiteral("alt+h")}, QStringLiteral("QDlgKeyNum"), QStringLiteral("spectrum-start"), WHY));
        QStringList typed(8, QStringLiteral("BackSpace"));
        typed << QStringLiteral("2") << QStringLiteral("0") << QStringLiteral("alt+Return"); // Return presses the focused key
        DO(press(typed, QStringLiteral("CDlgPingPu"), QStringLiteral("spectrum-from-20ms"), WHY));
        const QRect spectrum = m_zeb->Window(QStringLiteral("CDlgPingPu")).Geometry;
        QVERIFY2(ChangedPixels(fullRange, m_zeb->WaitForStill(QStringLiteral("spectrum-redrawn")), spectrum) > 0,
                 "the spectrum did not follow its new start");
        DO(press({QStringLiteral("Escape")}, QStringLiteral("CDlgAnalysis"), QStringLiteral("spectrum-closed"), WHY));
        DO(press({QStringLiteral("alt+x")}, QStringLiteral("CDlgDispersion"), QStringLiteral("dispersion"), WHY, 30000));
        m_zeb->WaitForStill(QStringLiteral("dispersion-drawn"), 60000);
        // The record joins its project's combined curve; its Vs profile is
        // worked out, kept beside the curve and saved as a picture.
        const QString project = m_zeb->DataPath(QString::fromLatin1(kProject));
        m_zeb->Keys({QStringLiteral("alt+a")});
        CHECK(Eventually([&] { return QFileInfo::exists(project + QStringLiteral("/combined_curve.csv")); }, 10000),
              QStringLiteral("add to the combined curve"));
        m_zeb->WaitForStill(QStringLiteral("combined-curve"));
        DO(press({QStringLiteral("p")}, QStringLiteral("CDlgProfile"), QStringLiteral("profile"), WHY, 30000));
        CHECK(Eventually([&] { return QFileInfo::exists(project + QStringLiteral("/combined_profile.csv")) || !m_zeb->Alive(); },
                         120000), QStringLiteral("profile worked out"));
        m_zeb->WaitForStill(QStringLiteral("profile-drawn"));
        // With its longest status line out, the screen still fits the display.
        const QRect profileWindow = m_zeb->Window(QStringLiteral("CDlgProfile")).Geometry;
        QVERIFY2(QRect(QPoint(0, 0), size).contains(profileWindow),
                 qPrintable(QStringLiteral("profile screen %1,%2 %3x%4").arg(profileWindow.x()).arg(profileWindow.y())
                                .arg(profileWindow.width()).arg(profileWindow.height())));
        m_zeb->Keys({QStringLiteral("p")});
        CHECK(Eventually([&] { return QFileInfo::exists(project + QStringLiteral("/profile_1.png")); }, 10000),
              QStringLiteral("save the profile picture"));
        m_zeb->WaitForStill(QStringLiteral("profile-saved"));
        DO(press({QStringLiteral("Escape")}, QStringLiteral("CDlgDispersion"), QStringLiteral("profile-closed"), WHY));
        DO(press({QStringLiteral("Escape")}, QStringLiteral("CDlgAnalysis"), QStringLiteral("dispersion-closed"), WHY));
        DO(press({QStringLiteral("Escape")}, QStringLiteral("CDlgMain"), QStringLiteral("analysis-left"), WHY));
        QVERIFY2(FileBytes(saved) == savedBytes, "the analysis changed the record file");

        // Settings: every button once; each dialog opened and cancelled.
        DO(press({QStringLiteral("alt+m")}, QStringLiteral("CDlgSet"), QStringLiteral("settings"), WHY));
        QStringList opened;
        const int kSettingsItems = 20;
        for (int i = 0; i < kSettingsItems; ++i) {
            m_zeb->Keys({QStringLiteral("Return")});
            const bool other = Eventually([&] { return m_zeb->TopRole() != QLatin1String("CDlgSet"); }, 1500);
            const QString top = m_zeb->TopRole();
            ALIVE("settings button");
            if (!other) {
                m_zeb->Keys({QStringLiteral("Return")}); // a switch: put it back
            } else if (top == QLatin1String("CDlgMain")) {
                // The screen's own OK: open it again where we were.
                DO(press({QStringLiteral("alt+m")}, QStringLiteral("CDlgSet"), QStringLiteral("settings-again"), WHY));
                for (int k = 0; k <= i; ++k)
                    m_zeb->Keys({QStringLiteral("Right")});
                continue;
            } else {
                opened << top;
                m_zeb->Shot(QStringLiteral("settings-") + top);
                // Cancelled, never confirmed: the clock is never set.
                m_zeb->Keys({QStringLiteral("Escape")});
                // The colour, gain and sensor dialogs close through their OK
                // only; taking them unchanged is harmless. The clock's OK never.
                if (!m_zeb->WaitForTop(QStringLiteral("CDlgSet"), 2000) && top != QLatin1String("TimeDateDlg"))
                    m_zeb->Keys({QStringLiteral("alt+Return")});
                CHECK(m_zeb->WaitForTop(QStringLiteral("CDlgSet")), QStringLiteral("leave ") + top);
            }
            m_zeb->Keys({QStringLiteral("Right")});
        }
        for (const char *dialog : {"QDlgKeyText", "QDlgKeyNum", "CDlgSetColor", "CDlgGain", "CDlgSetSensor", "TimeDateDlg"})
            QVERIFY2(opened.contains(QString::fromLatin1(dialog)), dialog);
        DO(press({QStringLiteral("Escape")}, QStringLiteral("CDlgMain"), QStringLiteral("settings-left"), WHY));

        // Self-check: clear the read record first (it is not the operator's).
        DO(press({QStringLiteral("alt+u")}, QStringLiteral("CDlgMsgQuestion"), QStringLiteral("clear-question"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgMain"), QStringLiteral("cleared"), WHY));
        for (bool keep : {true, false}) {
            const QString tag = keep ? QStringLiteral("kept") : QStringLiteral("dropped");
            DO(press({QStringLiteral("alt+c")}, QStringLiteral("CDlgAutoCheck"), QStringLiteral("self-check"), WHY));
            const int rounds = m_sim.Received('h');
            CHECK(Eventually([&] { return m_sim.Received('h') >= rounds + 2 || !m_zeb->Alive(); }, 15000), QStringLiteral("self-check rounds"));
            m_zeb->WaitForStill(QStringLiteral("self-check-") + tag);
            m_zeb->Keys(keep ? QStringList{QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("Return")}
                             : QStringList{QStringLiteral("Escape")});
            CHECK(m_zeb->WaitForTop(QStringLiteral("CDlgMain")), tag);
            m_zeb->WaitForStill(QStringLiteral("self-check-") + tag + QStringLiteral("-back"));
        }

        // Leave to the launcher, and leave the program.
        DO(press({QStringLiteral("Escape")}, QStringLiteral("CDlgMsgQuestion"), QStringLiteral("exit-question"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgZEB"), QStringLiteral("launcher-again"), WHY));
        m_zeb->Keys({QStringLiteral("Escape")});
        QVERIFY2(Eventually([&] { return !m_zeb->Alive(); }, 10000), "the launcher did not end the program");
        QCOMPARE(m_zeb->ExitCode(), 0);
    }
    // A field day at 800 × 480: the site-noise monitor, a shot with a dead
    // geophone, automatic saving, and a shot that outlives the program.
    void fieldDay()
    {
        QString error;
        QVERIFY2(launch(kSmall, &error) && start(&error), qPrintable(error));
        DO(enterAcquisition(WHY));
        const QImage empty = m_zeb->Shot(QStringLiteral("empty"));
        DO(shoot(m_channels, QStringLiteral("first-shot"), WHY));
        const QByteArray operatorFrame = m_sim.LastParaFrame();
        QVERIFY(!operatorFrame.isEmpty());
        // Saved, so that nothing unsaved keeps the unit from being lent to the monitor.
        DO(saveAs(QStringLiteral("0007"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgMain"), QStringLiteral("saved"), WHY));

        // The monitor: rounds follow one another; the threshold moves and is kept.
        DO(press({QStringLiteral("alt+n")}, QStringLiteral("CDlgNoiseMonitor"), QStringLiteral("monitor"), WHY));
        const int rounds = m_sim.Received('h');
        CHECK(Eventually([&] { return m_sim.Received('h') >= rounds + 3 || !m_zeb->Alive(); }, 15000),
              QStringLiteral("monitor rounds"));
        const QByteArray monitorFrame = m_sim.LastParaFrame();
        QVERIFY2(monitorFrame != operatorFrame, "the monitor's records went under the operator's frame");
        const QImage monitoring = m_zeb->Shot(QStringLiteral("monitoring"));
        m_zeb->Keys({QStringLiteral("alt+u"), QStringLiteral("alt+u"), QStringLiteral("alt+d")});
        CHECK(Eventually([&] { return KeyValue(prefsFile(), QStringLiteral("MonitorThresholdDb")).toDouble() == -15.0; }, 10000),
              QStringLiteral("threshold up, up, down: ") + KeyValue(prefsFile(), QStringLiteral("MonitorThresholdDb")));
        const QRect monitor = m_zeb->Window(QStringLiteral("CDlgNoiseMonitor")).Geometry;
        QVERIFY2(ChangedPixels(monitoring, m_zeb->Shot(QStringLiteral("threshold-moved")),
                               QRect(monitor.x(), monitor.y(), monitor.width(), monitor.height() / 10)) > 0,
                 "the threshold's text stayed as it was");
        DO(press({QStringLiteral("Escape")}, QStringLiteral("CDlgMain"), QStringLiteral("monitor-left"), WHY));
        QVERIFY2(Eventually([&] { return m_sim.LastParaFrame() == operatorFrame; }, 10000),
                 "the unit did not get the operator's parameters back");

        // A dead geophone: no box in the crew's way, a mark, and the list on Alt+Q.
        SensorFault dead;
        dead.Dead = true;
        m_sim.SetSensorFault(5, dead);
        const int quiet = m_zeb->Output().size();
        DO(shoot(m_channels, QStringLiteral("dead-channel-shot"), WHY));
        m_sim.ClearSensorFaults();
        const QImage checked = m_zeb->WaitForStill(QStringLiteral("quality-marked"));
        QCOMPARE(m_zeb->TopRole(), QStringLiteral("CDlgMain"));
        QVERIFY2(!m_zeb->Output().mid(quiet).contains(QStringLiteral("message:")), "the shot check opened a box");
        const QRect main = m_zeb->Window(QStringLiteral("CDlgMain")).Geometry;
        const QRect mark = ColourBox(checked, main, qRgb(255, 96, 0));
        QVERIFY2(!mark.isEmpty() && mark.width() < main.width() / m_channels, "not one channel marked");
        const int listed = m_zeb->Output().size();
        DO(press({QStringLiteral("alt+q")}, QStringLiteral("CDlgMsgBox"), QStringLiteral("quality-list"), WHY));
        QVERIFY2(Eventually([&] { return toldAfter(listed, QStringLiteral("第5道")); }, 5000),
                 "the list does not name channel 5");
        QVERIFY2(!m_zeb->Output().mid(listed).contains(QStringLiteral("第4道")), "a good channel is listed");
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgMain"), QStringLiteral("quality-list-closed"), WHY));
        // The settings wait until the shot on screen is dealt with: dropped here.
        DO(press({QStringLiteral("alt+u")}, QStringLiteral("CDlgMsgQuestion"), QStringLiteral("clear-question"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgMain"), QStringLiteral("cleared"), WHY));

        // Automatic saving: two shots become the project's next numbered records.
        DO(switchAutoSave(QStringLiteral("autosave-on"), WHY));
        QCOMPARE(KeyValue(prefsFile(), QStringLiteral("AutoSave")), QStringLiteral("true"));
        for (const QString &name : {QStringLiteral("0008"), QStringLiteral("0009")}) {
            DO(shoot(m_channels, QStringLiteral("auto-") + name, WHY));
            const QString path = m_zeb->DataPath(QStringLiteral("%1/%2.QDW").arg(QString::fromLatin1(kProject), name));
            CHECK(Eventually([&] { return QFileInfo::exists(path); }, 10000), QStringLiteral("saved as ") + name);
            const QString held = holdsShot(path, rawShot());
            QVERIFY2(held.isEmpty(), qPrintable(held));
        }
        QCOMPARE(m_zeb->TopRole(), QStringLiteral("CDlgMain"));
        DO(switchAutoSave(QStringLiteral("autosave-off"), WHY));
        QCOMPARE(KeyValue(prefsFile(), QStringLiteral("AutoSave")), QStringLiteral("false"));

        // A shot on screen, never saved, when the program dies.
        const QDir journal(QDir(m_zeb->Dir()).filePath(QStringLiteral("QDW-JOURNAL")));
        const QStringList kept = journal.entryList(QDir::Files);
        DO(shoot(m_channels, QStringLiteral("unsaved-shot"), WHY));
        const RawShot unsaved = rawShot();
        QVERIFY2(Eventually([&] { return journal.entryList(QDir::Files) != kept; }, 10000), "the shot was not journalled");
        QVERIFY2(!QFileInfo::exists(m_zeb->DataPath(QStringLiteral("QUARTZON.PRO/0010.QDW"))), "saved automatically while off");
        m_zeb->Kill();
        QVERIFY2(start(&error), qPrintable(error));
        const int polls = m_sim.Received('c');
        m_zeb->Keys({QStringLiteral("alt+s")});
        CHECK(Eventually([&] { return m_zeb->HasWindow(QStringLiteral("CDlgMsgQuestion")) || !m_zeb->Alive(); }, 15000),
              QStringLiteral("offer of the unsaved picture"));
        QVERIFY2(m_zeb->WaitForOutput(QStringLiteral("上次有未保存的数据，是否恢复？")), "another question was asked");
        m_zeb->Shot(QStringLiteral("recovery-question"));
        m_zeb->Keys({QStringLiteral("Return")});
        CHECK(m_zeb->WaitForGone(QStringLiteral("CDlgMsgQuestion")) && m_zeb->WaitForGone(QStringLiteral("QDlgLink"))
                  && m_zeb->WaitForTop(QStringLiteral("CDlgMain")),
              QStringLiteral("recovered"));
        CHECK(Eventually([&] { return m_sim.Received('c') > polls || !m_zeb->Alive(); }, 10000), QStringLiteral("battery poll"));
        const QImage restored = m_zeb->WaitForStill(QStringLiteral("recovered"));
        QVERIFY2(ChangedPixels(empty, restored, traceBand()) > traceBand().width() * traceBand().height() / 50,
                 "the recovered picture is blank");
        DO(saveAs(QStringLiteral("REC1"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgMain"), QStringLiteral("recovered-saved"), WHY));
        const QString held = holdsShot(m_zeb->DataPath(QStringLiteral("QUARTZON.PRO/REC1.QDW")), unsaved);
        QVERIFY2(held.isEmpty(), qPrintable(held));

        // The journal as a project of the browser: its pictures can be read.
        DO(press({QStringLiteral("alt+r")}, QStringLiteral("FileSelectDlg"), QStringLiteral("browser"), WHY));
        const QRect browser = m_zeb->Window(QStringLiteral("FileSelectDlg")).Geometry;
        const QImage ownProject = m_zeb->WaitForStill(QStringLiteral("browser-project"));
        m_zeb->Keys({QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("Return")});
        CHECK(Eventually([&] { return m_zeb->Windows().size() >= 3 || !m_zeb->Alive(); }, 10000),
              QStringLiteral("change the project"));
        m_zeb->WaitForStill(QStringLiteral("projects"));
        m_zeb->Keys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
        CHECK(Eventually([&] { return m_zeb->Windows().size() == 2 || !m_zeb->Alive(); }, 10000),
              QStringLiteral("project chosen"));
        const QImage journalList = m_zeb->WaitForStill(QStringLiteral("browser-journal"));
        QVERIFY2(ChangedPixels(ownProject, journalList, browser) > 0, "the journal lists what the project does");
        // The focus stays on " 更换工地 ": back to "确定", down to the first row.
        m_zeb->Keys({QStringLiteral("Left"), QStringLiteral("Left"), QStringLiteral("Down"), QStringLiteral("Down"),
                     QStringLiteral("Return")});
        CHECK(m_zeb->WaitForGone(QStringLiteral("FileSelectDlg")) && m_zeb->WaitForTop(QStringLiteral("CDlgMain")),
              QStringLiteral("journal picture read"));
        const QImage fromJournal = m_zeb->WaitForStill(QStringLiteral("journal-picture"));
        QVERIFY2(ChangedPixels(empty, fromJournal, traceBand()) > traceBand().width() * traceBand().height() / 50,
                 "the journal's picture is blank");
        ALIVE("journal read");
    }

    // A saved shot read back and sent by both protocols; then a fresh,
    // unsaved shot must not travel under the read record's name.
    void uploadFlow_data()
    {
        // The upload form's fields are touched where they sit at each size.
        QTest::addColumn<QSize>("size");
        QTest::newRow("800x480") << kSmall;
        QTest::newRow("1024x600") << kLarge;
    }

    void uploadFlow()
    {
        QFETCH(QSize, size);
        QString error;
        QVERIFY2(launch(size, &error) && start(&error), qPrintable(error));
        DO(enterAcquisition(WHY));
        DO(shoot(m_channels, QStringLiteral("shot"), WHY));
        DO(saveAs(QStringLiteral("UP1"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgMain"), QStringLiteral("saved"), WHY));
        DO(readFirstRecord(QStringLiteral("read"), WHY));
        CHECK(m_zeb->WaitForTop(QStringLiteral("CDlgMain")), QStringLiteral("read"));
        ParamSet p;
        TraceSet traces;
        QVERIFY(readBack(m_zeb->DataPath(QStringLiteral("QUARTZON.PRO/UP1.QDW")), p, traces));

        // Normal upload, opened by its caption's letter.
        const QImage before = m_zeb->WaitForStill(QStringLiteral("before-upload"));
        DO(press({QStringLiteral("alt+l")}, QStringLiteral("CDlgDataUpLoadOpt"), QStringLiteral("chooser"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("cdlgUpLoad"), QStringLiteral("normal-upload"), WHY));
        // The instrument and serial numbers must be given once (touch their fields).
        const QRect form = m_zeb->Window(QStringLiteral("cdlgUpLoad")).Geometry;
        // The columns widen with the screen; the rows keep their height and
        // the form's spare room goes below them.
        const int fieldsRow = 142;
        for (const double across : {0.354, 0.81}) {
            m_zeb->Touch(QPoint(form.x() + int(form.width() * across), form.y() + fieldsRow));
            DO(press({QStringLiteral("7")}, QStringLiteral("QDlgKeyText"), QStringLiteral("upload-field"), WHY));
            DO(press({QStringLiteral("alt+Return")}, QStringLiteral("cdlgUpLoad"), QStringLiteral("upload-field-set"), WHY));
        }
        // The servers live through every case: this upload's end, not an earlier one's.
        QSignalSpy normalDone(&m_normal, &NormalUploadServer::UploadCompleted);
        m_zeb->Keys({QStringLiteral("alt+Return")});
        CHECK(Eventually([&] { return normalDone.count() > 0 || !m_zeb->Alive(); }, 30000), QStringLiteral("normal upload") + m_normal.Problems().join(QLatin1Char('\n')));
        QVERIFY2(m_normal.Problems().isEmpty(), qPrintable(m_normal.Problems().join(QLatin1Char('\n'))));
        QCOMPARE(m_normal.ChannelCount(), m_channels);
        for (int c = 0; c < m_channels; ++c)
            QVERIFY2(m_normal.Trace(c) == traces[size_t(c)], qPrintable(QStringLiteral("normal upload channel %1").arg(c + 1)));
        QVERIFY(m_normal.ParameterFrame().contains("UP1"));
        // Success is told on the status line for a while, without a box.
        CHECK(m_zeb->WaitForTop(QStringLiteral("CDlgMain")), QStringLiteral("after upload"));
        const QImage told = m_zeb->Shot(QStringLiteral("upload-told"));
        const QRect screen = m_zeb->Window(QStringLiteral("CDlgMain")).Geometry;
        // The status fields: the band above the trace view.
        const QRect status(screen.x(), screen.y(), screen.width(), screen.height() * 18 / 100);
        QVERIFY2(ChangedPixels(before, told, status) > 0, "a successful upload left no word on the status line");
        QVERIFY2(Eventually([&] { return ChangedPixels(before, m_zeb->Peek(), status) == 0; }, 15000),
                 "the upload's word never went away");
        m_zeb->Shot(QStringLiteral("upload-word-gone"));

        // Witness upload: the server issues the task, the program sends.
        DO(press({QStringLiteral("alt+l")}, QStringLiteral("CDlgDataUpLoadOpt"), QStringLiteral("chooser-2"), WHY));
        DO(press({QStringLiteral("Right"), QStringLiteral("Return")}, QStringLiteral("CDlgAssitantLoad"),
                 QStringLiteral("witness-upload"), WHY));
        QSignalSpy witnessDone(&m_witness, &WitnessUploadServer::UploadCompleted);
        m_zeb->Keys({QStringLiteral("Return")});
        CHECK(Eventually([&] { return witnessDone.count() > 0 || !m_zeb->Alive(); }, 30000), QStringLiteral("witness upload") + m_witness.Problems().join(QLatin1Char('\n')));
        QVERIFY2(m_witness.Problems().isEmpty(), qPrintable(m_witness.Problems().join(QLatin1Char('\n'))));
        for (int c = 0; c < m_channels; ++c)
            QVERIFY2(m_witness.Trace(c) == traces[size_t(c)], qPrintable(QStringLiteral("witness channel %1").arg(c + 1)));
        m_zeb->Shot(QStringLiteral("witness-done"));
        m_zeb->Keys({QStringLiteral("Escape")});
        if (!Eventually([&] { return !m_zeb->HasWindow(QStringLiteral("CDlgAssitantLoad")); }, 3000)) {
            m_zeb->Keys({QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("Return")});
        }
        CHECK(m_zeb->WaitForGone(QStringLiteral("CDlgAssitantLoad")), QStringLiteral("leave witness"));
        CHECK(m_zeb->WaitForTop(QStringLiteral("CDlgMain")), QStringLiteral("witness left"));

        // A fresh shot after the read: never sent under the read record's name.
        DO(press({QStringLiteral("alt+u")}, QStringLiteral("CDlgMsgQuestion"), QStringLiteral("clear-question"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgMain"), QStringLiteral("cleared"), WHY));
        DO(shoot(m_channels, QStringLiteral("fresh-shot"), WHY));
        const int uploads = m_normal.Frames().size();
        DO(press({QStringLiteral("alt+l")}, QStringLiteral("CDlgDataUpLoadOpt"), QStringLiteral("chooser-3"), WHY));
        DO(press({QStringLiteral("Left"), QStringLiteral("Return")}, QStringLiteral("cdlgUpLoad"),
                 QStringLiteral("fresh-upload"), WHY));
        m_zeb->Keys({QStringLiteral("alt+Return")});
        CHECK(Eventually([&] { return (m_normal.Frames().size() > uploads && m_normal.Completed()) || !m_zeb->Alive(); },
                           30000), QStringLiteral("fresh upload"));
        QVERIFY2(!m_normal.ParameterFrame().contains("UP1"), "an unsaved shot was sent under the read record's name");
        ALIVE("fresh upload");
    }

    // Export to the test stick, then deletion (two stray Enters delete nothing).
    void exportAndDelete()
    {
        QString error;
        QVERIFY2(launch(kSmall, &error), qPrintable(error));
        const QString record = placeRecord(QStringLiteral("EXP1"), 3.0f);
        QVERIFY(!record.isEmpty());
        // A record whose interval SEG-2 cannot state travels without its SEG-2 file.
        const QString odd = placeRecord(QStringLiteral("NOSG2"), 3.0f, std::numeric_limits<float>::quiet_NaN());
        QVERIFY(!odd.isEmpty());
        QVERIFY2(start(&error), qPrintable(error));

        DO(press({QStringLiteral("alt+e")}, QStringLiteral("FileSelectDlg"), QStringLiteral("export-browser"), WHY));
        m_zeb->Keys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
        CHECK(m_zeb->WaitForTop(QStringLiteral("CDlgMsgBox"), 20000), QStringLiteral("export"));
        DO(checkFramed(QStringLiteral("CDlgMsgBox"), QStringLiteral("exported"), WHY));
        QVERIFY2(m_zeb->WaitForOutput(QStringLiteral("message: 导出文件成功！")), "the export did not say it succeeded");
        const int told = m_zeb->Output().size();
        m_zeb->Keys({QStringLiteral("Return")});
        CHECK(Eventually([&] { return toldAfter(told, QStringLiteral("NOSG2")); }, 10000)
                  && m_zeb->WaitForTop(QStringLiteral("CDlgMsgBox")),
              QStringLiteral("the record without a SEG-2 file named"));
        m_zeb->Shot(QStringLiteral("no-seg2-named"));
        DO(press({QStringLiteral("Return")}, QStringLiteral("FileSelectDlg"), QStringLiteral("export-done"), WHY));
        for (const QString &name : {record, odd}) {
            const QString copy = m_stick.filePath(QStringLiteral("QUARTZON.PRO/") + QFileInfo(name).fileName());
            QVERIFY2(QFileInfo::exists(copy), qPrintable(copy + QStringLiteral(" is not on the stick")));
            QVERIFY2(FileBytes(copy) == FileBytes(name), qPrintable(copy));
        }
        QVERIFY2(!QDir(m_stick.filePath(QStringLiteral("QUARTZON.SG2"))).entryList(QDir::Files).isEmpty()
                     || QFileInfo(m_stick.filePath(QStringLiteral("QUARTZON.SG2"))).isFile(),
                 "no SEG-2 copy on the stick");
        DO(press({QStringLiteral("Escape")}, QStringLiteral("CDlgZEB"), QStringLiteral("launcher"), WHY));

        // Deletion: Enter on the row and Enter on the question keep everything.
        const QString project = m_zeb->DataPath(QString::fromLatin1(kProject));
        DO(press({QStringLiteral("alt+d")}, QStringLiteral("FileSelectDlg"), QStringLiteral("delete-browser"), WHY));
        DO(press({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")}, QStringLiteral("CDlgMsgQuestion"),
                 QStringLiteral("delete-question"), WHY));
        DO(checkFramed(QStringLiteral("CDlgMsgQuestion"), QStringLiteral("delete-question-framed"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("FileSelectDlg"), QStringLiteral("delete-stray-enter"), WHY));
        QVERIFY2(QFile::exists(record), "two Enter presses deleted the project");

        DO(press({QStringLiteral("Escape")}, QStringLiteral("CDlgZEB"), QStringLiteral("launcher-kept"), WHY));
        DO(press({QStringLiteral("alt+d")}, QStringLiteral("FileSelectDlg"), QStringLiteral("delete-browser-2"), WHY));
        DO(press({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")}, QStringLiteral("CDlgMsgQuestion"),
                 QStringLiteral("delete-question-2"), WHY));
        DO(press({QStringLiteral("Left"), QStringLiteral("Return")}, QStringLiteral("CDlgMsgBox"), QStringLiteral("deleted"), WHY,
                 30000));
        QVERIFY2(!QFileInfo::exists(project), "the project is still there");
        DO(press({QStringLiteral("Return")}, QStringLiteral("FileSelectDlg"), QStringLiteral("delete-done"), WHY));
        DO(press({QStringLiteral("Escape")}, QStringLiteral("CDlgZEB"), QStringLiteral("launcher-again"), WHY));
    }

    // The unit goes away while the program waits for the trigger, and comes back.
    void unitLostDuringTriggerWait()
    {
        QString error;
        QVERIFY2(launch(kSmall, &error) && start(&error), qPrintable(error));
        DO(enterAcquisition(WHY));
        m_sim.SetTriggerWaitMs(-1);
        const int polls = m_sim.Received('f');
        CHECK(startShot(QStringLiteral("shot")), QStringLiteral("start a shot"));
        CHECK(Eventually([&] { return m_sim.Received('f') >= polls + 3 || !m_zeb->Alive(); }, 10000), QStringLiteral("trigger wait"));
        m_zeb->Shot(QStringLiteral("waiting-for-trigger"));
        const quint16 port = m_sim.Port();
        m_sim.Stop();
        // Whatever the program says, it says it in a window and lives on.
        CHECK(Eventually([&] { return !m_zeb->Alive() || m_zeb->TopRole() != QLatin1String("CDlgMain"); }, 20000), QStringLiteral("unit lost"));
        m_zeb->WaitForStill(QStringLiteral("unit-lost"));
        ALIVE("unit lost");
        const QString said = m_zeb->TopRole();

        QVERIFY(m_sim.Start(port));
        m_sim.SetTriggerWaitMs(kTriggerWaitMs);
        // Close what the loss opened; Enter on the connection window reconnects.
        for (int i = 0; i < 5 && m_zeb->TopRole() != QLatin1String("CDlgMain"); ++i) {
            const QString top = m_zeb->TopRole();
            if (top == QLatin1String("QDlgLink"))
                retryByEnter();
            else
                m_zeb->Keys({QStringLiteral("Return")});
            Eventually([&] { return m_zeb->TopRole() != top || !m_zeb->Alive(); }, 10000);
            m_zeb->Shot(QStringLiteral("after-") + top);
        }
        CHECK(m_zeb->WaitForTop(QStringLiteral("CDlgMain")), QStringLiteral("recover from ") + said);
        // A new shot works once the unit is back (the connection window may come first).
        const int before = m_sim.Received('j');
        if (!startShot(QStringLiteral("shot-after-return")) && m_zeb->TopRole() == QLatin1String("QDlgLink")) {
            retryByEnter();
            CHECK(m_zeb->WaitForGone(QStringLiteral("QDlgLink"), 15000), QStringLiteral("reconnect"));
            CHECK(startShot(QStringLiteral("shot-after-reconnect")), QStringLiteral("shot after reconnecting"));
        }
        CHECK(Eventually([&] { return m_sim.Received('j') >= before + m_channels || !m_zeb->Alive(); }, 20000), QStringLiteral("shot after the unit came back; unit saw ") + m_sim.CommandLog().join(QLatin1Char(' ')));
        m_zeb->WaitForStill(QStringLiteral("shot-after-return"));
        ALIVE("shot after the unit came back");
    }

    // A name already in the project: refused, the file untouched.
    void duplicateSaveName()
    {
        QString error;
        QVERIFY2(launch(kSmall, &error), qPrintable(error));
        const QString record = placeRecord(QStringLiteral("DUP1"), 2.0f);
        QVERIFY(!record.isEmpty());
        QFile f(record);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        f.close();
        QVERIFY2(start(&error), qPrintable(error));
        DO(enterAcquisition(WHY));
        DO(shoot(m_channels, QStringLiteral("shot"), WHY));
        DO(saveAs(QStringLiteral("DUP1"), WHY));
        DO(checkFramed(QStringLiteral("CDlgMsgBox"), QStringLiteral("refused-framed"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgMain"), QStringLiteral("refused"), WHY));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);
        f.close();
        // The shot is still there and goes under another name.
        DO(saveAs(QStringLiteral("DUP2"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgMain"), QStringLiteral("saved-other"), WHY));
        QVERIFY(QFile::exists(m_zeb->DataPath(QStringLiteral("QUARTZON.PRO/DUP2.QDW"))));
    }

    // A damaged record: a message, an empty screen, the program alive.
    void damagedRecordRead()
    {
        QString error;
        QVERIFY2(launch(kSmall, &error), qPrintable(error));
        const QString record = placeRecord(QStringLiteral("BAD1"), 2.0f);
        QVERIFY(!record.isEmpty());
        QFile f(record);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(f.size() / 2));
        f.close();
        QVERIFY2(start(&error), qPrintable(error));
        DO(enterAcquisition(WHY));
        DO(press({QStringLiteral("alt+r")}, QStringLiteral("FileSelectDlg"), QStringLiteral("browser"), WHY));
        DO(press({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")}, QStringLiteral("CDlgMsgBox"),
                 QStringLiteral("damaged"), WHY));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgMain"), QStringLiteral("after-damaged"), WHY));
        ALIVE("damaged record");
    }

    // A settings file damaged (a cut during its write, a bad card): put
    // aside, the last good copy or the defaults taken, the operator told
    // once, and the day's work goes on.
    void damagedSettingsAtStart_data()
    {
        QTest::addColumn<bool>("withCopy");
        QTest::addColumn<QString>("told");
        QTest::newRow("last good copy") << true << QStringLiteral("设置文件已损坏，已恢复上次保存的设置");
        QTest::newRow("no copy") << false << QStringLiteral("设置文件已损坏，已恢复默认设置");
    }

    void damagedSettingsAtStart()
    {
        QFETCH(bool, withCopy);
        QFETCH(QString, told);
        QString error;
        QVERIFY2(launch(kSmall, &error), qPrintable(error));
        const QString settings = QDir(m_zeb->Dir()).filePath(QStringLiteral("ZEB.ini"));
        if (withCopy) {
            TestProgramDir scratch;
            SetProgramDir(m_zeb->Dir());
            QCOMPARE(CurrentParams().SaveSettings(), 1);
            QVERIFY(QFile::exists(settings + QStringLiteral(".bak")));
        }
        const QByteArray damaged("ZEB settings cut short \x01\x02", 26);
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(damaged) == damaged.size());
        file.close();

        QVERIFY2(start(&error, QStringLiteral("CDlgMsgBox")), qPrintable(error));
        QVERIFY2(m_zeb->WaitForOutput(told), qPrintable(m_zeb->Output()));
        m_zeb->Shot(QStringLiteral("told"));
        DO(press({QStringLiteral("Return")}, QStringLiteral("CDlgZEB"), QStringLiteral("launcher"), WHY));
        QCOMPARE(FileBytes(settings + QStringLiteral(".damaged")), damaged);
        DO(enterAcquisition(WHY));
        DO(shoot(m_channels, QStringLiteral("shot"), WHY));
        ALIVE("shot after the settings were restored");
    }
};

QTEST_MAIN(TstE2e)
#include "tst_e2e.moc"
