// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TavimorVersion.h"
#include "registry/MSDNRegistry.h"
#include "xml/XmlDocument.h"

#include <QSet>

namespace tavimor {

class ErrorHandler;
class Prompter;
class SettingsStore;
class TemplateSet;

inline constexpr auto kAppTitle = "Tavimor " TAVIMOR_VERSION;

// The program-wide values: both catalogues, the restart-needed flag, the current settings file,
// and the services every module reaches (registry, prompts, settings store, error report).
class ProgramContext {
public:
    ProgramContext(RegistryBackend& backend, Prompter& prompter, SettingsStore& settings,
                   ErrorHandler& errors, const QString& programFolder);

    MSDNRegistry registry;
    Prompter& prompter;
    SettingsStore& settings;
    ErrorHandler& errors;

    // The registry worked on, as canonicalTarget writes it; "" for the embedded default.
    QString target;
    QString programFolder; // the executable's folder, no trailing separator
    QString appTitle;
    QString helpFile;

    XmlDocument machineCatalogue;
    XmlDocument workingCatalogue;
    bool restartNeeded = false;
    // The Administrative Templates loaded for this run; nullptr (or an empty set) when none are,
    // and then nothing of the program reads or writes a template policy.
    const TemplateSet* templates = nullptr;
    QString currentSettingsFile;
    QString passPhrase;
    // The hives and reasons the user has been told could not be read ("hive\nreason").
    QSet<QString> unreadSaid;

    QString defaultSettingsFile() const;
    // The registry's computer name in the root's SystemName of both catalogues, where the machine
    // catalogue has one; both change alike, so nothing becomes pending.
    void setSystemName();
    // Critical-stop message with OK and the application title, as every catalogue message is.
    void showCritical(const QString& text);
};

// Module initialisation: the catalogue pass phrase in place, the restart-needed flag cleared.
void Main(ProgramContext& context);

} // namespace tavimor
