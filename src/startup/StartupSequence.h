// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TavimorVersion.h"
#include "registry/RegistryBackend.h"

#include <QCoreApplication>
#include <QString>
#include <functional>
#include <optional>

namespace tavimor {

class ProgramContext;
class StartupWindows;

inline constexpr auto kPasswordTitle = "TAVIMOR " TAVIMOR_VERSION;
inline constexpr auto kFirstRunKey = "FirstRun";
inline constexpr auto kOSDialogKey = "OSDialog";
// Tries of the start-up login; a right password is taken at any of them.
inline constexpr int kLoginTries = 3;
inline constexpr int kMainWindowWidthTwips = 11895;
inline constexpr int kMainWindowHeightTwips = 7935;

// The target's Windows version as the registry backend reports it.
WindowsVersion GetVerInfo(RegistryBackend& backend);
// The 95/98/Me family (platform id 1) from major version 4 on.
bool isSupportedWindows(const WindowsVersion& version);

// The start-up version check on a registry: true when it passes, when "OSDialog" switches it off or
// when the user chose to go on; false when the user stopped, or the settings store failed (reported
// as coming from source, the routine that read it).
bool checkWindowsVersion(ProgramContext& context, RegistryBackend& backend, const QString& source,
                         const std::function<int()>& osConfirmation);

// The road from the splash window to the main window. Ending the program goes through quit,
// which does not return in the program; after it, the sequence does nothing more.
class StartupSequence {
    Q_DECLARE_TR_FUNCTIONS(StartupSequence)

public:
    using Quit = std::function<void(int)>;
    StartupSequence(ProgramContext& context, StartupWindows& windows, Quit quit);

    // The splash window's load.
    void load();
    bool ready() const { return m_ready; }
    // The splash timer's event; runs the rest of the road once, when the load has finished.
    void tick();
    bool finished() const { return m_finished; }

    // false when the settings store failed; the failure has been reported.
    bool firstStart();
    bool storeFailed();
    // False when the user chose to stop.
    bool checkWindowsVersion();
    // One password check: nullopt when the user cancelled.
    std::optional<bool> CheckPassword();
    // False when access was refused.
    bool login();

private:
    void end();

    ProgramContext& m_context;
    StartupWindows& m_windows;
    Quit m_quit;
    bool m_ready = false;
    bool m_finished = false;
};

} // namespace tavimor
