// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace tavimor {

// The windows one window opens in another part of the program. The main window reaches the
// editors, the password dialog, the About box and help through this, so each can be built and
// tested on its own; tests record the calls.
class ProgramWindows {
public:
    virtual ~ProgramWindows() = default;

    // The edit setting dialog for one entry, modal and owned by owner. It calls refreshList
    // (the main window's RefreshList) with an address after a change.
    virtual void editSetting(QWidget* owner, const QString& entryAddress, bool restartNoteVisible,
                             const std::function<void(const QString&)>& refreshList) = 0;
    // The drive hiding dialog, modal, without an owner.
    virtual void hideDrives() = 0;
    // The password dialog in set mode: the password the user confirmed with "&OK" ("" for two
    // empty boxes), or nullopt when it was cancelled or closed.
    virtual std::optional<QString> setPassword(QWidget* owner) = 0;
    virtual void about(QWidget* owner) = 0;
    // The help page of a window ("main", "edit", ...) or of a catalogue section.
    virtual void help(QWidget* from, const QString& topic) = 0;
    // The restart confirmation at exit, modal, without an owner.
    virtual void confirmRestart() = 0;
    // The registry chooser, modal and owned by owner: true when another registry was opened, and
    // both catalogues then hold its values.
    virtual bool openRegistry(QWidget* owner) = 0;
    // The editor of one template policy (named as TemplateTree's policy rows name it), modal and
    // owned by owner; it calls refreshList with an address after a change.
    virtual void editPolicy(QWidget* owner, const QString& policyName,
                            const std::function<void(const QString&)>& refreshList) = 0;
    // The template folders dialog, modal and owned by owner: true when the folders were changed, and
    // the loaded templates and both catalogues then follow them.
    virtual bool templateFolders(QWidget* owner) = 0;
};

} // namespace tavimor
