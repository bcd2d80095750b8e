#include "base/Clock.h"
#include "base/ErrorHandler.h"
#include "catalogue/ProgramContext.h"
#include "explorer/frmRegistryExplorer.h"
#include "gui/AppWindows.h"
#include "gui/QtPrompter.h"
#include "gui/Shell.h"
#include "gui/Twips.h"
#include "registry/RegistryTarget.h"
#include "registry/SettingsStore.h"

#include <QApplication>
#include <QTimer>

using namespace tavimor;

namespace {
// Until the error report window exists the report is a message; the program then ends.
class MessageErrorHandler : public ErrorHandler {
public:
    explicit MessageErrorHandler(Prompter& prompter)
        : m_prompter(prompter) {}
    void HandleError(qint32 number, const QString& description, const QString& source) override {
        m_prompter.message(QStringLiteral("Error %1 in %2:\r\n%3").arg(number).arg(source, description),
                           QLatin1String(kAppTitle), MessageIcon::Critical, MessageButtons::Ok);
        std::exit(1);
    }

private:
    Prompter& m_prompter;
};
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QtPrompter prompter;
    QString error;
    const std::unique_ptr<RegistryBackend> backend =
        openRegistryTarget(registryTargetFromEnvironment(), &error);
    if (!backend) {
        prompter.message(error, QLatin1String(kAppTitle), MessageIcon::Critical, MessageButtons::Ok);
        return 1;
    }
    SettingsStore settings;
    MessageErrorHandler errors(prompter);
    ProgramContext context(*backend, prompter, settings, errors, QCoreApplication::applicationDirPath());
    Main(context);

    DesktopShell shell;
    SystemClock clock;
    AppWindows windows(context, shell);
    frmRegistryExplorer window(context, QCoreApplication::arguments().mid(1).join(QLatin1Char(' ')), windows,
                               shell, clock);
    window.resize(twipsToPixels(11895, &window), twipsToPixels(7935, &window));
    window.show();
    // Start-up timing: end as soon as the window is on screen.
    if (qEnvironmentVariableIsSet("TAVIMOR_QUIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
