// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreFixture.h"

#include "base/FileUtil.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueEntry.h"
#include "registry/Cipher.h"

using namespace Qt::StringLiterals;

namespace tavimor::test {

void CoreFixture::loadBuiltin() {
    context.machineCatalogue.loadXML(builtinCatalogueText());
    context.workingCatalogue.loadXML(builtinCatalogueText());
}

void CoreFixture::setCurrentValue(XmlDocument& catalogue, const QString& entryAddress, const QString& value) {
    CatalogueEntry(catalogue.selectSingleNode(entryAddress)).currentValue().setText(value);
}

QString CoreFixture::writeRds(const QString& fileName, const QString& catalogueXml) const {
    const QString path = dir.filePath(fileName);
    EXPECT_TRUE(
        writeFileAtomically(path, CatalogueFiles::encipherSettingsFile(catalogueXml, cataloguePassPhrase())));
    return path;
}

QString CoreFixture::writeDefaultRds(const QString& catalogueXml, bool hidden) const {
    const QString path = context.defaultSettingsFile();
    EXPECT_TRUE(
        writeFileAtomically(path, CatalogueFiles::encipherSettingsFile(catalogueXml, cataloguePassPhrase())));
    if (hidden) {
        EXPECT_TRUE(writeFileAtomically(context.programFolder + u"/.hidden"_s, "tavimor.rds\n"));
    }
    return path;
}

} // namespace tavimor::test
