#include "SettingsLook.h"

#include <QFontMetrics>
#include <QStringList>

#include <algorithm>

namespace {
const char kSettingsSheet[] =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 20pt ;}"
    "QPushButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QToolButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;font: 30pt ;}"
    "QToolButton:focus{background-color:rgb(0, 255, 255)}";
} // namespace

const char kColourFocusSheet[] = "QPushButton:focus{border-width: 6px;border-color: rgb(0, 255, 255);}";

ScreenLook SettingsLook()
{
    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kSettingsSheet);
    return look;
}

QString ColourSheet(const QColor &colour)
{
    return QStringLiteral("background-color:rgb(%1, %2, %3);").arg(colour.red()).arg(colour.green()).arg(colour.blue());
}

int FittingPointSize(const QString &caption, const QSize &box, int largest, int smallest)
{
    const QStringList lines = caption.split(QLatin1Char('\n'));
    for (int points = largest; points > smallest; --points) {
        const QFontMetrics metrics(ScreenFont(points));
        int widest = 0;
        for (const QString &line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        if (widest <= box.width() && metrics.height() * int(lines.size()) <= box.height())
            return points;
    }
    return smallest;
}
