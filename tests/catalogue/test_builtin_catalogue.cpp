// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/BuiltinCatalogue.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;

TEST(BuiltinCatalogue, OneDocumentOfSevenSectionsAndFiftySevenEntriesInCrLfLines) {
    const QString text = builtinCatalogueText();
    XmlDocument doc;
    ASSERT_TRUE(doc.loadXML(text));
    EXPECT_EQ(doc.documentElement().nodeName(), u"TAVIMOR"_s);
    EXPECT_EQ(doc.selectNodes(u"TAVIMOR/REGISTRYSETTINGS"_s).size(), 7);
    EXPECT_EQ(doc.selectNodes(u"/TAVIMOR/REGISTRYSETTINGS/ENTRY"_s).size(), 57);
    EXPECT_EQ(text.count(u"\n"_s), text.count(u"\r\n"_s));
    EXPECT_EQ(text.count(u"\r"_s), text.count(u"\r\n"_s));
    EXPECT_FALSE(text.contains(u"\n "_s));
}

// The command-line tool's show, list and export tests read single entries; this holds for every one.
TEST(BuiltinCatalogue, EveryEntryIsDescribedOnOffEntriesStartOffAndOnlySaveDesktopHasAComment) {
    XmlDocument doc;
    ASSERT_TRUE(doc.loadXML(builtinCatalogueText()));
    for (const XmlNode& entry : doc.selectNodes(u"/TAVIMOR/REGISTRYSETTINGS/ENTRY"_s)) {
        const std::string name = entry.selectSingleNode(u"NAME"_s).text().toStdString();
        EXPECT_FALSE(entry.selectSingleNode(u"DESCRIPTION"_s).text().trimmed().isEmpty()) << name;
        EXPECT_TRUE(entry.selectSingleNode(u"IMAGE"_s).text().startsWith(u"\\Resources\\"_s)) << name;
        const XmlNode values = entry.selectSingleNode(u"VALUES"_s);
        if (values.attribute(u"Datatype"_s) != u"Boolean"_s)
            continue;
        EXPECT_EQ(values.selectNodes(u"VALUE"_s).size(), 2) << name;
        EXPECT_EQ(values.selectSingleNode(u"DEFAULTVALUE"_s).text(), u"0"_s) << name;
        EXPECT_EQ(values.selectSingleNode(u"CURRENTVALUE"_s).text(), u"0"_s) << name;
    }

    const QList<XmlNode> comments = doc.selectNodes(u"/TAVIMOR/REGISTRYSETTINGS/ENTRY/COMMENT"_s);
    ASSERT_EQ(comments.size(), 1);
    EXPECT_EQ(comments[0].text(), u"Doesnot work in Windows 98"_s);
    EXPECT_EQ(comments[0].parentNode().selectSingleNode(u"NAME"_s).text(), u"Save Desktop"_s);
    EXPECT_EQ(comments[0].nextSiblingElement().nodeName(), u"IMAGE"_s);
}
