// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/ProgramWindows.h"

#include <QCoreApplication>

namespace tavimor {

class ProgramContext;
class RegistrySession;
class Shell;
class TemplateLibrary;

// The program's real windows behind the ProgramWindows seam.
class AppWindows : public ProgramWindows {
    Q_DECLARE_TR_FUNCTIONS(AppWindows)

public:
    AppWindows(ProgramContext& context, RegistrySession& session, Shell& shell, TemplateLibrary& templates);

    void editSetting(QWidget* owner, const QString& entryAddress, bool restartNoteVisible,
                     const std::function<void(const QString&)>& refreshList) override;
    void hideDrives() override;
    std::optional<QString> setPassword(QWidget* owner) override;
    void about(QWidget* owner) override;
    void help(QWidget* from, const QString& topic) override;
    void confirmRestart() override;
    bool openRegistry(QWidget* owner) override;
    void editPolicy(QWidget* owner, const QString& policyName,
                    const std::function<void(const QString&)>& refreshList) override;
    bool templateFolders(QWidget* owner) override;

private:
    void notAvailable();

    ProgramContext& m_context;
    RegistrySession& m_session;
    Shell& m_shell;
    TemplateLibrary& m_templates;
};

} // namespace tavimor
