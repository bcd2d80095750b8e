// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/ProgramContext.h"
#include "registry/MemoryBackend.h"
#include "registry/SettingsStore.h"
#include "support/RecordingErrorHandler.h"
#include "support/ScriptedPrompter.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>

namespace tavimor::test {

using namespace Qt::StringLiterals;

inline constexpr auto kPolicies = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies";
inline constexpr auto kRunDialogEntry = "TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]";
inline constexpr auto kMinPwdLenEntry = "TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[6]";

// A program context for the editors over an in-memory Windows 98 registry, both catalogues
// holding the built-in catalogue, in a temporary program folder and settings store.
struct EditorsHarness {
    EditorsHarness()
        : settings(dir.filePath(u"settings"_s))
        , context(backend, prompter, settings, errors, dir.filePath(u"program"_s)) {
        QDir().mkpath(context.programFolder + u"/Resources"_s);
        for (const SeedValue& seed : windows98Seed(u"TESTBOX"_s))
            backend.putValue(seed.keyPath, seed.name, seed.value);
        Main(context);
        loadBoth(builtinCatalogueText());
    }

    void loadBoth(const QString& xml) {
        context.machineCatalogue.loadXML(xml);
        context.workingCatalogue.loadXML(xml);
    }
    // A catalogue of one section "Custom" holding the given entry.
    static QString oneEntryCatalogue(const QString& entryXml) {
        return u"<TAVIMOR><REGISTRYSETTINGS Section=\"Custom\">"_s + entryXml +
               u"</REGISTRYSETTINGS></TAVIMOR>"_s;
    }
    static QString current(const XmlDocument& catalogue, const QString& address) {
        return CatalogueEntry(catalogue.selectSingleNode(address)).currentValue().text();
    }
    QString machine(const QString& address) const { return current(context.machineCatalogue, address); }
    QString working(const QString& address) const { return current(context.workingCatalogue, address); }
    void setCurrent(const QString& address, const QString& value) {
        CatalogueEntry(context.machineCatalogue.selectSingleNode(address)).currentValue().setText(value);
        CatalogueEntry(context.workingCatalogue.selectSingleNode(address)).currentValue().setText(value);
    }
    std::optional<quint32> dword(const QString& keyPath, const QString& name) const {
        const std::optional<RegValue> value = backend.value(keyPath, name);
        if (!value || value->type != REG_DWORD || value->data.size() != 4)
            return std::nullopt;
        return qFromLittleEndian<quint32>(value->data.constData());
    }

    QTemporaryDir dir;
    MemoryBackend backend;
    ScriptedPrompter prompter;
    RecordingErrorHandler errors;
    SettingsStore settings;
    ProgramContext context;
};

} // namespace tavimor::test
