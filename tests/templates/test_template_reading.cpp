// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateFixtures.h"

#include <QRegularExpression>
#include <QSet>

using namespace tavimor;
using namespace tavimor::test;

namespace {

QMap<QString, int> elementKinds(const TemplateSet& set) {
    QMap<QString, int> kinds;
    for (const auto& file : set.files())
        for (const AdmxPolicy& policy : file->admx.policies)
            for (const AdmxElement& element : policy.elements)
                ++kinds[PolicyValues::kindName(element.kind)];
    return kinds;
}

// What a real set must give: every policy with its texts, every presentation control on an element.
void expectWhole(const TemplateSet& set) {
    for (const PolicyInstance& policy : set.policies()) {
        SCOPED_TRACE(policy.name().toStdString());
        EXPECT_FALSE(set.displayName(policy).startsWith(u"$("_s));
        EXPECT_FALSE(set.explainText(policy).startsWith(u"$("_s));
        EXPECT_FALSE(set.categoryPath(policy).isEmpty());
        for (const PresentationControl& control : set.presentation(policy)) {
            EXPECT_TRUE(control.kind == PresentationControl::Kind::Text ||
                        policy.policy->elementIndex(control.refId) >= 0)
                << control.refId.toStdString();
        }
        if (!policy.policy->elements.isEmpty()) {
            EXPECT_FALSE(set.presentation(policy).isEmpty());
        }
    }
}

TEST(TemplateReading, RealSetsLoadWhole) {
    const TemplateSet firefox = TemplateFolders::load({firefoxTemplates()}, u"en-US"_s);
    EXPECT_TRUE(firefox.problems().isEmpty());
    ASSERT_EQ(firefox.files().size(), 2u);
    EXPECT_EQ(firefox.policies().size(), 2 * 412); // every one of class Both
    EXPECT_EQ(firefox.files()[0]->admx.categories.size() + firefox.files()[1]->admx.categories.size(), 48);
    EXPECT_EQ(elementKinds(firefox), (QMap<QString, int>{{u"boolean"_s, 13},
                                                         {u"decimal"_s, 1},
                                                         {u"enum"_s, 82},
                                                         {u"list"_s, 44},
                                                         {u"multiText"_s, 10},
                                                         {u"text"_s, 283}}));
    EXPECT_EQ(firefox.unresolvedReferences(), QStringList());
    expectWhole(firefox);

    const QList<const PolicyInstance*> homepage = firefox.findByName(u"machine/firefox:HomepageURL"_s);
    ASSERT_EQ(homepage.size(), 1);
    // The root category lives in another file, reached through its namespace prefix.
    EXPECT_EQ(firefox.categoryPath(*homepage[0]), (QStringList{u"Mozilla"_s, u"Firefox"_s, u"Home page"_s}));
    EXPECT_EQ(firefox.supportedOnText(*homepage[0]), u"Firefox 60 or later, Firefox 60 ESR or later"_s);
    EXPECT_EQ(firefox.findByName(u"firefox:homepageurl"_s).size(), 2); // both classes, any case

    const TemplateSet samba = TemplateFolders::load({sambaTemplates()}, u"en-US"_s);
    ASSERT_EQ(samba.files().size(), 1u) << "Debian's samba package is needed (scripts/setup.sh)";
    EXPECT_TRUE(samba.problems().isEmpty());
    EXPECT_EQ(samba.files()[0]->admx.policies.size(), 360);
    EXPECT_EQ(samba.policies().size(), 364);
    EXPECT_EQ(
        elementKinds(samba),
        (QMap<QString, int>{{u"boolean"_s, 103}, {u"decimal"_s, 73}, {u"list"_s, 6}, {u"text"_s, 178}}));
    // The file names definitions it never makes and one of Windows' own, which is not loaded: each is
    // kept and shown by its name.
    QSet<QString> missing;
    for (const QString& line : samba.unresolvedReferences())
        missing.insert(line.section(u' ', -2));
    EXPECT_EQ(missing, (QSet<QString>{u"supportedOn SUPPORTED_WIN7"_s, u"supportedOn SUPPORTED_SAMBA_4_16"_s,
                                      u"supportedOn windows:SUPPORTED_WindowsVista"_s}));
    EXPECT_EQ(samba.supportedOnText(samba.policies().first()), u"windows:SUPPORTED_WindowsVista"_s);
    expectWhole(samba);
}

TEST(TemplateReading, TheShippedTemplatesLoadWhole) {
    const TemplateSet gnome =
        TemplateFolders::load({QStringLiteral(TAVIMOR_SOURCE_DIR "/resources/templates/gnome")}, u"en-US"_s);
    EXPECT_TRUE(gnome.problems().isEmpty());
    EXPECT_EQ(gnome.policies().size(), 13);
    EXPECT_EQ(gnome.unresolvedReferences(), QStringList());
    expectWhole(gnome);
    for (const PolicyInstance& policy : gnome.policies()) {
        EXPECT_EQ(gnome.categoryPath(policy), QStringList{u"GNOME desktop (Linux)"_s});
        for (const AdmxElement& element : policy.policy->elements)
            for (const AdmxEnumItem& item : element.items)
                EXPECT_FALSE(TemplateSet::text(*policy.file, item.displayName).startsWith(u"$("_s));
    }
}

TEST(TemplateReading, BrokenFilesAreNamedWithLineAndReasonAndTheOthersLoad) {
    const struct {
        const char* name;
        QByteArray content;
        const char* reason; // a pattern
    } cases[] = {
        {"notxml", "<policyDefinitions>\n<policies>\n</policyDefinitions>", "^line 3: .*"},
        {"doctype", "<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><policyDefinitions/>",
         "document type"},
        {"root", "<?xml version=\"1.0\"?>\n<catalogue/>", "^line 2: the root element is <catalogue>"},
        {"nonamespace", "<policyDefinitions><policies/></policyDefinitions>", "no target namespace"},
        {"kind",
         admxText("<policy name=\"P\" class=\"User\" key=\"K\"><elements>\n<picture id=\"x\"/>"
                  "</elements></policy>\n"),
         "^line 6: <picture> is no element kind"},
        {"number",
         admxText("<policy name=\"P\" class=\"User\" key=\"K\" valueName=\"V\">\n"
                  "<enabledValue><decimal value=\"4294967296\"/></enabledValue></policy>\n"),
         "^line 6: value=\"4294967296\" is no number from 0 to 4294967295"},
        {"class", admxText("<policy name=\"P\" class=\"Everyone\" key=\"K\"/>\n"),
         "^line 5: .*class \"Everyone\""},
        {"twice",
         admxText("<policy name=\"P\" class=\"User\" key=\"K\"><elements><text id=\"a\" valueName=\"a\"/>"
                  "\n<text id=\"a\" valueName=\"b\"/></elements></policy>\n"),
         "^line 6: the policy P has two elements with the id a"},
        {"range",
         admxText("<policy name=\"P\" class=\"User\" key=\"K\"><elements>\n"
                  "<decimal id=\"d\" valueName=\"d\" minValue=\"9\" maxValue=\"3\"/></elements></policy>\n"),
         "^line 6: the element d has minValue 9 above maxValue 3"},
        {"novalue",
         admxText("<policy name=\"P\" class=\"User\" key=\"K\"><elements>\n<text id=\"t\"/></elements>"
                  "</policy>\n"),
         "^line 6: the element t has no valueName"},
        {"emptypart",
         admxText("<policy name=\"P\" class=\"User\" key=\"K\"><elements>\n"
                  "<list id=\"l\" key=\"Software\\Policies\\\\x\"/></elements></policy>\n"),
         "^line 6: the key \"Software.Policies..x\" has an empty part"},
    };
    TemplateFolder folder;
    for (const auto& c : cases)
        folder.write(QString::fromLatin1(c.name) + u".admx"_s, c.content);
    folder.write(u"good.admx"_s,
                 admxText("<policy name=\"Fine\" class=\"User\" key=\"K\" valueName=\"V\"/>\n"));
    folder.write(u"en-US/good.adml"_s, "<policyDefinitionResources/>");
    const TemplateSet set = folder.load();
    ASSERT_EQ(set.files().size(), 1u);
    EXPECT_EQ(set.policies().size(), 1);
    QMap<QString, QString> reasons;
    for (const TemplateProblem& problem : set.problems())
        if (!problem.loaded)
            reasons.insert(QFileInfo(problem.path).completeBaseName(), problem.reason);
    for (const auto& c : cases)
        EXPECT_TRUE(QRegularExpression(QString::fromLatin1(c.reason))
                        .match(reasons.value(QString::fromLatin1(c.name)))
                        .hasMatch())
            << c.name << ": " << reasons.value(QString::fromLatin1(c.name)).toStdString();
}

TEST(TemplateReading, LanguageFolderThenEnglishThenNamesAndOneNamespaceOnce) {
    TemplateFolder folder;
    const QByteArray policy =
        "<policy name=\"P\" class=\"Both\" displayName=\"$(string.P)\" key=\"K\" valueName=\"V\"/>\n";
    folder.write(u"a.admx"_s, admxText(policy));
    folder.write(u"EN-us/A.ADML"_s,
                 "<policyDefinitionResources><resources><stringTable><string id=\"P\">Plain</string>"
                 "</stringTable></resources></policyDefinitionResources>");
    folder.write(u"de-DE/a.adml"_s,
                 "<policyDefinitionResources><resources><stringTable><string id=\"P\">Schlicht</string>"
                 "</stringTable></resources></policyDefinitionResources>");
    QByteArray other = admxText(policy);
    other.replace("Tavimor.Test", "Tavimor.Other").replace("prefix=\"test\"", "prefix=\"other\"");
    folder.write(u"b.admx"_s, other);
    folder.write(u"c.admx"_s, admxText(policy)); // the namespace of a.admx again

    const TemplateSet german = folder.load(u"de-DE"_s);
    ASSERT_EQ(german.policies().size(), 4);
    EXPECT_EQ(german.displayName(german.policies()[0]), u"Schlicht"_s);
    EXPECT_EQ(german.policies()[0].name(), u"machine/test:P"_s);
    EXPECT_EQ(german.policies()[1].name(), u"user/test:P"_s);
    EXPECT_EQ(german.policies()[1].hive(), HKEY_CURRENT_USER);
    EXPECT_EQ(german.displayName(german.policies()[2]), u"$(string.P)"_s);
    const TemplateSet french = folder.load(u"fr-FR"_s);
    EXPECT_EQ(french.displayName(french.policies()[0]), u"Plain"_s);
    QStringList notes;
    for (const TemplateProblem& problem : french.problems())
        notes.append(QFileInfo(problem.path).fileName() + u": "_s + problem.reason);
    EXPECT_EQ(
        notes,
        (QStringList{
            u"b.admx: no ADML file for it in fr-FR or en-US; its texts show as their names"_s,
            u"c.admx: its namespace Tavimor.Test is loaded from %1 already; this copy is not used"_s.arg(
                folder.path() + u"/a.admx"_s),
        }));
}

} // namespace
