// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/RegistryBackend.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace tavimor {

class ProgramContext;
class SettingsStore;

inline constexpr int kRecentTargets = 5;

// The registries opened last, newest first, without the embedded default; nullopt when the store fails.
std::optional<QStringList> recentTargets(const SettingsStore& settings);
// Puts target first among them; false when the store failed.
bool rememberTarget(SettingsStore& settings, const QString& target);

// The registry the program works on, and the road to another one while it runs: the steps a start
// on that registry takes, after the registry being left was offered its pending changes.
class RegistrySession {
public:
    using Opener = std::function<std::unique_ptr<RegistryBackend>(const QString& target, QString* error)>;
    struct Steps {
        // The start-up version check with its question, on the registry about to be opened; false
        // when the user stops there.
        std::function<bool(RegistryBackend& next)> versionAccepted;
        // The restart confirmation of the registry being left, as at closing.
        std::function<void()> confirmRestart;
        // The new registry is the context's, its values not yet read: what follows the registry
        // (a GPO's templates) is made ready for that read. May be empty.
        std::function<void()> switched;
    };
    enum class Result { Opened, Stayed, Failed };

    // The context's registry is the one target names; its backend stays its owner's. opener opens
    // every other one.
    RegistrySession(ProgramContext& context, const QString& target, Opener opener);
    ~RegistrySession();

    // Failed when the target cannot be opened (the message has been shown), Stayed when the user
    // chose to stay; either way the program works on the registry it had. Opened: both catalogues
    // hold the new registry's values and nothing is pending.
    Result open(const QString& target, const Steps& steps);

private:
    void remember(const QString& target);
    bool restartOfferDue();

    ProgramContext& m_context;
    std::unique_ptr<RegistryBackend> m_opened; // the registry opened last, when one was
    Opener m_opener;
};

} // namespace tavimor
