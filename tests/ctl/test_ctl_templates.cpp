// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"
#include "grouppolicy/PolFile.h"

#include <QRegularExpression>

using namespace tavimor;
using namespace tavimor::test;

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString kFirefox = u"HKEY_LOCAL_MACHINE\\Software\\Policies\\Mozilla\\Firefox"_s;

class CtlTemplates_ : public CtlFixture {
protected:
    CtlTemplates_() {
        m_vars.insert(u"TAVIMOR_TEMPLATES"_s,
                      QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/templates/data/firefox") +
                          u":/usr/share/samba/admx"_s);
    }
    QByteArray registryFile() {
        QFile file(path("registry.reg"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A line of the registry file as regedit would read it.
    bool registryHas(const QByteArray& line) { return registryFile().contains(line); }
};

TEST_F(CtlTemplates_, SetWritesWhatTheTemplateSaysAndUnsetTakesItAway) {
    const Result set = ok("set", "machine/firefox:HomepageURL", "Enabled",
                          "HomepageURL=https://example.com/a b", "HomepageLocked=true");
    EXPECT_EQ(set.out, u"machine/firefox:HomepageURL: Enabled\n"
                       "  %1\\Homepage\\URL = \"https://example.com/a b\"\n"
                       "  %1\\Homepage\\Locked = 1\n"_s.arg(kFirefox));
    EXPECT_TRUE(registryHas("[HKEY_LOCAL_MACHINE\\Software\\Policies\\Mozilla\\Firefox\\Homepage]\r\n"
                            "\"URL\"=\"https://example.com/a b\"\r\n\"Locked\"=dword:00000001\r\n"));
    ok("set", "machine/firefox:HomepageAdditional", "enabled", "HomepageAdditional+=https://a",
       "HomepageAdditional+=https://b");
    ok("set", "user/firefox:Cookies_Behavior", "Enabled", "Cookies_Behavior=reject-foreign");
    EXPECT_TRUE(
        registryHas("[HKEY_LOCAL_MACHINE\\Software\\Policies\\Mozilla\\Firefox\\Homepage\\Additional]\r\n"
                    "\"1\"=\"https://a\"\r\n\"2\"=\"https://b\"\r\n"));
    EXPECT_TRUE(registryHas("\"Behavior\"=\"reject-foreign\""));

    const QJsonObject shown = json("show", "machine/firefox:HomepageURL")["entry"_L1].toObject();
    EXPECT_EQ(shown["class"_L1], u"Machine"_s);
    EXPECT_EQ(shown["hive"_L1], u"HKEY_LOCAL_MACHINE"_s);
    EXPECT_EQ(shown["key"_L1], u"Software\\Policies\\Mozilla\\Firefox\\Homepage"_s);
    EXPECT_EQ(shown["working"_L1], u"Enabled"_s);
    EXPECT_EQ(shown["machine"_L1], u"Enabled"_s);
    EXPECT_EQ(shown["supportedOn"_L1], u"Firefox 60 or later, Firefox 60 ESR or later"_s);
    EXPECT_TRUE(shown["explain"_L1].toString().startsWith(
        u"If this policy is enabled, you can set a default home page."_s));
    const QJsonArray elements = shown["elements"_L1].toArray();
    ASSERT_EQ(elements.size(), 2);
    EXPECT_EQ(elements[0].toObject(), (QJsonObject{{u"id"_s, u"HomepageURL"_s},
                                                   {u"kind"_s, u"text"_s},
                                                   {u"type"_s, u"REG_SZ"_s},
                                                   {u"key"_s, shown["key"_L1]},
                                                   {u"valueName"_s, u"URL"_s},
                                                   {u"required"_s, true},
                                                   {u"value"_s, u"https://example.com/a b"_s},
                                                   {u"machineValue"_s, u"https://example.com/a b"_s}}));
    EXPECT_EQ(elements[1].toObject()["value"_L1], true);

    // What the registry holds already is said so, and the file is left as it was.
    const QByteArray before = registryFile();
    EXPECT_TRUE(ok("set", "machine/firefox:HomepageURL", "Enabled", "HomepageLocked=true")
                    .out.startsWith(u"machine/firefox:HomepageURL: already Enabled\n"_s));
    EXPECT_EQ(json("set", "machine/firefox:HomepageURL", "Enabled")["changed"_L1], false);
    EXPECT_EQ(registryFile(), before);

    // Elements not named keep their values.
    ok("set", "machine/firefox:HomepageURL", "Enabled", "HomepageLocked=false");
    EXPECT_TRUE(registryHas("\"URL\"=\"https://example.com/a b\"\r\n\"Locked\"=dword:00000000\r\n"));
    const Result unset = ok("unset", "machine/firefox:HomepageURL");
    EXPECT_EQ(unset.out, u"machine/firefox:HomepageURL: not configured (was Enabled)\n"_s);
    EXPECT_FALSE(registryHas("\"URL\""));
    EXPECT_EQ(ok("unset", "machine/firefox:HomepageURL").out,
              u"machine/firefox:HomepageURL: not configured (it was not set)\n"_s);
    ok("unset", "--all");
    EXPECT_FALSE(registryHas("https://a"));
    EXPECT_FALSE(registryHas("reject-foreign"));
}

TEST_F(CtlTemplates_, WhatTheTemplateDoesNotAllowIsRefusedAndNothingIsWritten) {
    ok("set", "NoRun", "1");
    const QByteArray before = registryFile();
    const struct {
        QStringList args;
        int status;
        const char* error;
    } cases[] = {
        {{u"machine/firefox:HomepageURL"_s, u"Enabled"_s, u"HomepageLocked=true"_s},
         2,
         "machine/firefox:HomepageURL: HomepageURL is required; see tavimorctl --help"},
        {{u"machine/firefox:ContentAnalysis_AgentTimeout"_s, u"Enabled"_s, u"Number=10000"_s},
         2,
         "machine/firefox:ContentAnalysis_AgentTimeout: Number takes a number from 0 to 9999, not \"10000\"; "
         "see tavimorctl --help"},
        {{u"user/firefox:Cookies_Behavior"_s, u"Enabled"_s, u"Cookies_Behavior=crumbs"_s}, 2, nullptr},
        {{u"user/firefox:Cookies_Behavior"_s, u"Enabled"_s, u"Behaviour=accept"_s}, 2, nullptr},
        {{u"user/firefox:DisablePrivateBrowsing"_s, u"on"_s},
         2,
         "user/firefox:DisablePrivateBrowsing takes Enabled or Disabled (unset makes it not configured), not "
         "\"on\"; see tavimorctl --help"},
        {{u"user/firefox:DisablePrivateBrowsing"_s, u"Disabled"_s, u"x=1"_s},
         2,
         "user/firefox:DisablePrivateBrowsing: element values go with Enabled only, not with Disabled; see "
         "tavimorctl --help"},
        {{u"firefox:DisablePrivateBrowsing"_s, u"Enabled"_s},
         1,
         "firefox:DisablePrivateBrowsing is a policy of the computer and of the user; name one as "
         "machine/firefox:DisablePrivateBrowsing or user/firefox:DisablePrivateBrowsing"},
        {{u"NoRun"_s, u"1"_s, u"x=1"_s}, 2, nullptr},
    };
    for (const auto& c : cases) {
        const Result r = failed(run(QStringList{u"set"_s} + c.args), c.status);
        if (c.error) {
            EXPECT_EQ(r.err, u"tavimorctl: "_s + QString::fromUtf8(c.error) + u'\n');
        }
        EXPECT_EQ(registryFile(), before) << c.args.join(u' ').toStdString();
    }
}

TEST_F(CtlTemplates_, SettingsFilesCarryPoliciesThroughSaveDiffAndApply) {
    ok("set", "user/firefox:DisablePrivateBrowsing", "Enabled");
    ok("set", "machine/firefox:HomepageAdditional", "Enabled", "HomepageAdditional=https://a,https://b");
    // Samba's smb.conf policy: a text in a key of its own.
    ok("set", "fullarmor:POL_33AAE399_07A8_5CC8_882A_393E4B96B259", "Enabled",
       "TXT_F940E18B_16AE_594B_9669_96417E695AC9=files.example.com");
    ok("save", path("office.rds"));
    ok("unset", "--all");
    const Result diff = exits(1, "diff", path("office.rds"));
    EXPECT_TRUE(diff.out.contains(
        u"Mozilla/Firefox/Home page/Additional Homepages: %1\\Homepage\\Additional\\1: absent -> \"https://a\"\n"_s
            .arg(kFirefox)))
        << diff.out.toStdString();
    EXPECT_TRUE(diff.out.contains(
        u"HKEY_CURRENT_USER\\Software\\Policies\\Mozilla\\Firefox\\DisablePrivateBrowsing: absent -> 1\n"_s));
    EXPECT_TRUE(diff.out.contains(u"files.example.com"_s));
    ok("apply", "--only-set", path("office.rds"));
    EXPECT_TRUE(registryHas("\"additional dns hostnames\"=\"files.example.com\""));
    EXPECT_EQ(ok("diff", "--only-set", path("office.rds")).out, u"Nothing to do.\n"_s);

    // Without templates, the same settings file is read and saved as it was: the policies are carried.
    m_vars.remove(u"TAVIMOR_TEMPLATES"_s);
    ok("--file", path("office.rds"), "save", path("again.rds"));
    const QString xml = ok("export-xml", path("again.rds")).out;
    EXPECT_TRUE(xml.contains(
        u"<POLICY Namespace=\"Mozilla.Policies.Firefox\" Name=\"DisablePrivateBrowsing\" Class=\"User\" State=\"Enabled\"/>"_s))
        << xml.toStdString();
    EXPECT_EQ(ok("list").out.count(u'\n'), 7);
}

TEST_F(CtlTemplates_, GroupPolicyFilesKeepEachStateAsRecordsAndReadItBack) {
    ok("set", "machine/firefox:HomepageAdditional", "Enabled", "HomepageAdditional=https://a");
    ok("set", "machine/firefox:DisablePrivateBrowsing", "Enabled");
    ok("set", "machine/firefox:Cookies_Locked", "Enabled");
    // A registry cannot hold a disabled form made of deletions; a settings file can.
    ok("save", path("office.rds"));
    QString xml = ok("export-xml", path("office.rds")).out;
    xml.replace(u"</TEMPLATES>"_s, u"<POLICY Namespace=\"Mozilla.Policies.Firefox\" Name=\"HomepageURL\" "
                                   "Class=\"Machine\" State=\"Disabled\"/></TEMPLATES>"_s);
    ASSERT_TRUE(writeFileAtomically(path("office.xml"), xml.toUtf8()));
    ok("import-xml", path("office.xml"), path("office.rds"));
    ok("export-pol", "--from", path("office.rds"), path("gpo"));
    const auto records = [this] {
        const std::optional<PolFile> file = PolFile::parse(fileBytes(pol("Machine")));
        QStringList names;
        for (const PolRecord& record : file ? file->records : QList<PolRecord>())
            if (record.key.contains(u"Firefox"_s))
                names.append(record.key.mid(kFirefox.size() - 19) + u'\\' + record.valueName);
        names.sort();
        return names;
    };
    EXPECT_EQ(records(),
              (QStringList{u"\\Cookies\\Locked"_s, u"\\DisablePrivateBrowsing"_s,
                           u"\\Homepage\\**del.Locked"_s, u"\\Homepage\\**del.URL"_s,
                           u"\\Homepage\\Additional\\**delvals."_s, u"\\Homepage\\Additional\\1"_s}));
    // Read back: the deletions are a disabled policy, and no record is a stranger.
    ok("unset", "--all");
    const Result read = ok("import-pol", path("gpo"), path("back.rds"));
    EXPECT_TRUE(read.out.contains(u"machine/firefox:HomepageURL: Disabled\n"_s)) << read.out.toStdString();
    EXPECT_TRUE(read.out.contains(u"machine/firefox:HomepageAdditional: Enabled\n"_s));
    EXPECT_FALSE(read.out.contains(u"not in the catalogue"_s)) << read.out.toStdString();
    ok("apply", path("gpo"));
    EXPECT_TRUE(registryHas("\"1\"=\"https://a\""));
    EXPECT_TRUE(registryHas("\"DisablePrivateBrowsing\"=dword:00000001"));
    // From the registry now: a policy not configured leaves no record; what else the file holds stays.
    ok("unset", "machine/firefox:Cookies_Locked");
    ok("export-pol", path("gpo"));
    EXPECT_FALSE(records().contains(u"\\Cookies\\Locked"_s));
    EXPECT_TRUE(records().contains(u"\\DisablePrivateBrowsing"_s));
}

// A policy set as Mozilla documents it, its optional elements left out, is carried as it is: a
// settings file saved from it applies, and a policy file holds no value the registry did not.
TEST_F(CtlTemplates_, ElementsTheRegistryLeavesOutAreNotWrittenFromWhatWasRead) {
    ASSERT_TRUE(writeFileAtomically(path("bookmark.reg"),
                                    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Policies\\Mozilla\\"
                                    "Firefox\\Bookmarks\\1]\r\n\"Title\"=\"Example\"\r\n\"URL\"=\"https://"
                                    "example.com\"\r\n\r\n"));
    ok("import-reg", path("bookmark.reg"));
    EXPECT_EQ(json("show", "machine/firefox:Bookmark01")["entry"_L1].toObject()["machine"_L1], u"Enabled"_s);
    ok("save", path("office.rds"));
    ok("export-pol", path("gpo"));
    const std::optional<PolFile> file = PolFile::parse(fileBytes(pol("Machine")));
    ASSERT_TRUE(file);
    QStringList names;
    for (const PolRecord& record : file->records)
        if (record.key.endsWith(u"Bookmarks\\1"_s))
            names.append(record.valueName);
    EXPECT_EQ(names, (QStringList{u"Title"_s, u"URL"_s}));

    ok("unset", "--all");
    ok("apply", "--only-set", path("office.rds"));
    EXPECT_TRUE(registryHas("\"Title\"=\"Example\"\r\n\"URL\"=\"https://example.com\"\r\n"));
    EXPECT_FALSE(registryHas("\"Placement\""));
    EXPECT_EQ(ok("diff", "--only-set", path("office.rds")).out, u"Nothing to do.\n"_s);

    // A value the template does not take is named, not dropped: the registry keeps what it holds.
    ok("set", "machine/firefox:Bookmark01", "Enabled", "BookmarkPlacement=menu");
    ok("save", path("office.rds"));
    QString xml = ok("export-xml", path("office.rds")).out;
    ASSERT_TRUE(xml.contains(u"Value=\"BookmarkPlacementMenu\""_s));
    xml.replace(u"Value=\"BookmarkPlacementMenu\""_s, u"Value=\"BookmarkPlacementSidebar\""_s);
    ASSERT_TRUE(writeFileAtomically(path("office.xml"), xml.toUtf8()));
    ok("import-xml", path("office.xml"), path("office.rds"));
    ok("unset", "--all");
    EXPECT_TRUE(exits(1, "apply", "--only-set", path("office.rds"))
                    .err.contains(u"BookmarkPlacement holds a value the template does not take"_s));
    EXPECT_FALSE(registryHas("\"Placement\""));
}

// With a folder of policy files as the target, the deletions that disable a policy of elements
// alone are records there: read back, planned and written like values.
TEST_F(CtlTemplates_, AFolderOfPolicyFilesAsTargetKeepsTheDeletionsThatDisableAPolicy) {
    m_vars.insert(u"TAVIMOR_TARGET"_s, u"pol:"_s + path("gpo"));
    const auto records = [this] {
        const std::optional<PolFile> file = PolFile::parse(fileBytes(pol("Machine")));
        QStringList names;
        for (const PolRecord& record : file ? file->records : QList<PolRecord>())
            names.append(record.key.section(u'\\', 4) + u'\\' + record.valueName);
        names.sort();
        return names;
    };
    const QStringList disabled{u"Homepage\\**del.Locked"_s, u"Homepage\\**del.URL"_s,
                               u"Homepage\\Additional\\**delvals."_s};
    ok("set", "machine/firefox:HomepageURL", "Enabled", "HomepageURL=https://a");
    ok("set", "machine/firefox:HomepageURL", "Disabled");
    ok("set", "machine/firefox:HomepageAdditional", "Disabled");
    EXPECT_EQ(records(), disabled);
    EXPECT_EQ(json("show", "machine/firefox:HomepageURL")["entry"_L1].toObject()["machine"_L1],
              u"Disabled"_s);
    EXPECT_TRUE(ok("set", "machine/firefox:HomepageURL", "Disabled")
                    .out.startsWith(u"machine/firefox:HomepageURL: already Disabled\n"_s));
    ok("save", path("office.rds"));

    EXPECT_TRUE(
        ok("unset", "--all").out.contains(u"machine/firefox:HomepageURL: not configured (was Disabled)"_s));
    EXPECT_EQ(records(), QStringList());
    EXPECT_TRUE(exits(1, "diff", "--only-set", path("office.rds"))
                    .out.contains(u"%1\\Homepage\\URL: absent -> deleted\n"_s.arg(kFirefox)));
    ok("apply", "--only-set", path("office.rds"));
    EXPECT_EQ(records(), disabled);
    EXPECT_EQ(ok("diff", "--only-set", path("office.rds")).out, u"Nothing to do.\n"_s);
}

// A text the registry layer's Latin-1 cannot carry is not read, on the target as in files pulled,
// so it is never written back as '?'.
TEST_F(CtlTemplates_, AGroupPolicyTextBeyondLatin1IsNotReadNorWrittenBack) {
    m_vars.insert(u"TAVIMOR_TARGET"_s, u"pol:"_s + path("gpo"));
    const QString url = u"https://\u4f8b\u3048.jp/"_s;
    PolFile file;
    file.records = {
        {u"Software\\Policies\\Mozilla\\Firefox\\Homepage"_s, u"URL"_s, REG_SZ,
         QByteArray(reinterpret_cast<const char*>(url.utf16()), url.size() * 2 + 2)},
        PolRecord::dwordRecord(u"Software\\Policies\\Mozilla\\Firefox\\Homepage"_s, u"Locked"_s, 0)};
    ASSERT_TRUE(QDir().mkpath(path("gpo/Machine")));
    ASSERT_TRUE(writeFileAtomically(pol("Machine"), file.serialize()));
    EXPECT_EQ(json("show", "machine/firefox:HomepageURL")["entry"_L1].toObject()["machine"_L1],
              u"Not read"_s);
    EXPECT_TRUE(
        ok("show", "machine/firefox:HomepageURL")
            .out.contains(
                u"Homepage\\URL in %1 holds text the registry's 8-bit form (Latin-1) cannot carry"_s.arg(
                    pol("Machine"))));
    exits(2, "set", "machine/firefox:HomepageURL", "Enabled", "HomepageLocked=true");
    EXPECT_EQ(fileBytes(pol("Machine")), file.serialize());
    // Pulled into a settings file and pushed back, the policy's records stay as they were.
    m_vars.remove(u"TAVIMOR_TARGET"_s);
    EXPECT_TRUE(
        ok("import-pol", path("gpo"), path("pulled.rds"))
            .out.contains(
                u"machine/firefox:HomepageURL: Not read (Software\\Policies\\Mozilla\\Firefox\\Homepage\\URL holds"_s));
    ok("export-pol", "--from", path("pulled.rds"), path("gpo"));
    const std::optional<PolFile> pushed = PolFile::parse(fileBytes(pol("Machine")));
    ASSERT_TRUE(pushed);
    EXPECT_TRUE(pushed->records.contains(file.records[0]));
    EXPECT_TRUE(pushed->records.contains(file.records[1]));
}

// The same on an offline Windows and in a Wine prefix: text Windows or Wine wrote beyond Latin-1 is
// not read, so a set that would keep it is refused and the file is left as it was.
TEST_F(CtlTemplates_, TextBeyondLatin1InAHiveOrAWinePrefixIsNotReadNorWrittenBack) {
    const QString hive = path("NTUSER.DAT");
    ASSERT_TRUE(QFile::copy(QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/registry/data/minimal.hiv"), hive));
    QFile::setPermissions(hive, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QString script;
    for (const char* part : {"Software", "Policies", "Mozilla", "Firefox", "Homepage"})
        script += u"add %1\ncd %1\n"_s.arg(QLatin1String(part));
    // hivexsh, a peer from libhivex-bin, writes the URL in UTF-16 as Windows does.
    script += u"setval 1\nURL\nhex:1:"_s;
    for (const QChar unit : QString(u"https://\u4f8b\u3048.jp/"_s + QChar(0)))
        script += u"%1,%2,"_s.arg(uint(unit.unicode() & 0xFF), 2, 16, QChar(u'0'))
                      .arg(uint(unit.unicode() >> 8), 2, 16, QChar(u'0'));
    script.chop(1);
    ASSERT_EQ(runTool(u"hivexsh"_s, {u"-w"_s, hive}, (script + u"\ncommit\n"_s).toUtf8()).exitCode, 0);

    QDir().mkpath(path("prefix"));
    ASSERT_TRUE(writeFileAtomically(
        path("prefix/user.reg"),
        "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
        "#arch=win64\n\n[Software\\\\Policies\\\\Mozilla\\\\Firefox\\\\Homepage] 1796561292\n"
        "#time=1dd85800dea981c\n\"URL\"=\"https://\\x4f8b\\x3048.jp/\"\n"));
    ASSERT_TRUE(writeFileAtomically(path("prefix/system.reg"),
                                    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
                                    "#arch=win64\n"));

    for (const auto& [target, file] :
         {std::pair{QString(u"hive:"_s + hive), hive},
          std::pair{QString(u"wine:"_s + path("prefix")), path("prefix/user.reg")}}) {
        SCOPED_TRACE(target.toStdString());
        m_vars.insert(u"TAVIMOR_TARGET"_s, target);
        const QByteArray before = fileBytes(file);
        EXPECT_EQ(json("show", "user/firefox:HomepageURL")["entry"_L1].toObject()["machine"_L1],
                  u"Not read"_s);
        const QString shown = ok("show", "user/firefox:HomepageURL").out;
        EXPECT_TRUE(shown.contains(u"Homepage\\URL in %1 holds text"_s.arg(file))) << shown.toStdString();
        exits(2, "set", "user/firefox:HomepageURL", "Enabled", "HomepageLocked=true");
        EXPECT_EQ(fileBytes(file), before);
    }
}

TEST_F(CtlTemplates_, RegFilesCarryTypedValuesAsEachRegeditWritesThem) {
    ok("set", "machine/firefox:ManagedBookmarks", "Enabled", "JSON=a\nb");
    ok("set", "machine/firefox:SecurityDevices_Add", "Enabled", "SecurityDevices=T=%X%");
    // The embedded registry is a REGEDIT4 file: 8-bit text, as regedit of Windows 95, 98 and Me writes it.
    EXPECT_TRUE(registryHas("\"ManagedBookmarks\"=hex(7):61,00,62,00,00\r\n"));
    EXPECT_TRUE(registryHas("\"T\"=hex(2):25,58,25,00\r\n"));
    ok("export-reg", "machine/firefox:ManagedBookmarks", "Mozilla/Firefox/Security Devices", path("v5.reg"));
    const QByteArray v5 = fileBytes(path("v5.reg"));
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(v5.constData() + 2), (v5.size() - 2) / 2);
    EXPECT_TRUE(text.contains(u"\"ManagedBookmarks\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"_s))
        << text.toStdString();
    EXPECT_TRUE(text.contains(u"\"T\"=hex(2):25,00,58,00,25,00,00,00\r\n"_s)) << text.toStdString();
    ok("export-reg", "--format", "4", "machine/firefox:ManagedBookmarks", path("v4.reg"));
    EXPECT_TRUE(fileBytes(path("v4.reg")).contains("\"ManagedBookmarks\"=hex(7):61,00,62,00,00\r\n"));
    // Read back: the version 5 file's UTF-16 is the registry's 8-bit text again.
    ok("unset", "--all");
    EXPECT_FALSE(registryHas("ManagedBookmarks"));
    ok("import-reg", path("v5.reg"));
    EXPECT_TRUE(registryHas("\"ManagedBookmarks\"=hex(7):61,00,62,00,00\r\n"));
    EXPECT_EQ(json("show", "machine/firefox:ManagedBookmarks")["entry"_L1].toObject()["machine"_L1],
              u"Enabled"_s);
}

TEST_F(CtlTemplates_, ListAndSearchShowPoliciesBesideTheEntries) {
    ok("set", "user/firefox:DisablePrivateBrowsing", "Enabled");
    const QStringList lines = ok("list").out.split(u'\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.value(7).startsWith(u"7   Mozilla/Firefox "_s) &&
                lines.value(7).endsWith(u" 212 policies"_s))
        << lines.join(u'\n').toStdString();
    const Result all = ok("list", "--all");
    EXPECT_TRUE(QRegularExpression(u"\nuser/firefox:DisablePrivateBrowsing +Enabled +Enabled\n"_s)
                    .match(all.out)
                    .hasMatch());
    EXPECT_EQ(all.out.count(u'\n'), 1 + 57 + 2 * 412 + 364);
    const QJsonArray found = json("search", "private", "browsing")["entries"_L1].toArray();
    EXPECT_TRUE(std::any_of(found.begin(), found.end(), [](const QJsonValue& v) {
        return v.toObject()["policy"_L1] == u"machine/firefox:DisablePrivateBrowsing"_s;
    }));
}

} // namespace
