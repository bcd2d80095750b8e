// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tavimor::test {
namespace {

const QByteArray kUserReg =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n";
const QByteArray kSystemReg =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";

// Files a user has set apart: made read-only, or a FIFO put where a file is read.
class CtlRefusals : public CtlFixture {
protected:
    CtlRefusals() {
        QDir().mkpath(path("hive"));
        QFile::copy(QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/registry/data/minimal.hiv"),
                    path("hive/NTUSER.DAT"));
        QFile::setPermissions(path("hive/NTUSER.DAT"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QDir().mkpath(path("prefix"));
        writeBytes(path("prefix/user.reg"), kUserReg);
        writeBytes(path("prefix/system.reg"), kSystemReg);
        QDir().mkpath(path("out"));
        for (const char* name : {"out/old.rds", "out/old.reg", "settings/TAVIMOR 4.0.ini"}) {
            QDir().mkpath(QFileInfo(path(name)).absolutePath());
            writeBytes(path(name), "[REGIKEY]\nFirstRun=1\n");
        }
        ok("export-pol", path("pol"));
    }
};

TEST_F(CtlRefusals, ReadOnlyFilesStayAsTheyAreWhoeverWrites) {
    const QString registry = m_vars.value(u"TAVIMOR_TARGET"_s).mid(5);
    const QString userPol = path("pol") + u"/User/Registry.pol"_s;
    // A policy the fixture's export did not hold, so that export-pol has something to write.
    ok("set", "NoDispCpl", "1");
    writeBytes(path("new.txt"), "secret");
    struct Case {
        QString file;
        QString target;
        QStringList args;
        QString message;
    };
    const QString setFailed = u"tavimorctl: Start Menu/Run Dialog: NoRun could not be written to %1: Cannot "
                              "write %2: it is read-only\n"_s;
    const QString hive = path("hive/NTUSER.DAT");
    const QString store = path("settings/TAVIMOR 4.0.ini");
    const QList<Case> cases{
        {registry, {}, {u"set"_s, u"NoRun"_s, u"1"_s}, setFailed.arg(u"file:"_s + registry, registry)},
        {hive, u"hive:"_s + hive, {u"set"_s, u"NoRun"_s, u"1"_s}, setFailed.arg(u"hive:"_s + hive, hive)},
        {path("prefix/user.reg"),
         u"wine:"_s + path("prefix"),
         {u"set"_s, u"NoRun"_s, u"1"_s},
         setFailed.arg(u"wine:"_s + path("prefix"), path("prefix/user.reg"))},
        {path("out/old.rds"),
         {},
         {u"save"_s, path("out/old.rds")},
         u"tavimorctl: %1 was not written: it is read-only\n"_s.arg(path("out/old.rds"))},
        {path("out/old.reg"),
         {},
         {u"export-reg"_s, path("out/old.reg")},
         u"tavimorctl: cannot write %1: it is read-only\n"_s.arg(path("out/old.reg"))},
        {userPol,
         {},
         {u"export-pol"_s, path("pol")},
         u"tavimorctl: %1: it is read-only; nothing was changed\n"_s.arg(userPol)},
        {store,
         {},
         {u"password"_s, u"--new-password-file"_s, path("new.txt")},
         u"tavimorctl: The settings store %1 cannot be written: it is read-only. It was left as it was; fix "
         u"the "
         "cause and try again. (error 75 in bGlobal.MyPwdWrite)\n"_s.arg(store)},
    };
    for (const Case& c : cases) {
        const QByteArray before = fileBytes(c.file);
        ASSERT_EQ(::chmod(QFile::encodeName(c.file).constData(), 0444), 0);
        if (!c.target.isEmpty())
            m_vars.insert(u"TAVIMOR_TARGET"_s, c.target);
        const Result r = failed(run(c.args), 1);
        EXPECT_EQ(r.err.toStdString(), c.message.toStdString()) << c.args.join(u' ').toStdString();
        EXPECT_EQ(fileBytes(c.file), before) << c.file.toStdString();
        EXPECT_EQ(factsOf(c.file).mode & 07777, 0444u);
        m_vars.insert(u"TAVIMOR_TARGET"_s, u"file:"_s + registry);
    }
}

// A FIFO is refused at once with what it is: opening one to read waits for a writer for ever.
TEST_F(CtlRefusals, AFifoWhereAFileIsReadIsRefusedAtOnce) {
    QDir().mkpath(path("WINDOWS"));
    QFile::copy(QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/registry/data/win98/SYSTEM.DAT"),
                path("WINDOWS/SYSTEM.DAT"));
    struct Case {
        QString fifo;
        QString target;
        QString message;
    };
    const QString notRegular = u"tavimorctl: %1 cannot be read: it is a FIFO, not a regular file\n"_s;
    const QString store = path("settings/TAVIMOR 4.0.ini");
    const QList<Case> cases{
        {path("hive/NTUSER.DAT"), u"hive:"_s + path("hive/NTUSER.DAT"),
         notRegular.arg(path("hive/NTUSER.DAT"))},
        {path("WINDOWS/USER.DAT"), u"win9x:"_s + path("WINDOWS"), notRegular.arg(path("WINDOWS/USER.DAT"))},
        {store, m_vars.value(u"TAVIMOR_TARGET"_s),
         u"tavimorctl: The settings store %1 cannot be read: it is a FIFO, not a regular file. Tavimor has "
         u"not "
         "changed it; make it readable for this user, or move it away to start again with the default "
         "settings and an empty administrator password. (error 75 in bGlobal.MyPwdRead)\n"_s.arg(store)},
    };
    // A hang fails the test instead of holding it.
    ::alarm(60);
    for (const Case& c : cases) {
        QFile::remove(c.fifo);
        ASSERT_EQ(::mkfifo(QFile::encodeName(c.fifo).constData(), 0600), 0);
        m_vars.insert(u"TAVIMOR_TARGET"_s, c.target);
        EXPECT_EQ(failed(ctl("list"), 1).err.toStdString(), c.message.toStdString());
    }
    ::alarm(0);
}

// A failure that names its cause: a full standard output, a policy or settings file too large to read,
// a FIFO as the settings file.
TEST_F(CtlRefusals, EveryFailureSaysWhy) {
    ASSERT_TRUE(QFile::copy(QStringLiteral(TAVIMOR_SOURCE_DIR "/resources/program/tavimor.xsl"),
                            programFolder() + u"/tavimor.xsl"_s));
    m_stdoutFault = u"No space left on device"_s;
    for (const char* command : {"save", "export-reg", "report"})
        EXPECT_EQ(fails(1, command, "-").err.toStdString(),
                  "tavimorctl: cannot write to standard output: No space left on device\n");
    m_stdoutFault.clear();

    const auto tooLarge = [](const QString& name) {
        QFile huge(name);
        return huge.open(QIODevice::WriteOnly) && huge.resize(64 * 1024 * 1024 + 1);
    };
    const QString userPol = path("pol") + u"/User/Registry.pol"_s;
    ASSERT_TRUE(tooLarge(userPol));
    EXPECT_EQ(fails(1, "import-pol", path("pol")).err.toStdString(),
              u"tavimorctl: %1: cannot be read: it is larger than 64 MiB\n"_s.arg(userPol).toStdString());

    // A settings file read for the policy files says why it could not be read, not that it is invalid.
    const QString hugeRds = path("huge.rds");
    ASSERT_TRUE(tooLarge(hugeRds));
    EXPECT_EQ(fails(1, "export-pol", "--from", hugeRds, path("gpo")).err.toStdString(),
              u"tavimorctl: cannot read %1: it is larger than 64 MiB\n"_s.arg(hugeRds).toStdString());

    const QString fifo = path("fifo.rds");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ::alarm(60);
    EXPECT_EQ(fails(1, "--file", fifo, "list").err.toStdString(),
              u"Tavimor 4.0: %1 cannot be read: it is a FIFO, not a regular file.\ntavimorctl: no catalogue "
              u"could be "
              "loaded\n"_s.arg(fifo)
                  .toStdString());
    ::alarm(0);
}

} // namespace
} // namespace tavimor::test
