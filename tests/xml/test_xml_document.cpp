// SPDX-License-Identifier: GPL-3.0-or-later
#include "xml/XmlDocument.h"
#include "xml/XmlTree.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;

namespace {

const QString kSample =
    QStringLiteral("<?xml version=\"1.0\"?>\r\n"
                   "<TAVIMOR SystemName=\"\">\r\n"
                   "\t<REGISTRYSETTINGS Section=\"A\">\r\n"
                   "\t\t<ENTRY Restart=\"Yes\"><NAME><![CDATA[First & <one>]]></NAME></ENTRY>\r\n"
                   "\t\t<ENTRY><NAME>Second</NAME></ENTRY>\r\n"
                   "\t</REGISTRYSETTINGS>\r\n"
                   "\t<REGISTRYSETTINGS Section=\"B\"><ENTRY><NAME>Third</NAME></ENTRY>"
                   "</REGISTRYSETTINGS>\r\n"
                   "</TAVIMOR>");

// Not well-formed text, entity expansion and external entities are refused and leave the document empty.
TEST(XmlDocument, BadAndHostileTextIsRefusedAndLeavesTheDocumentEmpty) {
    const QString laughs = QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a "
                                          "\"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
                                          "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
                                          "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]><TAVIMOR>&d;</TAVIMOR>");
    XmlDocument doc;
    for (const QString& bad :
         {u"<TAVIMOR><REGISTRYSETTINGS></TAVIMOR>"_s, u""_s, u"plain text"_s, u"<a/><b/>"_s, laughs,
          u"<!DOCTYPE t [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><TAVIMOR>&x;</TAVIMOR>"_s,
          u"<TAVIMOR>&x;</TAVIMOR>"_s}) {
        ASSERT_TRUE(doc.loadXML(kSample));
        EXPECT_FALSE(doc.loadXML(bad)) << qPrintable(bad);
        EXPECT_TRUE(doc.isEmpty());
        EXPECT_EQ(doc.xml(), QString());
        EXPECT_TRUE(doc.selectSingleNode(u"TAVIMOR"_s).isNull());
    }
    // The last, an undeclared entity, is not well-formed, and the error says where.
    EXPECT_TRUE(doc.loadError().contains("line 1"_L1)) << doc.loadError().toStdString();
}

TEST(XmlDocument, EqualContentSerialisesToEqualTextWhateverTheLayout) {
    XmlDocument a, b;
    a.loadXML(kSample);
    QString compact = kSample;
    compact.remove(u"\r\n"_s).remove(u'\t');
    b.loadXML(compact);
    EXPECT_EQ(a.xml(), b.xml());

    // An element emptied by setting "" serialises as one that was loaded empty.
    a.loadXML(u"<R><V>x</V></R>"_s);
    b.loadXML(u"<R><V></V></R>"_s);
    a.selectSingleNode(u"R/V"_s).setText(QString());
    EXPECT_EQ(a.xml(), b.xml());
}

TEST(XmlDocument, SameContentAgreesWithTheSerialisation) {
    const QStringList texts{u"<R a=\"1\" b=\"2\"><V>x</V></R>"_s,
                            u"<R b=\"2\" a=\"1\"><V>x</V></R>"_s,
                            u"<R a=\"1\" b=\"2\"><V><![CDATA[x]]></V></R>"_s,
                            u"<R a=\"1\" b=\"2\"><V>y</V></R>"_s,
                            u"<R a=\"1\" b=\"2\"><V>x</V><!--c--></R>"_s,
                            u"<R a=\"1\" b=\"2\"><V>x</V>\n</R>"_s,
                            u"<R a=\"1\"><V>x</V></R>"_s};
    for (const QString& first : texts) {
        for (const QString& second : texts) {
            XmlDocument a, b;
            a.loadXML(first);
            b.loadXML(second);
            EXPECT_EQ(a.sameContent(b), a.xml() == b.xml()) << qPrintable(first + u' ' + second);
        }
    }
    XmlDocument a, copy;
    a.loadXML(kSample);
    copy.copyFrom(a);
    EXPECT_TRUE(copy.sameContent(a));
    copy.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[0]/NAME"_s).setText(u"3"_s);
    EXPECT_FALSE(copy.sameContent(a));
    EXPECT_EQ(a.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[0]/NAME"_s).text(), u"Third"_s);
}

TEST(XmlDocument, SpecialCharactersSurviveARoundTrip) {
    XmlDocument doc;
    ASSERT_TRUE(
        doc.loadXML(QStringLiteral("<R q=\"a &amp; &quot;b&quot; &lt;c&gt;&#10;\">&#13;1 &lt; 2 &amp;&amp; "
                                   "\u00e9\u20ac<![CDATA[]]]]><![CDATA[>]]><?pi data?></R>")));
    const XmlNode root = doc.documentElement();
    EXPECT_EQ(root.attribute(u"q"_s), u"a & \"b\" <c>\n"_s);
    EXPECT_EQ(root.text(), u"\r1 < 2 && \u00e9\u20ac]]>"_s);
    XmlDocument again;
    ASSERT_TRUE(again.loadXML(doc.xml()));
    EXPECT_EQ(again.xml(), doc.xml());
    EXPECT_EQ(again.documentElement().text(), root.text());
    EXPECT_EQ(again.documentElement().attribute(u"q"_s), root.attribute(u"q"_s));
    // A declared encoding other than UTF-8 is ignored for text, which is UTF-8 whatever it says.
    EXPECT_TRUE(doc.loadXML(u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R>\u00e9</R>"_s));
    EXPECT_EQ(doc.documentElement().text(), u"\u00e9"_s);
    EXPECT_TRUE(doc.loadEncoded(QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R>\xe9</R>")));
    EXPECT_EQ(doc.documentElement().text(), u"\u00e9"_s);

    // Laid out in pieces, as a settings file is written, the text is the same, also where the
    // pieces break it.
    XmlDocument pieced;
    ASSERT_TRUE(pieced.loadXML(u"<R><E q=\"&quot;&#10;\">1 &lt; 2<![CDATA[a]]]]><![CDATA[>b]]></E></R>"_s));
    for (int copies = 0; copies < 3000; ++copies)
        pieced.documentElement().appendChild(pieced.importNode(pieced.documentElement().firstChildElement()));
    QByteArray pieces;
    int count = 0;
    pieced.serialize([&](QByteArrayView piece) {
        pieces += piece;
        ++count;
    });
    EXPECT_EQ(pieces, pieced.serialize());
    EXPECT_GT(count, 1);
}

TEST(XmlDocument, AddressesCountPositionsFromZero) {
    XmlDocument doc;
    doc.loadXML(kSample);
    EXPECT_EQ(doc.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[0]/NAME"_s).text(), u"Third"_s);
    EXPECT_TRUE(doc.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[2]"_s).isNull());
    const QList<XmlNode> all = doc.selectNodes(u"/TAVIMOR/REGISTRYSETTINGS/ENTRY"_s);
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[2].selectSingleNode(u"NAME"_s).text(), u"Third"_s);
    // "TAVIMOR" + "/ENTRY" selects nothing, the way the root's context refresh relies on.
    EXPECT_TRUE(doc.selectNodes(u"TAVIMOR/ENTRY"_s).isEmpty());
    EXPECT_TRUE(doc.selectNodes(u"][not a path"_s).isEmpty());
    // Attribute names are matched as written; the section's name is its first attribute.
    const XmlNode entry = doc.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s);
    EXPECT_EQ(entry.attribute(u"Restart"_s), u"Yes"_s);
    EXPECT_FALSE(entry.attribute(u"restart"_s).has_value());
    EXPECT_EQ(entry.parentNode().firstAttribute(), u"A"_s);
}

// Positions far into a long parent are answered from an index; every change of the tree must
// leave each address naming what a walk over the children would find.
TEST(XmlDocument, PositionsFarIntoALongSectionFollowEveryChange) {
    QString text = u"<TAVIMOR><REGISTRYSETTINGS Section=\"A\">"_s;
    for (int e = 0; e < 40; ++e)
        text += u"<ENTRY><NAME>%1</NAME></ENTRY><COMMENT/>"_s.arg(e);
    text += u"</REGISTRYSETTINGS><REGISTRYSETTINGS Section=\"B\"/></TAVIMOR>"_s;
    XmlDocument doc;
    ASSERT_TRUE(doc.loadXML(text));
    const auto nameAt = [&doc](int s, int e) {
        const XmlNode entry = doc.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[%1]/ENTRY[%2]"_s.arg(s).arg(e));
        return entry.isNull() ? u"none"_s : entry.selectSingleNode(u"NAME"_s).text();
    };
    EXPECT_EQ(nameAt(0, 30), u"30"_s);
    EXPECT_EQ(nameAt(0, 39), u"39"_s);
    EXPECT_EQ(nameAt(0, 40), u"none"_s);
    EXPECT_EQ(doc.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[0]/*[60]/NAME"_s).text(), u"30"_s);

    // Appended: found at the end.
    XmlNode added = doc.createElement(u"ENTRY"_s);
    added.appendChild(doc.createElement(u"NAME"_s));
    added.selectSingleNode(u"NAME"_s).setText(u"new"_s);
    doc.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[0]"_s).appendChild(added);
    EXPECT_EQ(nameAt(0, 40), u"new"_s);
    EXPECT_EQ(doc.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[0]/*[80]/NAME"_s).text(), u"new"_s);

    // Moved to another section: the rest close up behind it.
    doc.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[1]"_s)
        .appendChild(doc.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[20]"_s));
    EXPECT_EQ(nameAt(0, 20), u"21"_s);
    EXPECT_EQ(nameAt(0, 39), u"new"_s);
    EXPECT_EQ(nameAt(1, 0), u"20"_s);

    // Emptied by a text: nothing is left, and reused nodes do not answer for the old ones.
    doc.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[0]"_s).setText(u"gone"_s);
    EXPECT_EQ(nameAt(0, 30), u"none"_s);
    for (int e = 0; e < 20; ++e)
        doc.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[1]"_s)
            .appendChild(doc.importNode(doc.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[0]"_s)));
    EXPECT_EQ(nameAt(1, 20), u"20"_s);
    EXPECT_EQ(nameAt(1, 21), u"none"_s);

    // A copy answers as the original; a new load forgets the old content.
    XmlDocument copy;
    copy.copyFrom(doc);
    EXPECT_EQ(copy.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[20]/NAME"_s).text(), u"20"_s);
    ASSERT_TRUE(doc.loadXML(text));
    EXPECT_EQ(nameAt(0, 20), u"20"_s);
    EXPECT_EQ(nameAt(1, 20), u"none"_s);
}

QByteArray elementWithAttributes(int count) {
    QByteArray xml = "<?xml version=\"1.0\"?><!-- a=1 b=2 --><TAVIMOR";
    for (int i = 0; i < count; ++i)
        xml += " a" + QByteArray::number(i) + "=\"" + QByteArray::number(i) + '"';
    return xml + "><![CDATA[x=1 y=2]]>c=3</TAVIMOR>";
}

// libxml2 takes quadratic time over the attributes of one tag (200,000 took minutes), so such
// an element is refused before it gets there; every attribute up to the limit still loads.
TEST(XmlDocument, AnElementWithVeryManyAttributesIsRefusedUpFront) {
    XmlDocument doc;
    ASSERT_TRUE(doc.loadXML(elementWithAttributes(int(kMaxAttributes))));
    EXPECT_EQ(doc.loadError(), QString());
    const auto attributes = doc.documentElement().attributes();
    ASSERT_EQ(attributes.size(), kMaxAttributes);
    EXPECT_EQ(attributes.last(), std::make_pair(u"a63"_s, u"63"_s));
    XmlDocument imported;
    imported.appendChild(imported.importNode(doc.documentElement()));
    EXPECT_EQ(imported.documentElement().attributes(), attributes);

    for (const int count : {int(kMaxAttributes) + 1, 200000}) {
        EXPECT_FALSE(doc.loadXML(elementWithAttributes(count)));
        EXPECT_TRUE(doc.isEmpty());
        EXPECT_EQ(doc.loadError(), u"an element has %1 attributes; at most 64 are accepted"_s.arg(count));
    }

    // "=" in values, comments, CDATA and text is no attribute.
    const QByteArray many(1000, '=');
    ASSERT_TRUE(doc.loadXML("<R a=\"" + many + "\" b='\"" + many + "'><!--" + many + "--><![CDATA[" + many +
                            "]]>" + many + "<?pi " + many + "?></R>"));
    EXPECT_EQ(doc.documentElement().attributes().size(), 2);
}

} // namespace
