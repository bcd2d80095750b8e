// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegistrySession.h"

#include "base/ErrorHandler.h"
#include "base/Prompter.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "registry/TargetText.h"
#include "settings/SettingsStore.h"

namespace tavimor {

namespace {

QString recentKey(int i) {
    return QStringLiteral("RecentTarget%1").arg(i + 1);
}

} // namespace

std::optional<QStringList> recentTargets(const SettingsStore& settings) {
    QStringList targets;
    for (int i = 0; i < kRecentTargets; ++i) {
        const std::optional<QString> target = settings.read(recentKey(i), QString());
        if (!target)
            return std::nullopt;
        if (!target->isEmpty() && !targets.contains(*target))
            targets.append(*target);
    }
    return targets;
}

bool rememberTarget(SettingsStore& settings, const QString& target) {
    std::optional<QStringList> targets = recentTargets(settings);
    if (!targets)
        return false;
    if (target.isEmpty() || targets->value(0) == target)
        return true;
    targets->removeAll(target);
    targets->prepend(target);
    for (int i = 0; i < kRecentTargets; ++i)
        if (!settings.save(recentKey(i), targets->value(i)))
            return false;
    return true;
}

RegistrySession::RegistrySession(ProgramContext& context, const QString& target, Opener opener)
    : m_context(context)
    , m_opener(std::move(opener)) {
    m_context.target = canonicalTarget(target);
    remember(m_context.target);
}

RegistrySession::~RegistrySession() = default;

void RegistrySession::remember(const QString& target) {
    if (!rememberTarget(m_context.settings, target))
        m_context.prompter.message(QStringLiteral("The list of recent registries could not be saved: %1")
                                       .arg(m_context.settings.lastError()),
                                   m_context.appTitle, MessageIcon::Exclamation, MessageButtons::Ok);
}

bool RegistrySession::restartOfferDue() {
    if (!m_context.restartNeeded)
        return false;
    const std::optional<QString> restartDialog =
        m_context.settings.read(QStringLiteral("RestartDialog"), QStringLiteral("1"));
    if (!restartDialog) {
        m_context.errors.HandleError(kSettingsStoreError, m_context.settings.lastError(),
                                     QStringLiteral("frmRegistryExplorer.OpenRegistry"));
        return false;
    }
    return restartDialog->trimmed() == QLatin1String("1");
}

RegistrySession::Result RegistrySession::open(const QString& target, const Steps& steps) {
    const QString canonical = canonicalTarget(target);
    QString error;
    // The same registry twice would be two writers of one file: it is read again instead.
    std::unique_ptr<RegistryBackend> next =
        canonical == m_context.target ? nullptr : m_opener(canonical, &error);
    if (!next && canonical != m_context.target) {
        m_context.showCritical(error);
        return Result::Failed;
    }
    if (ConfirmPendingChanges(m_context) == 1)
        return Result::Stayed;
    if (next) {
        if (!steps.versionAccepted(*next))
            return Result::Stayed;
        if (restartOfferDue())
            steps.confirmRestart();
        m_context.registry.setBackend(*next);
        m_opened = std::move(next);
        m_context.restartNeeded = false;
        m_context.target = canonical;
        if (steps.switched)
            steps.switched();
    }
    RefreshCurrentValues(m_context, QLatin1String(kAllEntries));
    m_context.workingCatalogue.copyFrom(m_context.machineCatalogue);
    m_context.setSystemName();
    remember(canonical);
    return Result::Opened;
}

} // namespace tavimor
