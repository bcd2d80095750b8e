// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppWindows.h"
#include "base/Clock.h"
#include "base/CommandLineAnswer.h"
#include "base/ProgramPaths.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySession.h"
#include "catalogue/TemplateLibrary.h"
#include "explorer/frmRegistryExplorer.h"
#include "grouppolicy/TargetFactory.h"
#include "gui/BusyWatcher.h"
#include "gui/DeferredIconStyle.h"
#include "gui/QtPrompter.h"
#include "gui/Shell.h"
#include "gui/Twips.h"
#include "settings/SettingsStore.h"
#include "startup/GuiErrorHandler.h"
#include "startup/HelpKeyFilter.h"
#include "startup/StartupPictures.h"
#include "startup/StartupSequence.h"
#include "startup/WidgetStartupWindows.h"
#include "startup/frmSplash.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>

using namespace tavimor;

int main(int argc, char* argv[]) {
    // Answered before the application object, so neither a display nor the login is needed.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<QString> answer = commandLineAnswer(arguments)) {
        std::fputs(answer->toLocal8Bit().constData(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    DeferredIconStyle::install();
    QApplication::setWindowIcon(startupIcon(QStringLiteral("tavimor32.png")));
    QtPrompter prompter;
    // Long waits on Wine's reg show a busy cursor and a progress dialog that can cancel them.
    BusyWatcher busy;
    setWaitWatcher(&busy);
    const WindowArguments parsed = parseWindowArguments(arguments);
    if (!parsed.error.isEmpty()) {
        std::fputs(parsed.error.toLocal8Bit().constData(), stderr);
        return 2;
    }
    const QString target = parsed.target.value_or(registryTargetFromEnvironment());
    QString error;
    const std::unique_ptr<RegistryBackend> backend = openTarget(target, &error);
    if (!backend) {
        prompter.message(error, QLatin1String(kAppTitle), MessageIcon::Critical, MessageButtons::Ok);
        return 1;
    }
    SettingsStore settings;
    DesktopShell shell;
    SystemClock clock;
    const QString programFolder = programFolderFor(QCoreApplication::applicationDirPath());
#ifdef Q_OS_WIN
    const QString logFolder = programFolder;
#else
    // Nothing is written under an installed prefix: errors.log is the user's state.
    const QString logFolder = stateFolder();
#endif
    GuiErrorHandler errors({prompter, shell, clock, logFolder,
                            QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation),
                            endProgramNow});
    ProgramContext context(*backend, prompter, settings, errors, programFolder);
    RegistrySession session(context, target, [](const QString& next, QString* why) {
        return openTarget(next, why, TargetUse::MustExist);
    });
    // Templates only where some are configured or a GPO brings its domain's: without them the window
    // is as it always was. They are loaded before the catalogues, whose first refresh reads them.
    TemplateLibrary templates(context, qEnvironmentVariable("TAVIMOR_TEMPLATES"));
    templates.tell(templates.load());
    AppWindows windows(context, session, shell, templates);
    HelpKeyFilter helpKey([&](QWidget* from, const QString& topic) { windows.help(from, topic); });
    app.installEventFilter(&helpKey);

    std::unique_ptr<frmRegistryExplorer> window;
    WidgetStartupWindows startup(context, [&](int widthTwips, int heightTwips) {
        window = std::make_unique<frmRegistryExplorer>(context, parsed.settingsFile, windows, shell, clock);
        showWithOuterSize(window.get(), widthTwips, heightTwips);
        QGuiApplication::setQuitOnLastWindowClosed(true);
        // Start-up timing: end as soon as the window is on screen.
        if (qEnvironmentVariableIsSet("TAVIMOR_QUIT_WHEN_SHOWN"))
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
    });
    // Between the splash and the main window each question stands alone; closing one must not end
    // the program while a slow registry (Wine) is read before the next. The sequence ends it itself.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    StartupSequence sequence(context, startup, endProgramNow);
    frmSplash splash(sequence);
    startup.setSplash(&splash);
    splash.Form_Load();
    return app.exec();
}
