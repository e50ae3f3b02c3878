#pragma once

// Drives the real program on a virtual X display as an operator does: key
// presses and touches through X events, windows found by what X knows of
// them, screenshots of every step. Waits always check a condition against a
// time limit and keep this process's event loop running, so that the unit
// simulator and the upload servers hosted here keep answering.

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

/// One mapped window of the program.
struct XWindow
{
    QString Id;
    QString Role;  ///< the class of the screen or dialog (WM_WINDOW_ROLE)
    QString Title; ///< WM_NAME
    QRect Geometry;
};

/// Whether the tools the suite needs are installed; names the first missing one.
bool E2eToolsPresent(QString *missing);

/// Runs a tool to its end (a few seconds at most); its standard output.
QByteArray RunTool(const QString &program, const QStringList &arguments, const QString &display = QString(),
                   int *exitCode = nullptr);

/// Waits until condition holds, at most ms (stretched under CI), processing events.
bool Eventually(const std::function<bool()> &condition, int ms);

/// An Xvfb server on a display number it chooses itself.
class VirtualDisplay
{
public:
    ~VirtualDisplay();
    bool Start(QSize size, QString *error);
    QString Name() const { return m_name; }
    QSize Size() const { return m_size; }

private:
    QProcess m_server;
    QString m_name;
    QSize m_size;
};

/// The real program, copied into a program folder of its own, on a display.
class ProgramUnderTest
{
public:
    /// shots: folder for this test's screenshots.
    ProgramUnderTest(const QString &display, const QString &shots);
    ~ProgramUnderTest();

    /// The program folder, ready before Start (records, settings can be put in).
    QString Dir() const { return m_dir.path(); }
    QString DataPath(const QString &relative) const;
    /// Starts the program; again after Kill, in the same folder with what it left there.
    bool Start(const QStringList &arguments, QString *error);
    bool Alive();
    /// Ends the program at once (SIGKILL), as a flat battery or a pulled cable would.
    void Kill();
    /// Exit code once it ended, −1 while it runs.
    int ExitCode();
    /// What it printed so far, every message box's text included.
    QString Output();
    /// Waits until its output holds text.
    bool WaitForOutput(const QString &text, int ms = 10000);

    // --- the operator ----------------------------------------------------
    /// xdotool key names ("alt+s", "Return", "e").
    void Keys(const QStringList &keys);
    void Touch(QPoint at);

    // --- what X shows ----------------------------------------------------
    QList<XWindow> Windows() const;
    /// The role of the window mapped last (on top without a window manager).
    QString TopRole() const;
    bool HasWindow(const QString &role) const;
    XWindow Window(const QString &role) const;
    bool WaitForTop(const QString &role, int ms = 10000);
    bool WaitForGone(const QString &role, int ms = 10000);
    /// Screenshot of the whole display, kept as <shots>/<NN>-<step>.png.
    QImage Shot(const QString &step);
    /// Screenshot of the whole display, not kept.
    QImage Peek();
    /// Takes screenshots until two in a row are equal: no banner animating,
    /// no sequence still drawing.
    QImage WaitForStill(const QString &step, int ms = 15000);

private:
    QString m_display;
    QString m_shots;
    int m_shotNumber = 0;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_output;
};

/// Pixels of region in image that differ from its most common colour.
int InkPixels(const QImage &image, const QRect &region);
/// Pixels of region that differ between a and b.
int ChangedPixels(const QImage &a, const QImage &b, const QRect &region);
