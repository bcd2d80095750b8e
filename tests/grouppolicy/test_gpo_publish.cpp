// SPDX-License-Identifier: GPL-3.0-or-later
// A GPO written through gpo push and through the gpo: target, against a directory played by two small
// scripts in place of ldbsearch and ldbmodify; the real domain is tests/samba/gpo_domain.sh.
#include "ctl/CtlFixture.h"
#include "grouppolicy/GroupPolicyObject.h"
#include "grouppolicy/PolFile.h"

#include <QDirIterator>
#include <QMap>

namespace tavimor::test {
namespace {

const QString kGuid = u"{31B2F340-016D-11D2-945F-00C04FB984F9}"_s;
const QByteArray kOwnDn =
    "CN={31B2F340-016D-11D2-945F-00C04FB984F9},CN=Policies,CN=System,DC=example,DC=test";

class GpoPublish : public CtlFixture {
protected:
    GpoPublish() {
        QDir().mkpath(folder() + u"/MACHINE"_s);
        EXPECT_TRUE(writeFileAtomically(gptIni(), "[General]\r\nVersion=0\r\n"));
        QDir().mkpath(path("bin"));
        // The directory: what ldbsearch prints and what ldbmodify is given, kept in files.
        const QString bin = path("bin");
        EXPECT_TRUE(writeFileAtomically(bin + u"/ldbsearch"_s, "#!/bin/sh\ncat \"$0.ldif\"\n"));
        EXPECT_TRUE(writeFileAtomically(bin + u"/ldbmodify"_s,
                                        "#!/bin/sh\ncat >> \"$0.ldif\"\nexit $(cat \"$0.status\")\n"));
        EXPECT_TRUE(writeFileAtomically(bin + u"/ldbmodify.status"_s, "0\n"));
        for (const char* tool : {"/ldbsearch", "/ldbmodify"})
            QFile::setPermissions(bin + QLatin1String(tool), QFile::ReadOwner | QFile::ExeOwner);
        directory("dn: " + kOwnDn + "\nname: " + kGuid.toLatin1() +
                  "\ndisplayName: Office\nversionNumber: 0\n");
        m_path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin) + ':' + m_path);
        ok("set", "NoRun", "1");
    }
    ~GpoPublish() override { qputenv("PATH", m_path); }

    QString folder() const { return path("sysvol") + u"/example.test/Policies/"_s + kGuid; }
    QString gptIni() const { return folder() + u"/GPT.INI"_s; }
    void directory(const QByteArray& ldif) {
        ASSERT_TRUE(writeFileAtomically(path("bin") + u"/ldbsearch.ldif"_s, ldif));
    }
    QByteArray modified() const { return fileBytes(path("bin") + u"/ldbmodify.ldif"_s); }
    QStringList push() const {
        return {u"gpo"_s,   u"push"_s, u"--sysvol"_s, path("sysvol"),
                u"--gpo"_s, kGuid,     u"--url"_s,    u"ldb://x"_s};
    }
    QString target() const { return u"gpo:%1?gpo=Office&url=ldb://x"_s.arg(path("sysvol")); }

    // Every file and link under the SYSVOL folder with its bytes or where it points.
    QMap<QString, QByteArray> sysvol() const {
        QMap<QString, QByteArray> all;
        QDirIterator it(path("sysvol"), QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info = it.nextFileInfo();
            all.insert(info.filePath(), info.isSymLink() ? info.symLinkTarget().toUtf8()
                                        : info.isFile()  ? fileBytes(info.filePath())
                                                         : QByteArray("<folder>"));
        }
        return all;
    }

    QByteArray m_path;
};

// The LDIF given to ldbmodify as (name, value) pairs; every value must have come as base64.
QList<std::pair<QByteArray, QString>> ldifValues(const QByteArray& ldif) {
    QList<std::pair<QByteArray, QString>> values;
    for (const QByteArray& line : ldif.split('\n')) {
        if (line.isEmpty() || line == "-" || line == "changetype: modify" || line.startsWith("replace: "))
            continue;
        const qsizetype colon = line.indexOf(":: ");
        EXPECT_GT(colon, 0) << "a line that is not base64: " << line.toStdString();
        values.append({line.left(colon), QString::fromUtf8(QByteArray::fromBase64(line.mid(colon + 3)))});
    }
    return values;
}

TEST_F(GpoPublish, WhatTheDirectoryHoldsGoesBackOnlyAsBase64) {
    // An extension list holding a record of its own that would make Eve a domain admin.
    const QString hostile = u"[{A}]\ndn: CN=Domain Admins,CN=Users,DC=example,DC=test\nchangetype: modify\n"
                            "add: member\nmember: CN=Eve,CN=Users,DC=example,DC=test"_s;
    directory("dn: " + kOwnDn + "\nname: " + kGuid.toLatin1() +
              "\nversionNumber: 5\ngPCUserExtensionNames:: " + hostile.toUtf8().toBase64() + "\n");
    const Result r = run(push());
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const auto values = ldifValues(modified());
    ASSERT_EQ(values.size(), 3) << modified().toStdString();
    EXPECT_EQ(values[0], std::pair(QByteArray("dn"), QString::fromLatin1(kOwnDn)));
    EXPECT_EQ(values[1], std::pair(QByteArray("versionNumber"), u"65541"_s));
    // The value stays one value, its lines inside it.
    EXPECT_TRUE(values[2].second.contains(hostile.mid(6))) << values[2].second.toStdString();
    EXPECT_EQ(fileBytes(gptIni()), "[General]\r\nVersion=65541\r\n");
}

// Each refusal names what it refuses and leaves SYSVOL and the directory as they were.
TEST_F(GpoPublish, APushThatCannotBeWholeChangesNothing) {
    const QString elsewhere = path("elsewhere");
    QDir().mkpath(elsewhere + u"/User"_s);
    const struct {
        const char* name;
        std::function<void()> prepare;
        const char* error;
    } cases[] = {
        {"Version at the top",
         [&] { (void)writeFileAtomically(gptIni(), "[General]\r\nVersion=4294967295\r\n"); },
         "GPT.INI: its user version is 65535"},
        {"user half at the top",
         [&] { (void)writeFileAtomically(gptIni(), "[General]\r\nVersion=4294901760\r\n"); },
         "GPT.INI: its user version is 65535"},
        {"Version not a number", [&] { (void)writeFileAtomically(gptIni(), "[General]\r\nVersion=abc\r\n"); },
         "GPT.INI: its Version \"abc\" is no number"},
        {"directory at the top",
         [&] {
             directory("dn: " + kOwnDn + "\nname: " + kGuid.toLatin1() + "\nversionNumber: 4294901760\n");
         },
         "versionNumber of GPO"},
        {"a dn that is not the GPO's",
         [&] {
             directory("dn: CN=Domain Admins,CN=Users,DC=example,DC=test\nname: " + kGuid.toLatin1() + "\n");
         },
         "which is not a GPO's own"},
        {"the directory refuses",
         [&] { (void)writeFileAtomically(path("bin") + u"/ldbmodify.status"_s, "1\n"); }, "ldbmodify failed"},
        {"GPT.INI read-only", [&] { QFile::setPermissions(gptIni(), QFile::ReadOwner | QFile::ReadOther); },
         "GPT.INI: it is read-only"},
        {"GPT.INI a link",
         [&] {
             QFile::rename(gptIni(), elsewhere + u"/GPT.INI"_s);
             QFile::link(elsewhere + u"/GPT.INI"_s, gptIni());
         },
         "it is a symbolic link"},
        {"User a link", [&] { QFile::link(elsewhere + u"/User"_s, folder() + u"/User"_s); },
         "/User is a symbolic link"},
        {"the GPO's folder a link",
         [&] {
             QFile::rename(folder(), elsewhere + u"/gpo"_s);
             QFile::link(elsewhere + u"/gpo"_s, folder());
         },
         "is a symbolic link, which Tavimor does not follow out of SYSVOL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        const QMap<QString, QByteArray> before = sysvol();
        const QByteArray elsewhereBefore = fileBytes(elsewhere + u"/GPT.INI"_s);
        const Result r = run(push());
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains(QLatin1String(c.error))) << r.err.toStdString();
        EXPECT_EQ(sysvol(), before);
        EXPECT_EQ(fileBytes(elsewhere + u"/GPT.INI"_s), elsewhereBefore);
        EXPECT_TRUE(QDir(elsewhere + u"/User"_s).isEmpty());
        // Each case starts from a whole GPO again.
        QFile::remove(path("bin") + u"/ldbmodify.ldif"_s);
        QFile::remove(folder() + u"/User"_s);
        QDir().rmdir(folder() + u"/User"_s);
        if (QFileInfo(folder()).isSymLink()) {
            QFile::remove(folder());
            QFile::rename(elsewhere + u"/gpo"_s, folder());
        }
        QFile::remove(gptIni());
        ASSERT_TRUE(writeFileAtomically(gptIni(), "[General]\r\nVersion=0\r\n"));
        ASSERT_TRUE(writeFileAtomically(path("bin") + u"/ldbmodify.status"_s, "0\n"));
        directory("dn: " + kOwnDn + "\nname: " + kGuid.toLatin1() + "\nversionNumber: 0\n");
    }
}

TEST_F(GpoPublish, TheTargetReadsWhatTheGpoSetsAndEveryWriteRaisesBothVersions) {
    m_vars.insert(u"TAVIMOR_TARGET"_s, target());
    EXPECT_TRUE(ok("show", "NoRun").out.contains("Current Machine Settings: Enabled (0)\n"_L1));
    ok("set", "NoRun", "1");
    ok("set", "ClearRecentDocsOnExit", "1");
    EXPECT_EQ(fileBytes(gptIni()), "[General]\r\nVersion=65537\r\n");
    const auto values = ldifValues(modified());
    ASSERT_EQ(values.size(), 6) << modified().toStdString();
    EXPECT_EQ(values[1].second, "65536"_L1);
    EXPECT_EQ(values[4].second, "65537"_L1); // the directory still says 0: the fake keeps no state
    EXPECT_TRUE(values[5].second.contains("{35378EAC-683F-11D2-A89A-0030487E63EF}"_L1));
    EXPECT_EQ(PolFile::parse(fileBytes(folder() + u"/MACHINE/Registry.pol"_s))->records.size(), 1);
    EXPECT_TRUE(ok("show", "NoRun").out.contains("Current Machine Settings: Disabled (1)\n"_L1));
    ok("unset", "NoRun");
    EXPECT_EQ(fileBytes(gptIni()), "[General]\r\nVersion=131073\r\n");
    EXPECT_EQ(PolFile::parse(fileBytes(folder() + u"/User/Registry.pol"_s))->records.size(), 0);

    // Without a directory the files are read but not written.
    m_vars.insert(u"TAVIMOR_TARGET"_s, u"gpo:%1?gpo=%2"_s.arg(path("sysvol"), kGuid));
    const QMap<QString, QByteArray> before = sysvol();
    EXPECT_TRUE(ok("show", "ClearRecentDocsOnExit").out.contains("Disabled (1)"_L1));
    EXPECT_TRUE(
        fails(1, "set", "NoRun", "1").err.contains("its version could not be raised in the directory"_L1));
    EXPECT_EQ(sysvol(), before);
}

TEST_F(GpoPublish, GposAreListedByTheirNames) {
    const QString second =
        path("sysvol") + u"/example.test/Policies/{6AC1786C-016F-11D2-945F-00C04FB984F9}"_s;
    QDir().mkpath(second);
    ASSERT_TRUE(
        writeFileAtomically(second + u"/gpt.ini"_s, "[General]\r\nVersion=3\r\ndisplayName=Kiosk\r\n"));
    QString note;
    const QList<GpoListing> named = GroupPolicyObject::list(path("sysvol"), u"ldb://x"_s, &note);
    ASSERT_EQ(named.size(), 2);
    EXPECT_EQ(named[0].guid, kGuid);
    EXPECT_EQ(named[0].name, "Office"_L1);
    EXPECT_EQ(named[1].name, "Kiosk"_L1);
    const QList<GpoListing> unnamed = GroupPolicyObject::list(path("sysvol") + u"/example.test"_s, {}, &note);
    EXPECT_EQ(unnamed[0].name, QString());
    EXPECT_TRUE(note.startsWith("no directory was found beside"_L1));
    QString error;
    EXPECT_EQ(GroupPolicyObject::find(path("sysvol"), u"kiosk"_s, {}, GpoAccess::Read, {}, &error)->folder(),
              second);
}

} // namespace
} // namespace tavimor::test
