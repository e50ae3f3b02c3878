#pragma once

#include <QFont>
#include <QLoggingCategory>
#include <QPointer>
#include <QRect>
#include <QString>

class QWidget;

Q_DECLARE_LOGGING_CATEGORY(lcDialogs)

/// The look every screen shares. Screens fill one of these and call SetUpScreen
/// once in their constructor, after building their form.
struct ScreenLook
{
    /// The screen's own style sheet; the focus and disabled sheets of the
    /// parameter set are appended to it.
    QString BaseSheet;
    /// Point size of the "yaheikr" screen font; 0 takes the first font of the parameter set.
    int FontPointSize = 0;
    /// true: frameless and as large as the desktop. false: a small dialog with
    /// a title bar only (no close button) and a border of its own, fixed at
    /// the size its layout gives.
    bool FullScreen = true;
    /// With FullScreen: keep the metering reserve free when metering is on.
    bool ReserveMetering = true;
    /// Take the keyboard, so that this screen alone receives key presses.
    bool GrabKeyboard = true;
};

/// Applies style sheet, font, window flags and geometry of look; grabs the keyboard when asked.
void SetUpScreen(QWidget *screen, const ScreenLook &look);

/// base followed by the focus and disabled sheets of the current parameter set.
QString ScreenStyleSheet(const QString &base);

/// A full-screen look whose sheet sizes the command buttons from the
/// parameter set's layout sizes: in sheet, %1 is the button height and %2
/// the button text size, both in pixels.
ScreenLook CommandButtonsLook(const char *sheet);

/// text as a button caption that shows it literally: an "&" in a name stays
/// an "&" instead of vanishing and making the next letter a shortcut.
QString LiteralCaption(QString text);

/// The "yaheikr" font at pointSize points, normal weight.
QFont ScreenFont(int pointSize);

/// The desktop of widget's screen (or the primary one), less the metering
/// reserve of the parameter set when reserveMetering and metering is on.
QRect ScreenArea(const QWidget *widget, bool reserveMetering = true);

/// Places screen over the desktop area of ScreenArea() and fixes it at that size.
void FitToDesktop(QWidget *screen, bool reserveMetering = true);

/// True when widget was shown and has been closed (or hidden) since; a
/// widget never shown yet is not closed.
bool WasClosed(const QWidget *widget);

/// Gives dialog a title bar with its title only (no close button) and a
/// border of its own (WindowBorder).
void SetTitleOnlyFlags(QWidget *dialog);

/// Fixes dialog at the size its layout asks for.
void FixAtNaturalSize(QWidget *dialog);

/// Releases the keyboard grab for as long as it lives and gives it back to the
/// widget that held it (if it still exists) when it goes. Wrap every child
/// dialog a grabbing screen opens in one of these:
///     { KeyboardGrabPause pause; QDlgKeyNum pad(...); if (pad.exec() == QDialog::Accepted) ... }
class KeyboardGrabPause
{
public:
    KeyboardGrabPause();
    ~KeyboardGrabPause();
    KeyboardGrabPause(const KeyboardGrabPause &) = delete;
    KeyboardGrabPause &operator=(const KeyboardGrabPause &) = delete;

private:
    QPointer<QWidget> m_holder;
};

/// Shows text in a modal message box over parent and returns when it is confirmed;
/// the keyboard grab, if any, is paused meanwhile.
void ShowMessage(QWidget *parent, const QString &text);
