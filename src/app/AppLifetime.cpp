#include "AppLifetime.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QWidget>

void TieApplicationToLauncher(QApplication &app, QDialog &launcher)
{
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&launcher, &QDialog::finished, &app, &QCoreApplication::quit);
}

namespace {

class WindowRoleTagger : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Qt hands the role to X when it creates the native window, which
        // follows the polish of a window about to be shown.
        const QEvent::Type type = event->type();
        if ((type == QEvent::Polish || type == QEvent::Show) && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (widget->isWindow() && widget->windowRole().isEmpty())
                widget->setWindowRole(QString::fromLatin1(widget->metaObject()->className()));
        }
        return false;
    }
};

} // namespace

void TagWindowRoles(QApplication &app)
{
    app.installEventFilter(new WindowRoleTagger(&app));
}
