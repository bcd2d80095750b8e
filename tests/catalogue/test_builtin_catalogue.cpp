// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/XmlDocument.h"

#include <gtest/gtest.h>

using namespace tavimor;

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

XmlDocument loadBuiltin() {
    XmlDocument doc;
    EXPECT_TRUE(doc.loadXML(builtinCatalogueText()));
    return doc;
}

} // namespace

TEST(BuiltinCatalogue, JoinedPiecesFormOneDocumentOfSevenSectionsAndFiftySevenEntries) {
    const XmlDocument doc = loadBuiltin();
    EXPECT_EQ(doc.documentElement().nodeName(), u("TAVIMOR"));
    EXPECT_EQ(doc.documentElement().attribute(u("SystemName")), u(""));
    EXPECT_EQ(doc.selectNodes(u("TAVIMOR/REGISTRYSETTINGS")).size(), 7);
    EXPECT_EQ(doc.selectNodes(u("/TAVIMOR/REGISTRYSETTINGS/ENTRY")).size(), 57);
}

TEST(BuiltinCatalogue, PiecesSplitAfterSecuritySectionWithCrLfLines) {
    const QString& first = txtInitialXML1();
    const QString& second = txtInitialXML2();
    EXPECT_TRUE(first.startsWith(u("<?xml version=\"1.0\"?>\r\n<TAVIMOR SystemName=\"\">\r\n")));
    EXPECT_TRUE(first.endsWith(u("\t</REGISTRYSETTINGS>\r\n")));
    EXPECT_TRUE(first.contains(u("<REGISTRYSETTINGS Section=\"Security\">")));
    EXPECT_TRUE(second.startsWith(u("\t<REGISTRYSETTINGS Section=\"Start Menu\">\r\n")));
    EXPECT_TRUE(second.endsWith(u("</REGISTRYSETTINGS>\r\n</TAVIMOR>")));
    EXPECT_EQ(builtinCatalogueText(), first + second);

    const QString text = builtinCatalogueText();
    EXPECT_EQ(text.count(u("\n")), text.count(u("\r\n")));
    EXPECT_EQ(text.count(u("\r")), text.count(u("\r\n")));
    EXPECT_FALSE(text.contains(u("\n ")));
}

// Run Dialog, the Number and the Drives entry and the machine-wide entries are read through the
// command-line tool's show, list and export tests; this is what none of those reaches.
TEST(BuiltinCatalogue, EntriesCarryTheirRegistryPlaceAndInitialValues) {
    const XmlDocument doc = loadBuiltin();
    const XmlNode connection = doc.selectSingleNode(u("TAVIMOR/REGISTRYSETTINGS[6]/ENTRY[5]"));
    EXPECT_EQ(connection.selectSingleNode(u("REGNAME")).text(), u("Connection Settings"));
    EXPECT_EQ(connection.selectSingleNode(u("PATH")).text(),
              u("SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\Control Panel"));
    for (const XmlNode& values : doc.selectNodes(u("/TAVIMOR/REGISTRYSETTINGS/ENTRY/VALUES"))) {
        if (values.attribute(u("Datatype")) != u("Boolean"))
            continue;
        EXPECT_EQ(values.selectNodes(u("VALUE")).size(), 2);
        EXPECT_EQ(values.selectSingleNode(u("DEFAULTVALUE")).text(), u("0"));
        EXPECT_EQ(values.selectSingleNode(u("CURRENTVALUE")).text(), u("0"));
    }
}

TEST(BuiltinCatalogue, EveryEntryIsDescribedAndOnlySaveDesktopHasAComment) {
    const XmlDocument doc = loadBuiltin();
    for (const XmlNode& entry : doc.selectNodes(u("/TAVIMOR/REGISTRYSETTINGS/ENTRY"))) {
        const QString name = entry.selectSingleNode(u("NAME")).text();
        EXPECT_FALSE(entry.selectSingleNode(u("DESCRIPTION")).text().trimmed().isEmpty())
            << name.toStdString();
        EXPECT_TRUE(entry.selectSingleNode(u("IMAGE")).text().startsWith(u("\\Resources\\")))
            << name.toStdString();
    }

    const QList<XmlNode> comments = doc.selectNodes(u("/TAVIMOR/REGISTRYSETTINGS/ENTRY/COMMENT"));
    ASSERT_EQ(comments.size(), 1);
    EXPECT_EQ(comments[0].text(), u("Doesnot work in Windows 98"));
    EXPECT_EQ(comments[0].parentNode().selectSingleNode(u("NAME")).text(), u("Save Desktop"));
    EXPECT_EQ(comments[0].nextSiblingElement().nodeName(), u("IMAGE"));
}
