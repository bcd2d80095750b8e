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

TEST(BuiltinCatalogue, AddressesCountFromZero) {
    const XmlDocument doc = loadBuiltin();
    EXPECT_EQ(doc.selectSingleNode(u("TAVIMOR/REGISTRYSETTINGS[0]")).attribute(u("Section")), u("Display"));
    EXPECT_EQ(doc.selectSingleNode(u("TAVIMOR/REGISTRYSETTINGS[6]")).attribute(u("Section")),
              u("InternetExplorer"));
    EXPECT_EQ(doc.selectSingleNode(u("TAVIMOR/REGISTRYSETTINGS[3]/ENTRY[0]/NAME")).text(),
              u("Handle Drive(s)"));
    EXPECT_TRUE(doc.selectSingleNode(u("TAVIMOR/REGISTRYSETTINGS[7]")).isNull());
}

TEST(BuiltinCatalogue, EntriesCarryTheirRegistryValueTypeAndInitialValues) {
    const XmlDocument doc = loadBuiltin();

    const XmlNode run = doc.selectSingleNode(u("TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]"));
    EXPECT_EQ(run.selectSingleNode(u("NAME")).text(), u("Run Dialog"));
    EXPECT_EQ(run.selectSingleNode(u("REGNAME")).text(), u("NoRun"));
    EXPECT_EQ(run.attribute(u("Restart")), u("Yes"));
    EXPECT_EQ(run.selectSingleNode(u("KEY")).text(), u("HKEY_CURRENT_USER"));
    EXPECT_EQ(run.selectSingleNode(u("PATH")).text(),
              u("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"));
    EXPECT_EQ(run.selectNodes(u("VALUES/VALUE")).size(), 2);
    EXPECT_EQ(run.selectSingleNode(u("VALUES/CURRENTVALUE")).text(), u("0"));

    const XmlNode connection = doc.selectSingleNode(u("TAVIMOR/REGISTRYSETTINGS[6]/ENTRY[5]"));
    EXPECT_EQ(connection.selectSingleNode(u("REGNAME")).text(), u("Connection Settings"));
    EXPECT_EQ(connection.selectSingleNode(u("PATH")).text(),
              u("SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\Control Panel"));

    const XmlNode recentDocs = doc.selectSingleNode(u("TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[0]"));
    EXPECT_EQ(recentDocs.selectSingleNode(u("KEY")).text(), u("HKEY_LOCAL_MACHINE"));
    EXPECT_EQ(recentDocs.selectSingleNode(u("PATH")).text(),
              u("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"));

    const XmlNode minLength = doc.selectSingleNode(u("TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[6]"));
    EXPECT_EQ(minLength.selectSingleNode(u("VALUES")).attribute(u("Datatype")), u("Number"));
    EXPECT_TRUE(minLength.selectSingleNode(u("VALUES/VALUE")).isNull());
    EXPECT_EQ(minLength.selectSingleNode(u("VALUES/DEFAULTVALUE")).text(), u("Null"));
    EXPECT_EQ(minLength.selectSingleNode(u("VALUES/CURRENTVALUE")).text(), u("Null"));

    const XmlNode drives = doc.selectSingleNode(u("TAVIMOR/REGISTRYSETTINGS[3]/ENTRY[0]"));
    EXPECT_EQ(drives.selectSingleNode(u("VALUES")).attribute(u("Datatype")), u("Drives"));
    EXPECT_TRUE(drives.selectSingleNode(u("VALUES/VALUE")).isNull());
    EXPECT_TRUE(drives.selectSingleNode(u("VALUES/DEFAULTVALUE")));
    EXPECT_EQ(drives.selectSingleNode(u("VALUES/CURRENTVALUE")).text(), u(""));
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
