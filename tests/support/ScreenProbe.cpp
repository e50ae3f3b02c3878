#include "ScreenProbe.h"

#include <QAbstractButton>
#include <QWidget>

QAbstractButton *FindButton(const QWidget &screen, const char *name)
{
    auto *b = screen.findChild<QAbstractButton *>(QLatin1String(name));
    if (!b)
        qFatal("no button %s on %s", name, qPrintable(screen.objectName()));
    return b;
}

QString ShownCaption(const QString &caption)
{
    QString shown;
    for (int i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && ++i >= caption.size())
            break;
        shown += caption[i];
    }
    return shown;
}

QString ButtonText(const QWidget &screen, const char *name)
{
    return ShownCaption(FindButton(screen, name)->text());
}

QString EnabledCommands(const QWidget &screen)
{
    QString bits;
    for (const char *name : {"btnSet", "btnRead", "btnAnalysis", "btnAutoCheck", "btnSample", "btnAdd",
                             "btnClear", "btnSave", "btnExit", "btnUpLoad"})
        bits += FindButton(screen, name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return bits;
}
