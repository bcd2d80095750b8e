// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/ProgramWindows.h"

#include <QCoreApplication>

namespace tavimor {

class ProgramContext;
class RegistrySession;
class Shell;

// The program's real windows behind the ProgramWindows seam.
class AppWindows : public ProgramWindows {
    Q_DECLARE_TR_FUNCTIONS(AppWindows)

public:
    AppWindows(ProgramContext& context, RegistrySession& session, Shell& shell);

    void editSetting(QWidget* owner, const QString& entryAddress, bool restartNoteVisible,
                     const std::function<void(const QString&)>& refreshList) override;
    void hideDrives() override;
    std::optional<QString> setPassword(QWidget* owner) override;
    void about(QWidget* owner) override;
    void help(QWidget* from, const QString& topic) override;
    void confirmRestart() override;
    bool openRegistry(QWidget* owner) override;

private:
    void notAvailable();

    ProgramContext& m_context;
    RegistrySession& m_session;
    Shell& m_shell;
};

} // namespace tavimor
