// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppWindows.h"

#include "base/Prompter.h"
#include "catalogue/ProgramContext.h"
#include "editors/frmDrives.h"
#include "editors/frmEditSettings.h"
#include "editors/frmRestart.h"
#include "gui/Shell.h"
#include "startup/HelpViewer.h"
#include "startup/frmAbout.h"
#include "startup/frmLogin.h"

namespace tavimor {

AppWindows::AppWindows(ProgramContext& context, Shell& shell)
    : m_context(context)
    , m_shell(shell) {
}

void AppWindows::notAvailable() {
    m_context.prompter.message(tr("This window is not available yet."), m_context.appTitle,
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

std::optional<QString> AppWindows::setPassword(QWidget* owner) {
    frmLogin dialog(m_context.prompter, owner);
    const QString password = dialog.Start(true);
    if (dialog.result() != QDialog::Accepted)
        return std::nullopt;
    return password;
}

void AppWindows::about(QWidget* owner) {
    frmAbout box(m_shell, owner);
    box.exec();
}

void AppWindows::help(QWidget* from, const QString& topic) {
    HelpViewer::showHelp(m_context.programFolder, from, topic);
}

void AppWindows::confirmRestart() {
    frmRestart dialog(m_context);
    dialog.exec();
}

} // namespace tavimor
