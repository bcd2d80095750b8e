// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/FixedPrompter.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueEntry.h"
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

// Reads every value the built-in catalogue names, the computer name and the version, as a refresh does.
inline void readCatalogueValues(RegistryBackend& backend) {
    static const XmlDocument catalogue = [] {
        XmlDocument document;
        document.loadXML(builtinCatalogueText());
        return document;
    }();
    MSDNRegistry registry(backend);
    forEachEntry(catalogue, [&](const CatalogueEntry& entry, int, int) {
        registry.ReadKeyValue(GetKeyValue(entry.text("KEY")), entry.text("PATH"), entry.text("REGNAME"));
    });
    registry.GetSystemName();
    backend.windowsVersion();
}

} // namespace tavimor::fuzz
