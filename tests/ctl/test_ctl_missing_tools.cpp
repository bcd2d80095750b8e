// SPDX-License-Identifier: GPL-3.0-or-later
// The programs started at run time are only recommended by the package: each missing one is named
// with the command that needs it and its package, and nothing is written.
#include "ctl/CtlFixture.h"
#include "registry/wine/WineRegTool.h"

namespace tavimor::test {

namespace {

// PATH and WINE for one test: a folder holding only the named programs, which do nothing.
class OnlyOnPath {
public:
    OnlyOnPath(const QString& folder, const QStringList& programs)
        : m_path(qgetenv("PATH"))
        , m_wine(qgetenv("WINE")) {
        QDir().mkpath(folder);
        for (const QString& name : programs) {
            const QString file = folder + u'/' + name;
            EXPECT_TRUE(writeFileAtomically(file, "#!/bin/sh\nexit 0\n"));
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", QFile::encodeName(folder));
        qunsetenv("WINE");
    }
    ~OnlyOnPath() {
        qputenv("PATH", m_path);
        if (!m_wine.isEmpty())
            qputenv("WINE", m_wine);
    }

private:
    QByteArray m_path;
    QByteArray m_wine;
};

class MissingTools : public CtlFixture {};

} // namespace

TEST_F(MissingTools, GpoNamesTheLdbToolItLacksAndWritesNothing) {
    // Samba's layout: the directory's sam.ldb in private/ two levels above the SYSVOL share.
    const QString guid = u"{31B2F340-016D-11D2-945F-00C04FB984F9}"_s;
    const QString sysvol = path("dom") + u"/state/sysvol"_s;
    const QString gptIni = sysvol + u"/example.test/Policies/"_s + guid + u"/GPT.INI"_s;
    QDir().mkpath(QFileInfo(gptIni).path());
    QDir().mkpath(path("dom") + u"/private"_s);
    ASSERT_TRUE(writeFileAtomically(path("dom") + u"/private/sam.ldb"_s, "TDB file\n"));
    ASSERT_TRUE(writeFileAtomically(gptIni, "[General]\r\nVersion=0\r\n"));
    ok("set", "NoRun", "1");

    const struct {
        const char* verb;
        QString gpo;
        QStringList onPath;
        int status;
        const char* said;
    } cases[] = {
        {"push", guid, {}, 1, "gpo push needs ldbsearch from the package ldb-tools; nothing was written"},
        {"push",
         guid,
         {u"ldbsearch"_s},
         1,
         "gpo push needs ldbmodify from the package ldb-tools; nothing was written"},
        {"pull",
         u"Default Domain Policy"_s,
         {u"ldbmodify"_s},
         1,
         "gpo pull needs ldbsearch from the package ldb-tools; nothing was written"},
        // A GUID names the folder: pull reads only the files, so it needs no tool.
        {"pull", guid, {}, 0, ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        const OnlyOnPath only(path("bin") + QString::number(n++), c.onPath);
        const Result r = run({u"gpo"_s, arg(c.verb), u"--sysvol"_s, sysvol, u"--gpo"_s, c.gpo});
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.status ? u"tavimorctl: "_s + arg(c.said) + u'\n' : QString());
        EXPECT_EQ(fileBytes(gptIni), "[General]\r\nVersion=0\r\n");
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(gptIni).path() + u"/User/Registry.pol"_s));
    }
}

TEST_F(MissingTools, WineTargetNamesThePackageWine) {
    QDir().mkpath(path("prefix"));
    {
        const OnlyOnPath only(path("bin"), {});
        WineRegTool tool(path("prefix"));
        bool exists = false;
        EXPECT_EQ(tool.keyExists(u"HKEY_CURRENT_USER\\Software"_s, &exists), ERROR_CANTREAD);
        EXPECT_EQ(tool.lastError(),
                  u"The target wine:"_s + path("prefix") + u" needs wine from the package wine"_s);
    }
    // Debian's wine64 alone, without the wrappers of the package wine, serves as well.
    const OnlyOnPath only(path("usr/lib/wine"), {u"wine64"_s});
    QDir().mkpath(path("usr/bin"));
    qputenv("PATH", QFile::encodeName(path("usr/bin")));
    EXPECT_EQ(WineRegTool::wineProgram(), path("usr/lib/wine/wine64"));
}

} // namespace tavimor::test
