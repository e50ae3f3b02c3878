#include "app/AppLifetime.h"
#include "dialogs/Prodwidget.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QtTest>

// The real program's event loop with the launcher hidden behind a task
// screen: a parentless window that closes must not end it.
class TstAppLifetime : public QObject
{
    Q_OBJECT

private slots:
    void closingAParentlessWindowKeepsTheProgram()
    {
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        QVERIFY(app);
        QDialog launcher;
        TieApplicationToLauncher(*app, launcher);
        QDialog screen(&launcher); // a task screen is the launcher's child
        bool launcherFinished = false;
        QObject::connect(&launcher, &QDialog::finished, [&] { launcherFinished = true; });

        QTimer::singleShot(0, [&] {
            launcher.show();
            screen.show();
            launcher.hide();
            auto progress = std::make_unique<Prodwidget>();
            progress->show();
            QCoreApplication::processEvents();
            progress->close();
            // Only after the close was handled may the launcher end the loop.
            QTimer::singleShot(50, &launcher, [&] { launcher.done(0); });
        });
        app->exec();
        QVERIFY2(launcherFinished, "the program ended when a progress window closed");
        QVERIFY(!QApplication::quitOnLastWindowClosed());
    }
};

QTEST_MAIN(TstAppLifetime)
#include "tst_applifetime.moc"
