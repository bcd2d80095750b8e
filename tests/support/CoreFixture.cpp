// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreFixture.h"

#include "base/FileUtil.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueEntry.h"
#include "registry/Cipher.h"

#include <QDir>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace tavimor::test {

CoreFixture::CoreFixture()
    : m_settings(m_dir.filePath(u"settings"_s))
    , m_context(m_backend, m_prompter, m_settings, m_errors, m_dir.filePath(u"program"_s))
    , m_files(m_context, m_view) {
    QDir().mkpath(m_context.programFolder);
    for (const SeedValue& seed : windows98Seed(u"TESTBOX"_s))
        m_backend.putValue(seed.keyPath, seed.name, seed.value);
    Main(m_context);
}

void CoreFixture::loadBuiltin() {
    m_context.machineCatalogue.loadXML(builtinCatalogueText());
    m_context.workingCatalogue.loadXML(builtinCatalogueText());
}

QString CoreFixture::currentValue(const XmlDocument& catalogue, const QString& entryAddress) const {
    return CatalogueEntry(catalogue.selectSingleNode(entryAddress)).currentValue().text();
}

void CoreFixture::setCurrentValue(XmlDocument& catalogue, const QString& entryAddress, const QString& value) {
    CatalogueEntry(catalogue.selectSingleNode(entryAddress)).currentValue().setText(value);
}

std::optional<quint32> CoreFixture::dword(const QString& keyPath, const QString& name) const {
    const std::optional<RegValue> value = m_backend.value(keyPath, name);
    if (!value || value->type != REG_DWORD || value->data.size() != 4)
        return std::nullopt;
    return qFromLittleEndian<quint32>(value->data.constData());
}

QString CoreFixture::writeRds(const QString& fileName, const QString& catalogueXml) const {
    const QString path = m_dir.filePath(fileName);
    EXPECT_TRUE(
        writeFileAtomically(path, CatalogueFiles::encipherSettingsFile(catalogueXml, cataloguePassPhrase())));
    return path;
}

QString CoreFixture::writeDefaultRds(const QString& catalogueXml, bool hidden) const {
    const QString path = m_context.defaultSettingsFile();
    EXPECT_TRUE(
        writeFileAtomically(path, CatalogueFiles::encipherSettingsFile(catalogueXml, cataloguePassPhrase())));
    if (hidden) {
        EXPECT_TRUE(writeFileAtomically(m_context.programFolder + u"/.hidden"_s, "tavimor.rds\n"));
    }
    return path;
}

} // namespace tavimor::test
