// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RecordingErrorHandler.h"
#include "ScriptedPrompter.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/ProgramContext.h"
#include "registry/MemoryBackend.h"
#include "registry/SettingsStore.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tavimor::test {

inline constexpr auto kExplorerPolicies =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
inline constexpr auto kRunDialog = "TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]";

// A whole program context over an in-memory Windows 98 registry, a scripted prompter and a
// temporary program folder and settings store.
class CoreFixture : public ::testing::Test {
protected:
    CoreFixture();

    // Both catalogues hold the built-in catalogue, as a fresh start leaves them before the refresh.
    void loadBuiltin();
    QString currentValue(const XmlDocument& catalogue, const QString& entryAddress) const;
    void setCurrentValue(XmlDocument& catalogue, const QString& entryAddress, const QString& value);
    std::optional<quint32> dword(const QString& keyPath, const QString& name) const;
    // Writes a settings file holding the given catalogue text.
    QString writeRds(const QString& fileName, const QString& catalogueXml) const;
    // Makes the default settings file, optionally hidden through the folder's .hidden list.
    QString writeDefaultRds(const QString& catalogueXml, bool hidden) const;

    QTemporaryDir m_dir;
    MemoryBackend m_backend;
    ScriptedPrompter m_prompter;
    RecordingErrorHandler m_errors;
    SettingsStore m_settings;
    ProgramContext m_context;
    CatalogueView m_view;
    CatalogueFiles m_files;
};

} // namespace tavimor::test
