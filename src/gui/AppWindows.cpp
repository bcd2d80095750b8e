#include "AppWindows.h"

#include "base/Prompter.h"
#include "catalogue/ProgramContext.h"
#include "editors/frmDrives.h"
#include "editors/frmEditSettings.h"
#include "editors/frmRestart.h"
#include "gui/Shell.h"

namespace tavimor {

AppWindows::AppWindows(ProgramContext& context, Shell& shell)
    : m_context(context)
    , m_shell(shell) {
}

void AppWindows::notAvailable() {
    m_context.prompter.message(QStringLiteral("This window is not available yet."), m_context.appTitle,
                               MessageIcon::Critical, MessageButtons::Ok);
}

void AppWindows::editSetting(QWidget* owner, const QString& entryAddress, bool restartNoteVisible,
                             const std::function<void(const QString&)>& refreshList) {
    frmEditSettings dialog(m_context, refreshList, owner);
    dialog.setRegXPath(entryAddress);
    dialog.setRestartNoteVisible(restartNoteVisible);
    dialog.exec();
}

void AppWindows::hideDrives() {
    frmDrives dialog(m_context);
    dialog.exec();
}

QString AppWindows::setPassword(QWidget* owner) {
    Q_UNUSED(owner);
    notAvailable();
    return {};
}

void AppWindows::about(QWidget* owner) {
    Q_UNUSED(owner);
    notAvailable();
}

void AppWindows::help(QWidget* from, const QString& topic) {
    Q_UNUSED(from);
    Q_UNUSED(topic);
    notAvailable();
}

void AppWindows::confirmRestart() {
    frmRestart dialog(m_context);
    dialog.exec();
}

} // namespace tavimor
