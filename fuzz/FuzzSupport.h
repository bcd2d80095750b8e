// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/FixedPrompter.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "registry/MemoryBackend.h"
#include "settings/SettingsStore.h"

namespace tavimor::fuzz {

// Runs a catalogue text through what the program does with a loaded catalogue: both
// documents, a refresh, every list, the pending-changes question answered Yes (the apply pass).
inline void exerciseCatalogue(const QByteArray& text) {
    static FixedPrompter prompter(Answer::Yes);
    static SilentErrorHandler errors;
    static SettingsStore settings(QStringLiteral("/nonexistent/tavimor-fuzz"));
    MemoryBackend backend;
    ProgramContext context(backend, prompter, settings, errors, QStringLiteral("/nonexistent"));
    context.machineCatalogue.loadXML(text);
    context.workingCatalogue.loadXML(text);
    RefreshCurrentValues(context, QLatin1String(kAllEntries));
    listRows(context, QLatin1String(kRootAddress));
    for (const SectionInfo& section : catalogueSections(context))
        listRows(context, section.address);
    ConfirmPendingChanges(context);
    ApplyMachineCatalogue(context);
}

} // namespace tavimor::fuzz
