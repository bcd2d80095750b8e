// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/PolicyForm.h"
#include "catalogue/RegistrySession.h"
#include "catalogue/ReportPage.h"
#include "catalogue/TemplateEdit.h"
#include "catalogue/TemplateLibrary.h"
#include "catalogue/TemplateStates.h"
#include "catalogue/TemplateTree.h"
#include "grouppolicy/PolFile.h"
#include "grouppolicy/TargetFactory.h"
#include "support/CoreFixture.h"
#include "templates/TemplateSet.h"

#include <QDirIterator>

namespace tavimor::test {
namespace {

const QString kFirefox = QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/templates/data/firefox");
const QString kHomepageKey = u"HKEY_LOCAL_MACHINE\\Software\\Policies\\Mozilla\\Firefox\\Homepage"_s;

class TemplateBrowsing : public CoreFixture {
protected:
    TemplateBrowsing() {
        loadBuiltin();
        EXPECT_TRUE(library.load().isEmpty());
    }
    const PolicyInstance& policy(const QString& name) const {
        const PolicyInstance* found = TemplateTree::policyOf(context, u"policy:"_s + name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return *found;
    }
    ListRow row(const QString& nodeTag, const QString& text) const {
        for (const ListRow& r : TemplateTree::rows(context, nodeTag))
            if (r.text == text)
                return r;
        return {};
    }
    QString homeTag(const QString& scope = u"Machine"_s) const {
        return u"template:"_s + scope +
               u"\x1fMozilla\x1f"
               u"Firefox\x1fHome page"_s;
    }

    TemplateLibrary library{context, kFirefox};
};

TEST_F(TemplateBrowsing, TreeAndRowsFollowTheCategoriesAndBothStates) {
    const QList<TemplateNode> roots = TemplateTree::nodes(context);
    ASSERT_EQ(roots.size(), 2);
    EXPECT_EQ(roots[0].name, u"Computer Configuration"_s);
    EXPECT_EQ(roots[1].name, u"User Configuration"_s);
    ASSERT_EQ(roots[0].children.size(), 1);
    EXPECT_EQ(roots[0].children[0].name, u"Mozilla"_s);
    const TemplateNode& firefox = roots[0].children[0].children.value(0);
    EXPECT_EQ(firefox.name, u"Firefox"_s);
    EXPECT_TRUE(std::any_of(firefox.children.cbegin(), firefox.children.cend(),
                            [&](const TemplateNode& n) { return n.tag == homeTag(); }));

    // A node's rows: its categories first, sorted, then its policies; the categories open nodes.
    const QList<ListRow> firefoxRows = TemplateTree::rows(context, firefox.tag);
    ASSERT_FALSE(firefoxRows.isEmpty());
    EXPECT_TRUE(TemplateTree::isNodeTag(firefoxRows.first().tag));
    EXPECT_TRUE(TemplateTree::policyOf(context, firefoxRows.last().tag));

    const PolicyInstance& url = policy(u"machine/firefox:HomepageURL"_s);
    const ListRow before = row(homeTag(), u"URL for Home page"_s);
    EXPECT_EQ(before.tag, TemplateTree::rowTag(url));
    EXPECT_EQ(before.workingState, u"Not configured"_s);
    EXPECT_EQ(before.machineState, u"Not configured"_s);

    // Later: the working catalogue alone. Now: the registry, read back into both.
    PolicySetting enabled{PolicyState::Enabled,
                          {{true, 0, u"https://example.org"_s, {}, {}}, {true, 1, {}, {}, {}}}};
    applyPolicyLater(context, url, enabled);
    EXPECT_EQ(row(homeTag(), u"URL for Home page"_s).workingState, u"Enabled"_s);
    EXPECT_EQ(row(homeTag(), u"URL for Home page"_s).machineState, u"Not configured"_s);
    EXPECT_FALSE(backend.value(kHomepageKey, u"URL"_s));

    const PolicyInstance& additional = policy(u"machine/firefox:HomepageAdditional"_s);
    PolicySetting list{PolicyState::Enabled,
                       {{true, 0, {}, {u"https://a.example"_s, u"https://b.example"_s}, {}}}};
    QString why;
    ASSERT_TRUE(applyPoliciesNow(context, {{&url, enabled}, {&additional, list}}, &why)) << why.toStdString();
    EXPECT_EQ(backend.value(kHomepageKey, u"URL"_s), regSz(u"https://example.org"_s));
    EXPECT_EQ(dword(kHomepageKey, u"Locked"_s), 1u);
    EXPECT_EQ(backend.value(kHomepageKey + u"\\Additional"_s, u"1"_s), regSz(u"https://a.example"_s));
    EXPECT_EQ(backend.value(kHomepageKey + u"\\Additional"_s, u"2"_s), regSz(u"https://b.example"_s));
    EXPECT_EQ(row(homeTag(), u"URL for Home page"_s).machineState, u"Enabled"_s);
    EXPECT_EQ(TemplateStates::settingOf(context.machineCatalogue, additional), list);
    // The user's policy of the same name is another one.
    EXPECT_EQ(row(homeTag(u"User"_s), u"URL for Home page"_s).machineState, u"Not configured"_s);

    // The whole report names the policies set with their place, key and options.
    ASSERT_TRUE(QFile::copy(QStringLiteral(TAVIMOR_SOURCE_DIR "/resources/program/tavimor.xsl"),
                            ReportPage::styleSheetPath(context.programFolder)));
    const QString page =
        QString::fromUtf8(ReportPage::html(context.machineCatalogue, u"TAVIMOR"_s, context.programFolder, {},
                                           &why, context.templates)
                              .value_or(QByteArray()));
    for (const QString& shown : {u"Template policies set: <b>2</b>"_s, u"URL for Home page"_s,
                                 u"Computer Configuration/Mozilla/Firefox/Home page"_s,
                                 u"URL: https://example.org; Don't allow the homepage to be changed: Yes"_s,
                                 u"https://a.example, https://b.example"_s})
        EXPECT_TRUE(page.contains(shown)) << shown.toStdString();
}

TEST_F(TemplateBrowsing, SearchFindsPoliciesByNameTextKeyAndValueName) {
    const auto found = [&](const QString& text) {
        QStringList names;
        for (const ListRow& r : TemplateTree::matchingRows(context, text))
            names.append(TemplateTree::policyOf(context, r.tag)->name());
        return names;
    };
    for (const QString& text : {u"url for home"_s, u"Homepage\\Additional"_s, u"agenttimeout"_s})
        EXPECT_FALSE(found(text).isEmpty()) << text.toStdString();
    EXPECT_TRUE(found(u"machine/firefox:HomepageAdditional"_s).isEmpty()); // not a name users read
    EXPECT_TRUE(found(u"Homepage\\Additional"_s).contains(u"user/firefox:HomepageAdditional"_s));
    EXPECT_TRUE(found(u"no such words anywhere"_s).isEmpty());
    const QList<ListRow> rows = TemplateTree::matchingRows(context, u"URL for Home page"_s);
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows.first().text, u"URL for Home page (Computer Configuration/Mozilla/Firefox/Home page)"_s);
}

TEST_F(TemplateBrowsing, FormDrawsThePresentationAndRefusesWhatTheTemplateDoesNot) {
    PolicyForm url(*context.templates, policy(u"machine/firefox:HomepageURL"_s), PolicySetting{});
    ASSERT_EQ(url.fields().size(), 2);
    EXPECT_EQ(url.fields()[0].kind, PolicyField::Kind::TextBox);
    EXPECT_EQ(url.fields()[0].label, u"URL:"_s);
    EXPECT_EQ(url.fields()[1].kind, PolicyField::Kind::CheckBox);
    EXPECT_EQ(url.title(), u"URL for Home page"_s);
    EXPECT_FALSE(url.supportedOn().isEmpty());

    QString error;
    EXPECT_FALSE(url.setting(PolicyState::Enabled, &error));
    EXPECT_EQ(error, u"\"URL\" is required."_s);
    url.fields()[0].text = u"https://example.org"_s;
    url.fields()[1].checked = true;
    const std::optional<PolicySetting> enabled = url.setting(PolicyState::Enabled, &error);
    ASSERT_TRUE(enabled);
    EXPECT_EQ(enabled->values[0].text, u"https://example.org"_s);
    EXPECT_EQ(enabled->values[1].number, 1u);
    EXPECT_EQ(url.setting(PolicyState::Disabled, &error), (PolicySetting{PolicyState::Disabled, {}}));

    // An enabled policy opens with its values; a number box keeps its range and takes digits only.
    PolicyForm reopened(*context.templates, url.policy(), *enabled);
    EXPECT_EQ(reopened.fields()[0].text, u"https://example.org"_s);
    PolicyForm timeout(*context.templates, policy(u"machine/firefox:ContentAnalysis_AgentTimeout"_s), {});
    ASSERT_EQ(timeout.fields().size(), 1);
    EXPECT_EQ(timeout.fields()[0].kind, PolicyField::Kind::NumberBox);
    EXPECT_EQ(PolicyForm::rangeText(timeout.fields()[0]), u"(0 - 9999)"_s);
    for (const QString& bad : {u"ten"_s, u"10000"_s, QString()}) {
        timeout.fields()[0].text = bad;
        EXPECT_FALSE(timeout.setting(PolicyState::Enabled, &error)) << bad.toStdString();
        EXPECT_TRUE(error.startsWith(u"\""_s)) << error.toStdString();
    }
    // A list whose entries the user names: each needs its name, each name once; empty lines of a
    // multi-line text are no lines.
    PolicyForm devices(*context.templates, policy(u"machine/firefox:SecurityDevices"_s), {});
    ASSERT_EQ(devices.fields().size(), 1);
    PolicyField& entries = devices.fields()[0];
    EXPECT_TRUE(entries.named);
    entries.lines = {u"/usr/lib/a.so"_s, u"/usr/lib/b.so"_s};
    for (const QStringList& names : {QStringList{u"A"_s, QString()}, QStringList{u"A"_s, u"a"_s}}) {
        entries.names = names;
        EXPECT_FALSE(devices.setting(PolicyState::Enabled, &error)) << names.join(u',').toStdString();
    }
    entries.names = {u"A"_s, u"B"_s};
    const std::optional<PolicySetting> named = devices.setting(PolicyState::Enabled, &error);
    ASSERT_TRUE(named) << error.toStdString();
    EXPECT_EQ(named->values[0].names, (QStringList{u"A"_s, u"B"_s}));

    PolicyForm start(*context.templates, policy(u"machine/firefox:HomepageStartPage"_s), {});
    ASSERT_EQ(start.fields().size(), 1);
    EXPECT_EQ(start.fields()[0].kind, PolicyField::Kind::DropdownList);
    EXPECT_GE(start.fields()[0].items.size(), 2);
}

TEST_F(TemplateBrowsing, FoldersAreKeptInTheSettingsOnlyWhenEachCanBe) {
    QString why;
    QStringList problems;
    const QString missing = dir.filePath(u"nowhere"_s);
    for (const QString& bad : {missing, u"/tmp/a:b"_s}) {
        EXPECT_FALSE(library.saveFolders({kFirefox, bad}, &why, &problems));
        EXPECT_TRUE(why.contains(bad)) << why.toStdString();
        EXPECT_EQ(library.savedFolders(&why), QStringList());
    }
    TemplateLibrary fromSettings(context, QString());
    ASSERT_TRUE(fromSettings.saveFolders({kFirefox + u"/"_s, kFirefox, u" "_s}, &why, &problems));
    EXPECT_EQ(fromSettings.savedFolders(&why), QStringList{kFirefox});
    EXPECT_TRUE(problems.isEmpty());
    ASSERT_NE(context.templates, nullptr);
    EXPECT_EQ(context.templates->policies().size(), 2 * 412);
    ASSERT_TRUE(fromSettings.saveFolders({}, &why, &problems));
    EXPECT_EQ(context.templates, nullptr);
    EXPECT_TRUE(TemplateTree::nodes(context).isEmpty());
}

// A GPO is edited with its domain's central store beside the configured folders; another GPO of the
// domain keeps the set loaded, a registry outside it leaves only the configured ones.
TEST_F(TemplateBrowsing, AGpoBringsItsDomainsTemplatesAndLeavingItTakesThemAway) {
    const QString policies = dir.filePath(u"sysvol/ad.example/Policies"_s);
    const QString store = policies + u"/PolicyDefinitions"_s;
    for (QDirIterator it(kFirefox, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString file = it.next();
        const QString copy = store + file.mid(kFirefox.size());
        ASSERT_TRUE(QDir().mkpath(QFileInfo(copy).path()) && QFile::copy(file, copy));
    }
    for (const char* gpo :
         {"{31B2F340-016D-11D2-945F-00C04FB984F9}", "{6AC1786C-016F-11D2-945F-00C04FB984F9}"}) {
        const QString folder = policies + u'/' + QLatin1String(gpo);
        ASSERT_TRUE(QDir().mkpath(folder + u"/Machine"_s));
        ASSERT_TRUE(writeFileAtomically(folder + u"/GPT.INI"_s, "[General]\r\nVersion=0\r\n"));
    }
    PolFile pol;
    pol.setRecord(u"Software\\Policies\\Mozilla\\Firefox"_s, u"DisablePrivateBrowsing"_s, regDword(1));
    ASSERT_TRUE(writeFileAtomically(
        policies + u"/{31B2F340-016D-11D2-945F-00C04FB984F9}/Machine/Registry.pol"_s, pol.serialize()));
    const QString regFile = dir.filePath(u"other.reg"_s);
    ASSERT_TRUE(writeFileAtomically(regFile, "REGEDIT4\r\n\r\n"));
    const auto gpo = [&](const char* guid) {
        return u"gpo:%1?gpo=%2"_s.arg(dir.filePath(u"sysvol"_s), QLatin1String(guid));
    };

    TemplateLibrary domain(context, QString());
    EXPECT_TRUE(domain.load().isEmpty());
    EXPECT_EQ(context.templates, nullptr);
    RegistrySession session(context, QString(), [](const QString& target, QString* why) {
        return openTarget(target, why, TargetUse::MustExist);
    });
    const RegistrySession::Steps steps{[](RegistryBackend&) { return true; }, [] {},
                                       [&] {
                                           EXPECT_TRUE(domain.followTarget().isEmpty());
                                       }};
    const auto privateBrowsing = [&] {
        return TemplateStates::settingOf(context.machineCatalogue,
                                         policy(u"machine/firefox:DisablePrivateBrowsing"_s))
            .state;
    };

    ASSERT_EQ(session.open(gpo("{31B2F340-016D-11D2-945F-00C04FB984F9}"), steps),
              RegistrySession::Result::Opened);
    ASSERT_NE(context.templates, nullptr);
    EXPECT_EQ(context.templates->policies().size(), 2 * 412);
    EXPECT_EQ(TemplateTree::nodes(context).size(), 2);
    EXPECT_EQ(privateBrowsing(), PolicyState::Enabled);

    const TemplateSet* loaded = context.templates;
    ASSERT_EQ(session.open(gpo("{6AC1786C-016F-11D2-945F-00C04FB984F9}"), steps),
              RegistrySession::Result::Opened);
    EXPECT_EQ(context.templates, loaded);
    EXPECT_EQ(privateBrowsing(), PolicyState::NotConfigured);

    ASSERT_EQ(session.open(u"file:"_s + regFile, steps), RegistrySession::Result::Opened);
    EXPECT_EQ(context.templates, nullptr);
    EXPECT_TRUE(TemplateTree::nodes(context).isEmpty());
    EXPECT_TRUE(prompter.messageTexts().isEmpty());
}

} // namespace
} // namespace tavimor::test
