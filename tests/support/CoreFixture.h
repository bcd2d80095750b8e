// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ProgramHarness.h"
#include "catalogue/CatalogueFiles.h"

#include <gtest/gtest.h>

namespace tavimor::test {

inline constexpr auto kExplorerPolicies =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
inline constexpr auto kRunDialog = "TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]";

// The program's core over a ProgramHarness, with the settings-file commands at hand.
class CoreFixture : public ::testing::Test, protected ProgramHarness {
protected:
    // Both catalogues hold the built-in catalogue, as a fresh start leaves them before the refresh.
    void loadBuiltin();
    void setCurrentValue(XmlDocument& catalogue, const QString& entryAddress, const QString& value);
    // Writes a settings file holding the given catalogue text.
    QString writeRds(const QString& fileName, const QString& catalogueXml) const;
    // Makes the default settings file, optionally hidden through the folder's .hidden list.
    QString writeDefaultRds(const QString& catalogueXml, bool hidden) const;

    CatalogueView m_view;
    CatalogueFiles m_files{context, m_view};
};

} // namespace tavimor::test
