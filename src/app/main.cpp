#include "base/Clock.h"
#include "catalogue/ProgramContext.h"
#include "explorer/frmRegistryExplorer.h"
#include "gui/AppWindows.h"
#include "gui/QtPrompter.h"
#include "gui/Shell.h"
#include "gui/Twips.h"
#include "registry/RegistryTarget.h"
#include "registry/SettingsStore.h"
#include "startup/GuiErrorHandler.h"
#include "startup/HelpKeyFilter.h"
#include "startup/StartupPictures.h"
#include "startup/StartupSequence.h"
#include "startup/WidgetStartupWindows.h"
#include "startup/frmSplash.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

using namespace tavimor;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(startupIcon(QStringLiteral("tavimor32.png")));
    QtPrompter prompter;
    QString error;
    const std::unique_ptr<RegistryBackend> backend =
        openRegistryTarget(registryTargetFromEnvironment(), &error);
    if (!backend) {
        prompter.message(error, QLatin1String(kAppTitle), MessageIcon::Critical, MessageButtons::Ok);
        return 1;
    }
    SettingsStore settings;
    DesktopShell shell;
    SystemClock clock;
    const QString programFolder = QCoreApplication::applicationDirPath();
    GuiErrorHandler errors({prompter, shell, clock, programFolder,
                            QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation),
                            endProgramNow});
    ProgramContext context(*backend, prompter, settings, errors, programFolder);
    AppWindows windows(context, shell);
    HelpKeyFilter helpKey([&](QWidget* from, const QString& topic) { windows.help(from, topic); });
    app.installEventFilter(&helpKey);

    std::unique_ptr<frmRegistryExplorer> window;
    WidgetStartupWindows startup(context, [&](int widthTwips, int heightTwips) {
        window = std::make_unique<frmRegistryExplorer>(
            context, QCoreApplication::arguments().mid(1).join(QLatin1Char(' ')), windows, shell, clock);
        window->resize(twipsToPixels(widthTwips, window.get()), twipsToPixels(heightTwips, window.get()));
        window->show();
        // Start-up timing: end as soon as the window is on screen.
        if (qEnvironmentVariableIsSet("TAVIMOR_QUIT_WHEN_SHOWN"))
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
    });
    StartupSequence sequence(context, startup, endProgramNow);
    frmSplash splash(sequence);
    startup.setSplash(&splash);
    splash.Form_Load();
    return app.exec();
}
