// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RecordingErrorHandler.h"
#include "ScriptedPrompter.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/ProgramContext.h"
#include "registry/KeyStoreBackend.h"
#include "registry/MemoryBackend.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>

namespace tavimor::test {

using namespace Qt::StringLiterals;

inline const QString kExplorerPolicies =
    u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"_s;
inline const QString kRunDialog = u"TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]"_s;

// A program context over an in-memory registry (Windows 98 unless told otherwise), a scripted
// prompter and a temporary program folder and settings store: what the window tests start from.
struct ProgramHarness {
    explicit ProgramHarness(bool windowsNt = false)
        : settings(dir.filePath(u"settings"_s))
        , context(backend, prompter, settings, errors, dir.filePath(u"program"_s)) {
        QDir().mkpath(context.programFolder);
        if (windowsNt)
            backend.putValue(QLatin1String(kNtVersionKey), u"CurrentVersion"_s, regSz(u"5.1"_s));
        else
            for (const SeedValue& seed : windows98Seed(u"TESTBOX"_s))
                backend.putValue(seed.keyPath, seed.name, seed.value);
        Main(context);
    }

    void loadBoth(const QString& catalogueXml) {
        context.machineCatalogue.loadXML(catalogueXml);
        context.workingCatalogue.loadXML(catalogueXml);
    }
    static void setCurrentValue(XmlDocument& catalogue, const QString& entryAddress, const QString& value) {
        CatalogueEntry(catalogue.selectSingleNode(entryAddress)).currentValue().setText(value);
    }
    QString setting(const char* key) const {
        return settings.read(QLatin1String(key), u"-"_s).value_or(u"failed"_s);
    }
    static QString current(const XmlDocument& catalogue, const QString& address) {
        return CatalogueEntry(catalogue.selectSingleNode(address)).currentValue().text();
    }
    QString machine(const QString& address) const { return current(context.machineCatalogue, address); }
    QString working(const QString& address) const { return current(context.workingCatalogue, address); }
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
