// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppWindows.h"

#include "base/Prompter.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistryChoices.h"
#include "catalogue/RegistrySession.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/TemplateLibrary.h"
#include "catalogue/TemplateTree.h"
#include "editors/frmDrives.h"
#include "editors/frmEditPolicy.h"
#include "editors/frmEditSettings.h"
#include "editors/frmRestart.h"
#include "explorer/frmOpenRegistry.h"
#include "explorer/frmTemplateFolders.h"
#include "gui/Shell.h"
#include "startup/HelpViewer.h"
#include "startup/StartupSequence.h"
#include "startup/frmAbout.h"
#include "startup/frmLogin.h"
#include "startup/frmOSConfirm.h"

namespace tavimor {

AppWindows::AppWindows(ProgramContext& context, RegistrySession& session, Shell& shell,
                       TemplateLibrary& templates)
    : m_context(context)
    , m_session(session)
    , m_shell(shell)
    , m_templates(templates) {
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

bool AppWindows::openRegistry(QWidget* owner) {
    const RegistrySession::Steps steps{[this](RegistryBackend& next) {
                                           return checkWindowsVersion(
                                               m_context, next,
                                               QStringLiteral("frmRegistryExplorer.openRegistry"), [this] {
                                                   frmOSConfirm dialog(m_context.settings, m_context.errors);
                                                   return dialog.ShowConfirmation();
                                               });
                                       },
                                       [this] { confirmRestart(); },
                                       [this] {
                                           m_templates.tell(m_templates.followTarget());
                                       }};
    const ChooserPlaces places = ChooserPlaces::ofThisMachine();
    bool opened = false;
    frmOpenRegistry dialog(
        m_context.prompter,
        registryChoices(places, recentTargets(m_context.settings).value_or(QStringList())), m_context.target,
        places.home,
        [&](const QString& target) {
            const RegistrySession::Result result = m_session.open(target, steps);
            opened = opened || result == RegistrySession::Result::Opened;
            return result != RegistrySession::Result::Failed;
        },
        owner);
    dialog.exec();
    return opened;
}

void AppWindows::editPolicy(QWidget* owner, const QString& policyName,
                            const std::function<void(const QString&)>& refreshList) {
    const PolicyInstance* policy = TemplateTree::policyOf(m_context, policyName);
    if (!policy)
        return;
    frmEditPolicy dialog(m_context, *policy, refreshList, owner);
    dialog.exec();
}

bool AppWindows::templateFolders(QWidget* owner) {
    frmTemplateFolders dialog(m_context.prompter, m_templates, QLatin1String(kAppTitle), owner);
    if (!dialog.ready() || dialog.exec() != QDialog::Accepted)
        return false;
    // The policies of the templates now loaded are read from the registry afresh.
    RefreshCurrentValues(m_context, QLatin1String(kAllEntries));
    return true;
}

} // namespace tavimor
