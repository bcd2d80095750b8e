// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/XmlDocument.h"
#include "catalogue/XmlTree.h"

#include <gtest/gtest.h>

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

TEST(XmlDocument, NotWellFormedTextLeavesTheDocumentEmpty) {
    XmlDocument doc;
    ASSERT_TRUE(doc.loadXML(kSample));
    for (const QString& bad : {QStringLiteral("<TAVIMOR><REGISTRYSETTINGS></TAVIMOR>"), QStringLiteral(""),
                               QStringLiteral("plain text"), QStringLiteral("<a/><b/>")}) {
        EXPECT_FALSE(doc.loadXML(bad)) << qPrintable(bad);
        EXPECT_TRUE(doc.isEmpty());
        EXPECT_EQ(doc.xml(), QString());
        EXPECT_TRUE(doc.selectSingleNode(QStringLiteral("TAVIMOR")).isNull());
    }
}

TEST(XmlDocument, EqualContentSerialisesToEqualTextWhateverTheLayout) {
    XmlDocument a, b;
    a.loadXML(kSample);
    QString compact = kSample;
    compact.remove(QStringLiteral("\r\n")).remove(QLatin1Char('\t'));
    b.loadXML(compact);
    EXPECT_EQ(a.xml(), b.xml());

    // An element emptied by setting "" serialises as one that was loaded empty.
    a.loadXML(QStringLiteral("<R><V>x</V></R>"));
    b.loadXML(QStringLiteral("<R><V></V></R>"));
    a.selectSingleNode(QStringLiteral("R/V")).setText(QString());
    EXPECT_EQ(a.xml(), b.xml());

    // Reloading a serialisation gives the same serialisation.
    a.loadXML(kSample);
    b.loadXML(a.xml());
    EXPECT_EQ(a.xml(), b.xml());
}

TEST(XmlDocument, SameContentAgreesWithTheSerialisation) {
    const QStringList texts{QStringLiteral("<R a=\"1\" b=\"2\"><V>x</V></R>"),
                            QStringLiteral("<R b=\"2\" a=\"1\"><V>x</V></R>"),
                            QStringLiteral("<R a=\"1\" b=\"2\"><V><![CDATA[x]]></V></R>"),
                            QStringLiteral("<R a=\"1\" b=\"2\"><V>y</V></R>"),
                            QStringLiteral("<R a=\"1\" b=\"2\"><V>x</V><!--c--></R>"),
                            QStringLiteral("<R a=\"1\" b=\"2\"><V>x</V>\n</R>"),
                            QStringLiteral("<R a=\"1\"><V>x</V></R>")};
    for (const QString& first : texts) {
        for (const QString& second : texts) {
            XmlDocument a, b;
            a.loadXML(first);
            b.loadXML(second);
            EXPECT_EQ(a.sameContent(b), a.xml() == b.xml()) << qPrintable(first + QLatin1Char(' ') + second);
        }
    }
    XmlDocument a, copy;
    a.loadXML(kSample);
    copy.copyFrom(a);
    EXPECT_TRUE(copy.sameContent(a));
    copy.selectSingleNode(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[0]/NAME"))
        .setText(QStringLiteral("3"));
    EXPECT_FALSE(copy.sameContent(a));
    EXPECT_EQ(a.selectSingleNode(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[0]/NAME")).text(),
              QStringLiteral("Third"));
}

TEST(XmlDocument, SpecialCharactersSurviveARoundTrip) {
    XmlDocument doc;
    ASSERT_TRUE(
        doc.loadXML(QStringLiteral("<R q=\"a &amp; &quot;b&quot; &lt;c&gt;&#10;\">&#13;1 &lt; 2 &amp;&amp; "
                                   "\u00e9\u20ac<![CDATA[]]]]><![CDATA[>]]><?pi data?></R>")));
    const XmlNode root = doc.documentElement();
    EXPECT_EQ(root.attribute(QStringLiteral("q")), QStringLiteral("a & \"b\" <c>\n"));
    EXPECT_EQ(root.text(), QStringLiteral("\r1 < 2 && \u00e9\u20ac]]>"));
    XmlDocument again;
    ASSERT_TRUE(again.loadXML(doc.xml()));
    EXPECT_EQ(again.xml(), doc.xml());
    EXPECT_EQ(again.documentElement().text(), root.text());
    EXPECT_EQ(again.documentElement().attribute(QStringLiteral("q")), root.attribute(QStringLiteral("q")));
    // A declared encoding other than UTF-8 is ignored for text, which is UTF-8 whatever it says.
    EXPECT_TRUE(doc.loadXML(QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R>\u00e9</R>")));
    EXPECT_EQ(doc.documentElement().text(), QStringLiteral("\u00e9"));
    EXPECT_TRUE(doc.loadEncoded(QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R>\xe9</R>")));
    EXPECT_EQ(doc.documentElement().text(), QStringLiteral("\u00e9"));
}

TEST(XmlDocument, AddressesCountPositionsFromZero) {
    XmlDocument doc;
    doc.loadXML(kSample);
    EXPECT_EQ(doc.selectSingleNode(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[0]/NAME")).text(),
              QStringLiteral("Third"));
    EXPECT_TRUE(doc.selectSingleNode(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[2]")).isNull());
    const QList<XmlNode> all = doc.selectNodes(QStringLiteral("/TAVIMOR/REGISTRYSETTINGS/ENTRY"));
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[2].selectSingleNode(QStringLiteral("NAME")).text(), QStringLiteral("Third"));
    // "TAVIMOR" + "/ENTRY" selects nothing, the way the root's context refresh relies on.
    EXPECT_TRUE(doc.selectNodes(QStringLiteral("TAVIMOR/ENTRY")).isEmpty());
    EXPECT_TRUE(doc.selectNodes(QStringLiteral("][not a path")).isEmpty());
}

TEST(XmlDocument, TextAttributesAndTree) {
    XmlDocument doc;
    doc.loadXML(kSample);
    const XmlNode entry = doc.selectSingleNode(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"));
    EXPECT_EQ(entry.selectSingleNode(QStringLiteral("NAME")).text(), QStringLiteral("First & <one>"));
    EXPECT_EQ(entry.attribute(QStringLiteral("Restart")), QStringLiteral("Yes"));
    EXPECT_FALSE(entry.attribute(QStringLiteral("restart")).has_value());
    EXPECT_EQ(entry.parentNode().firstAttribute(), QStringLiteral("A"));
    EXPECT_EQ(doc.documentElement().childNodes().size(), 2);
    EXPECT_TRUE(doc.documentElement().parentNode().isNull());

    XmlNode name = entry.selectSingleNode(QStringLiteral("NAME"));
    name.setText(QStringLiteral("a < b"));
    XmlDocument again;
    again.loadXML(doc.xml());
    EXPECT_EQ(again.selectSingleNode(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]/NAME")).text(),
              QStringLiteral("a < b"));
}

TEST(XmlDocument, BuildsAReportDocumentFromAnother) {
    XmlDocument source;
    source.loadXML(kSample);
    XmlDocument report;
    report.appendChild(
        report.createProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version=\"1.0\"")));
    XmlNode root = report.createElement(QStringLiteral("TAVIMOR"));
    for (const auto& [name, value] : source.documentElement().attributes())
        root.setAttribute(name, value);
    report.appendChild(root);
    root.appendChild(
        report.importNode(source.selectSingleNode(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[1]"))));
    const QString xml = report.xml();
    EXPECT_TRUE(xml.startsWith(QStringLiteral("<?xml version=\"1.0\"")));
    XmlDocument parsed;
    ASSERT_TRUE(parsed.loadXML(xml));
    EXPECT_EQ(parsed.selectNodes(QStringLiteral("TAVIMOR/REGISTRYSETTINGS")).size(), 1);
    EXPECT_EQ(parsed.documentElement().attribute(QStringLiteral("SystemName")), QString());
}

TEST(XmlDocument, HostileInputIsRefused) {
    XmlDocument doc;
    const QString laughs = QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a "
                                          "\"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
                                          "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
                                          "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]><TAVIMOR>&d;</TAVIMOR>");
    EXPECT_FALSE(doc.loadXML(laughs));
    const QString external =
        QStringLiteral("<!DOCTYPE t [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><TAVIMOR>&x;</TAVIMOR>");
    EXPECT_FALSE(doc.loadXML(external));
    EXPECT_TRUE(doc.isEmpty());
    // An undeclared entity is not well-formed.
    EXPECT_FALSE(doc.loadXML(QStringLiteral("<TAVIMOR>&x;</TAVIMOR>")));
    EXPECT_TRUE(doc.loadError().contains(QLatin1String("line 1"))) << doc.loadError().toStdString();
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
    EXPECT_EQ(attributes.last(), std::make_pair(QStringLiteral("a63"), QStringLiteral("63")));
    XmlDocument imported;
    imported.appendChild(imported.importNode(doc.documentElement()));
    EXPECT_EQ(imported.documentElement().attributes(), attributes);

    for (const int count : {int(kMaxAttributes) + 1, 200000}) {
        EXPECT_FALSE(doc.loadXML(elementWithAttributes(count)));
        EXPECT_TRUE(doc.isEmpty());
        EXPECT_EQ(doc.loadError(),
                  QStringLiteral("an element has %1 attributes; at most 64 are accepted").arg(count));
    }

    // "=" in values, comments, CDATA and text is no attribute.
    const QByteArray many(1000, '=');
    ASSERT_TRUE(doc.loadXML("<R a=\"" + many + "\" b='\"" + many + "'><!--" + many + "--><![CDATA[" + many +
                            "]]>" + many + "<?pi " + many + "?></R>"));
    EXPECT_EQ(doc.documentElement().attributes().size(), 2);
}

} // namespace
