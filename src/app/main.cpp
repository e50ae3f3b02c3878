#include "app/AppLifetime.h"
#include "app/CDlgZEB.h"
#include "app/CommandLine.h"
#include "platform/Platform.h"
#include "dialogs/TaskScreens.h"
#include "params/ParamSet.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QStyleFactory>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Help and the version are answered before the application object exists:
    // they must work on a machine without a display. Everything else waits for
    // the application, which takes its own options (-platform …) off the line.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString answer = CommandLineAnswer(arguments);
    if (!answer.isNull()) {
        std::fputs(answer.toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    QCoreApplication::addLibraryPath(QStringLiteral("./plugins"));
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("windows")));
    // The screens name the family "yaheikr"; on a controller without it the
    // CJK font installed with the program draws the texts.
    QFont::insertSubstitutions(QStringLiteral("yaheikr"),
                               {QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei")});
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/icon.ico")));

    QString error;
    CommandLineChoices choices;
    if (!ApplyCommandLine(QApplication::arguments(), CurrentParams(), &error, &choices)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }

    // Only the program itself sets the clock, mounts and flushes for real.
    SetPlatform(MakeSystemPlatform(
        [] { return ProgramDir() + QLatin1Char('/') + CurrentParams().DataFolderName; },
        choices.UsbStickFolder));
    InstallTaskScreens();

    TagWindowRoles(app);
    CDlgZEB launcher;
    TieApplicationToLauncher(app, launcher);
    launcher.show();
    return app.exec();
}
