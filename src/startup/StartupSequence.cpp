// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartupSequence.h"

#include "StartupWindows.h"
#include "base/ErrorHandler.h"
#include "base/Prompter.h"
#include "catalogue/Password.h"
#include "catalogue/ProgramContext.h"
#include "settings/SettingsStore.h"

namespace tavimor {

namespace {
// The splash timer's tick reads both start-up settings.
const QString kSplashTimerSource = QStringLiteral("frmSplash.tmSplash_Timer");
} // namespace

WindowsVersion GetVerInfo(RegistryBackend& backend) {
    return backend.windowsVersion();
}

bool isSupportedWindows(const WindowsVersion& version) {
    return version.platformId == 1 && version.major >= 4;
}

StartupSequence::StartupSequence(ProgramContext& context, StartupWindows& windows, Quit quit)
    : m_context(context)
    , m_windows(windows)
    , m_quit(std::move(quit)) {
}

void StartupSequence::load() {
    m_ready = false;
    m_windows.showSplash();
    Main(m_context);
    m_ready = true;
}

void StartupSequence::tick() {
    if (!m_ready || m_finished)
        return;
    m_finished = true;
    m_windows.closeSplash();
    if (!firstStart() || !checkWindowsVersion()) {
        end();
        return;
    }
    if (!login())
        return;
    m_windows.showMainWindow(kMainWindowWidthTwips, kMainWindowHeightTwips);
}

bool StartupSequence::storeFailed() {
    m_context.errors.HandleError(kSettingsStoreError, m_context.settings.lastError(), kSplashTimerSource);
    return false;
}

bool StartupSequence::firstStart() {
    const std::optional<QString> firstRun =
        m_context.settings.read(QLatin1String(kFirstRunKey), QStringLiteral("0"));
    if (!firstRun)
        return storeFailed();
    if (*firstRun != QLatin1String("0"))
        return true;
    // Written before asking, so a start broken off at the question is not a first start again.
    if (!m_context.settings.save(QLatin1String(kFirstRunKey), QStringLiteral("1")))
        return storeFailed();
    const Answer answer = m_context.prompter.message(
        tr("You are running Tavimor %1 for first time, the administrator password is set as "
           "empty. You can change the password anytime later by choosing Change Password from "
           "the File menu.\r\nWould you like to change the password now?")
            .arg(QLatin1String(TAVIMOR_VERSION)),
        QLatin1String(kAppTitle), MessageIcon::Question, MessageButtons::YesNo);
    return MyPwdWrite(m_context,
                      answer == Answer::Yes ? m_windows.passwordDialog(true).value_or(QString()) : QString());
}

bool checkWindowsVersion(ProgramContext& context, RegistryBackend& backend, const QString& source,
                         const std::function<int()>& osConfirmation) {
    const std::optional<QString> osDialog =
        context.settings.read(QLatin1String(kOSDialogKey), QStringLiteral("1"));
    if (!osDialog) {
        context.errors.HandleError(kSettingsStoreError, context.settings.lastError(), source);
        return false;
    }
    if (*osDialog != QLatin1String("1"))
        return true;
    if (isSupportedWindows(GetVerInfo(backend)))
        return true;
    return osConfirmation() != 0;
}

bool StartupSequence::checkWindowsVersion() {
    return tavimor::checkWindowsVersion(m_context, m_context.registry.backend(), kSplashTimerSource,
                                        [this] { return m_windows.osConfirmation(); });
}

std::optional<bool> StartupSequence::CheckPassword() {
    // A store that cannot be read ends the start like a cancelled dialog: no password is right then.
    const std::optional<QString> stored = MyPwdRead(m_context);
    if (!stored)
        return std::nullopt;
    const std::optional<QString> entered = m_windows.passwordDialog(false);
    if (!entered)
        return std::nullopt;
    return passwordMatches(*entered, *stored);
}

bool StartupSequence::login() {
    const QString title = QLatin1String(kPasswordTitle);
    for (int attempt = 1; attempt <= kLoginTries; ++attempt) {
        const std::optional<bool> right = CheckPassword();
        if (!right) {
            end();
            return false;
        }
        if (*right)
            return true;
        m_context.prompter.message(tr("Wrong Password. Retry"), title, MessageIcon::None, MessageButtons::Ok);
    }
    m_context.prompter.message(tr("Too many tries of invalid passwords. Access Denied"), title,
                               MessageIcon::None, MessageButtons::Ok);
    end();
    return false;
}

void StartupSequence::end() {
    m_quit(0);
}

} // namespace tavimor
