// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramContext.h"

#include "base/Prompter.h"
#include "settings/Cipher.h"

namespace tavimor {

ProgramContext::ProgramContext(RegistryBackend& backend, Prompter& prompter_, SettingsStore& settings_,
                               ErrorHandler& errors_, const QString& programFolder_)
    : registry(backend)
    , prompter(prompter_)
    , settings(settings_)
    , errors(errors_)
    , programFolder(programFolder_)
    , appTitle(QLatin1String(kAppTitle)) {
    while (programFolder.size() > 1 && programFolder.endsWith(QLatin1Char('/')))
        programFolder.chop(1);
}

QString ProgramContext::defaultSettingsFile() const {
    return programFolder + QStringLiteral("/tavimor.rds");
}

void ProgramContext::setSystemName() {
    // With no catalogue loaded there is no root to name.
    XmlNode machineRoot = machineCatalogue.selectSingleNode(QStringLiteral("TAVIMOR"));
    if (machineRoot.isNull() || !machineRoot.attribute(QStringLiteral("SystemName")))
        return;
    const QString name = registry.GetSystemName();
    machineRoot.setAttribute(QStringLiteral("SystemName"), name);
    XmlNode workingRoot = workingCatalogue.selectSingleNode(QStringLiteral("TAVIMOR"));
    if (!workingRoot.isNull())
        workingRoot.setAttribute(QStringLiteral("SystemName"), name);
}

void ProgramContext::showCritical(const QString& text) {
    prompter.message(text, appTitle, MessageIcon::Critical, MessageButtons::Ok);
}

void Main(ProgramContext& context) {
    context.passPhrase = cataloguePassPhrase();
    context.restartNeeded = false;
}

} // namespace tavimor
