#include "ScreenSetup.h"

#include "CDlgMsgBox.h"
#include "WindowBorder.h"
#include "params/ParamSet.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

#include <algorithm>

Q_LOGGING_CATEGORY(lcDialogs, "zeb.dialogs")

namespace {
const char *const kScreenFontFamily = "yaheikr";
// Where the layout sizes keep the command buttons' height and text size.
constexpr size_t kButtonHeightSize = 3;
constexpr size_t kButtonTextSize = 14;
}

ScreenLook CommandButtonsLook(const char *sheet)
{
    const ParamSet &p = CurrentParams();
    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(sheet)
                         .arg(p.LayoutSizes[kButtonHeightSize])
                         .arg(p.LayoutSizes[kButtonTextSize]);
    return look;
}

QString LiteralCaption(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QString ScreenStyleSheet(const QString &base)
{
    const ParamSet &p = CurrentParams();
    return base + p.FocusStyleSheet + p.DisabledStyleSheet;
}

QFont ScreenFont(int pointSize)
{
    QFont f(QString::fromLatin1(kScreenFontFamily));
    f.setPointSize(pointSize);
    f.setWeight(QFont::Normal);
    f.setItalic(false);
    return f;
}

QRect ScreenArea(const QWidget *widget, bool reserveMetering)
{
    QScreen *screen = widget ? widget->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen) {
        qCWarning(lcDialogs) << "no screen to size the window to";
        return {};
    }
    QRect area = screen->geometry();
    const ParamSet &p = CurrentParams();
    if (reserveMetering && p.MeteringOn)
        area.setHeight(std::max(0, area.height() - p.MeteringReserve));
    return area;
}

bool WasClosed(const QWidget *widget)
{
    return widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

void SetTitleOnlyFlags(QWidget *dialog)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    // Without a window manager the title bar never comes: every such window
    // draws its own edge.
    WindowBorder::AddTo(dialog);
}

void FixAtNaturalSize(QWidget *dialog)
{
    if (QLayout *l = dialog->layout())
        l->activate();
    dialog->adjustSize();
    dialog->setFixedSize(dialog->size());
}

void FitToDesktop(QWidget *screen, bool reserveMetering)
{
    const QRect area = ScreenArea(screen, reserveMetering);
    screen->setGeometry(area);
    screen->setFixedSize(area.size());
}

void SetUpScreen(QWidget *screen, const ScreenLook &look)
{
    screen->setFont(look.FontPointSize > 0 ? ScreenFont(look.FontPointSize) : CurrentParams().Fonts[0]);
    screen->setStyleSheet(ScreenStyleSheet(look.BaseSheet));
    if (look.FullScreen) {
        screen->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
        FitToDesktop(screen, look.ReserveMetering);
    } else {
        SetTitleOnlyFlags(screen);
        FixAtNaturalSize(screen);
    }
    if (look.GrabKeyboard)
        screen->grabKeyboard();
}

KeyboardGrabPause::KeyboardGrabPause()
    : m_holder(QWidget::keyboardGrabber())
{
    if (m_holder)
        m_holder->releaseKeyboard();
}

KeyboardGrabPause::~KeyboardGrabPause()
{
    // A screen that was closed meanwhile must not take the keyboard back: a
    // hidden grabber would swallow every key of its caller until destroyed.
    if (m_holder && !WasClosed(m_holder))
        m_holder->grabKeyboard();
}

void ShowMessage(QWidget *parent, const QString &text)
{
    KeyboardGrabPause pause;
    CDlgMsgBox box(text, parent);
    box.exec();
}
