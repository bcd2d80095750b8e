// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ProgramHarness.h"
#include "base/FileUtil.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueFiles.h"
#include "settings/Cipher.h"

#include <gtest/gtest.h>

namespace tavimor::test {

// The program's core over a ProgramHarness, with the settings-file commands at hand.
class CoreFixture : public ::testing::Test, protected ProgramHarness {
protected:
    // Both catalogues hold the built-in catalogue, as a fresh start leaves them before the refresh.
    void loadBuiltin() { loadBoth(builtinCatalogueText()); }
    // Writes a settings file holding the given catalogue text; a bare name goes in the test's folder.
    QString writeRds(const QString& fileName, const QString& catalogueXml) const {
        const QString path = QDir(dir.path()).filePath(fileName);
        EXPECT_TRUE(writeFileAtomically(
            path, CatalogueFiles::encipherSettingsFile(catalogueXml, cataloguePassPhrase())));
        return path;
    }
    // Makes the default settings file, optionally hidden through the folder's .hidden list.
    QString writeDefaultRds(const QString& catalogueXml, bool hidden) const {
        if (hidden) {
            EXPECT_TRUE(writeFileAtomically(context.programFolder + u"/.hidden"_s, "tavimor.rds\n"));
        }
        return writeRds(context.defaultSettingsFile(), catalogueXml);
    }

    CatalogueView m_view;
    CatalogueFiles m_files{context, m_view};
};

} // namespace tavimor::test
