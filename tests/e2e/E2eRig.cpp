#include "E2eRig.h"

#include "support/TestProgramDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <map>

namespace {

const int kToolLimitMs = 10000;
const int kServerStartMs = 10000;
// xdotool's own pause between the keys of one call, so that the program
// handles a key before the next one arrives in the same batch.
const char kKeyDelayMs[] = "60";

QProcessEnvironment displayEnvironment(const QString &display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    return env;
}

} // namespace

bool E2eToolsPresent(QString *missing)
{
    for (const char *tool : {"Xvfb", "xdotool", "xprop", "xwininfo", "import"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            *missing = QString::fromLatin1(tool);
            return false;
        }
    }
    return true;
}

QByteArray RunTool(const QString &program, const QStringList &arguments, const QString &display, int *exitCode)
{
    QProcess p;
    if (!display.isEmpty())
        p.setProcessEnvironment(displayEnvironment(display));
    p.start(program, arguments);
    if (!p.waitForFinished(kToolLimitMs)) {
        p.kill();
        p.waitForFinished();
        if (exitCode)
            *exitCode = -1;
        return {};
    }
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

bool Eventually(const std::function<bool()> &condition, int ms)
{
    return QTest::qWaitFor(condition, ScaledTimeout(ms));
}

// --- VirtualDisplay ---------------------------------------------------------

VirtualDisplay::~VirtualDisplay()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(kServerStartMs)) {
            m_server.kill();
            m_server.waitForFinished();
        }
    }
}

bool VirtualDisplay::Start(QSize size, QString *error)
{
    m_size = size;
    // The server picks a free display number and writes it to us: no race
    // with the other suites sharing this machine.
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (!m_server.waitForStarted(kServerStartMs)) {
        *error = QStringLiteral("Xvfb did not start: ") + m_server.errorString();
        return false;
    }
    QByteArray number;
    const bool got = Eventually(
        [&] {
            number += m_server.readAllStandardOutput();
            return number.contains('\n') || m_server.state() == QProcess::NotRunning;
        },
        kServerStartMs);
    if (!got || !number.contains('\n')) {
        *error = QStringLiteral("Xvfb gave no display number: ") + QString::fromLocal8Bit(m_server.readAllStandardError());
        return false;
    }
    m_name = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    int code = -1;
    RunTool(QStringLiteral("xwininfo"), {QStringLiteral("-root")}, m_name, &code);
    if (code != 0) {
        *error = QStringLiteral("display %1 does not answer").arg(m_name);
        return false;
    }
    // The pointer rests in a corner: where it stands decides nothing later.
    RunTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("1"), QStringLiteral("1")}, m_name);
    return true;
}

// --- ProgramUnderTest ------------------------------------------------------

ProgramUnderTest::ProgramUnderTest(const QString &display, const QString &shots)
    : m_display(display)
    , m_shots(shots)
{
    QDir().mkpath(m_shots);
    for (const QString &old : QDir(m_shots).entryList({QStringLiteral("*.png")}, QDir::Files))
        QFile::remove(QDir(m_shots).filePath(old));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

ProgramUnderTest::~ProgramUnderTest()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString ProgramUnderTest::DataPath(const QString &relative) const
{
    return m_dir.filePath(QStringLiteral("QDW-FILE/") + relative);
}

bool ProgramUnderTest::Start(const QStringList &arguments, QString *error)
{
    // The settings file and the data folder live beside the executable.
    const QString copy = m_dir.filePath(QStringLiteral("zeb"));
    if (!QFile::exists(copy) && !QFile::copy(QStringLiteral(ZEB_PROGRAM), copy)) {
        *error = QStringLiteral("cannot copy %1 into %2").arg(QStringLiteral(ZEB_PROGRAM), m_dir.path());
        return false;
    }
    QProcessEnvironment env = displayEnvironment(m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // The program's own notes, message texts among them, whatever this machine's rules say.
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("zeb.*.debug=true"));
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_dir.path());
    m_process.start(copy, arguments);
    if (!m_process.waitForStarted(kServerStartMs)) {
        *error = QStringLiteral("zeb did not start: ") + m_process.errorString();
        return false;
    }
    return true;
}

bool ProgramUnderTest::Alive()
{
    QCoreApplication::processEvents();
    return m_process.state() == QProcess::Running;
}

int ProgramUnderTest::ExitCode()
{
    return Alive() ? -1 : m_process.exitCode();
}

void ProgramUnderTest::Kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished();
    Output();
}

QString ProgramUnderTest::Output()
{
    m_output += QString::fromLocal8Bit(m_process.readAll());
    return m_output;
}

bool ProgramUnderTest::WaitForOutput(const QString &text, int ms)
{
    return Eventually([&] { return Output().contains(text); }, ms);
}

void ProgramUnderTest::Keys(const QStringList &keys)
{
    RunTool(QStringLiteral("xdotool"), QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QString::fromLatin1(kKeyDelayMs)} + keys,
            m_display);
    QCoreApplication::processEvents();
}

void ProgramUnderTest::Touch(QPoint at)
{
    RunTool(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
             QStringLiteral("1")},
            m_display);
    QCoreApplication::processEvents();
}

QList<XWindow> ProgramUnderTest::Windows() const
{
    const QString pid = QString::number(m_process.processId());
    const QString script = QStringLiteral(
        "for w in $(xdotool search --onlyvisible --pid %1 2>/dev/null); do "
        "echo \"WINDOW $w\"; xprop -id $w WM_WINDOW_ROLE _NET_WM_NAME; "
        "xwininfo -id $w | grep -E 'Absolute upper-left|Width:|Height:'; done")
                               .arg(pid);
    const QString text = QString::fromUtf8(RunTool(QStringLiteral("sh"), {QStringLiteral("-c"), script}, m_display));
    QList<XWindow> list;
    static const QRegularExpression quoted(QStringLiteral("= \"(.*)\""));
    static const QRegularExpression number(QStringLiteral(":\\s*(-?\\d+)"));
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("WINDOW "))) {
            list.append(XWindow{line.mid(7).trimmed(), {}, {}, {}});
            continue;
        }
        if (list.isEmpty())
            continue;
        XWindow &w = list.last();
        const auto q = quoted.match(line);
        const auto n = number.match(line);
        if (line.startsWith(QLatin1String("WM_WINDOW_ROLE")) && q.hasMatch())
            w.Role = q.captured(1);
        else if (line.startsWith(QLatin1String("_NET_WM_NAME")) && q.hasMatch())
            w.Title = q.captured(1);
        else if (line.contains(QLatin1String("Absolute upper-left X")) && n.hasMatch())
            w.Geometry.moveLeft(n.captured(1).toInt());
        else if (line.contains(QLatin1String("Absolute upper-left Y")) && n.hasMatch())
            w.Geometry.moveTop(n.captured(1).toInt());
        else if (line.contains(QLatin1String("Width:")) && n.hasMatch())
            w.Geometry.setWidth(n.captured(1).toInt());
        else if (line.contains(QLatin1String("Height:")) && n.hasMatch())
            w.Geometry.setHeight(n.captured(1).toInt());
    }
    // Qt's helper windows carry no role; they are none of the operator's.
    list.erase(std::remove_if(list.begin(), list.end(), [](const XWindow &w) { return w.Role.isEmpty(); }),
               list.end());
    return list;
}

QString ProgramUnderTest::TopRole() const
{
    const QList<XWindow> list = Windows();
    return list.isEmpty() ? QString() : list.last().Role;
}

bool ProgramUnderTest::HasWindow(const QString &role) const
{
    return !Window(role).Id.isEmpty();
}

XWindow ProgramUnderTest::Window(const QString &role) const
{
    const QList<XWindow> list = Windows();
    for (auto it = list.crbegin(); it != list.crend(); ++it)
        if (it->Role == role)
            return *it;
    return {};
}

bool ProgramUnderTest::WaitForTop(const QString &role, int ms)
{
    return Eventually([&] { return TopRole() == role || m_process.state() != QProcess::Running; }, ms)
           && TopRole() == role;
}

bool ProgramUnderTest::WaitForGone(const QString &role, int ms)
{
    return Eventually([&] { return !HasWindow(role) || m_process.state() != QProcess::Running; }, ms)
           && m_process.state() == QProcess::Running;
}

QImage ProgramUnderTest::Shot(const QString &step)
{
    const QString path = QDir(m_shots).filePath(QStringLiteral("%1-%2.png").arg(++m_shotNumber, 2, 10, QLatin1Char('0')).arg(step));
    RunTool(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:") + path},
            m_display);
    QCoreApplication::processEvents();
    QImage image(path);
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage ProgramUnderTest::Peek()
{
    const QString probe = QDir(m_shots).filePath(QStringLiteral("probe.png"));
    RunTool(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:") + probe},
            m_display);
    QCoreApplication::processEvents();
    const QImage image = QImage(probe).convertToFormat(QImage::Format_RGB32);
    QFile::remove(probe);
    return image;
}

QImage ProgramUnderTest::WaitForStill(const QString &step, int ms)
{
    QImage previous;
    QImage current;
    Eventually(
        [&] {
            previous = current;
            current = Peek();
            return !previous.isNull() && previous == current;
        },
        ms);
    return Shot(step);
}

int InkPixels(const QImage &image, const QRect &region)
{
    const QRect r = region.intersected(image.rect());
    std::map<QRgb, int> counts;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            ++counts[image.pixel(x, y)];
    int most = 0;
    int total = 0;
    for (const auto &c : counts) {
        most = std::max(most, c.second);
        total += c.second;
    }
    return total - most;
}

int ChangedPixels(const QImage &a, const QImage &b, const QRect &region)
{
    if (a.size() != b.size())
        return region.width() * region.height();
    const QRect r = region.intersected(a.rect());
    int changed = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            changed += a.pixel(x, y) != b.pixel(x, y);
    return changed;
}
