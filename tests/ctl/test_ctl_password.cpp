// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"

namespace tavimor::test {
namespace {

using CtlPassword = CtlFixture;

TEST_F(CtlPassword, AStoredPasswordGuardsEveryCommand) {
    ASSERT_TRUE(writeFileAtomically(path("new.txt"), "s3cret  \r\nignored\n"));
    EXPECT_EQ(ok("password", "--new-password-file", path("new.txt")).out, "Password has been set.\n"_L1);

    EXPECT_EQ(fails(3, "set", "NoRun", "1").err,
              "tavimorctl: a password is needed (use --password-file or TAVIMOR_PASSWORD)\n"_L1);

    m_vars.insert(u"TAVIMOR_PASSWORD"_s, u"S3cret"_s);
    EXPECT_EQ(fails(3, "set", "NoRun", "1").err, "tavimorctl: wrong password\n"_L1);
    EXPECT_EQ(noRun(), QString()); // neither run wrote

    // Trailing spaces do not count, on either side.
    m_vars.insert(u"TAVIMOR_PASSWORD"_s, u"s3cret "_s);
    EXPECT_EQ(ctl("set", "NoRun", "1").status, 0);

    // The file wins over the environment.
    ASSERT_TRUE(writeFileAtomically(path("pw.txt"), "s3cret\n"));
    m_vars.insert(u"TAVIMOR_PASSWORD"_s, u"wrong"_s);
    EXPECT_EQ(ctl("--password-file", path("pw.txt"), "list").status, 0);
    EXPECT_EQ(ctl("list").status, 3);
}

TEST_F(CtlPassword, TheTerminalIsAskedWithoutEchoOnce) {
    m_terminal = true;
    m_typed = {u"abc"_s, u"abc"_s};
    ASSERT_EQ(ctl("password").status, 0);
    EXPECT_EQ(m_prompts, (QStringList{u"New password: "_s, u"Verify password: "_s}));

    m_prompts.clear();
    m_typed = {u"abd"_s};
    EXPECT_EQ(ctl("drives").status, 3);
    EXPECT_EQ(m_prompts, QStringList{u"Password: "_s});

    m_typed = {u"abc"_s, u"one"_s, u"two"_s};
    EXPECT_EQ(fails(1, "password").err, "tavimorctl: Passwords don't match\n"_L1);

    m_typed = {u"abc"_s, u"12345678901"_s, u"12345678901"_s};
    EXPECT_TRUE(ctl("password").err.contains("at most 10 characters"_L1));

    // An empty password removes the protection.
    m_typed = {u"abc"_s, QString(), QString()};
    ASSERT_EQ(ctl("password").status, 0);
    m_terminal = false;
    EXPECT_EQ(ctl("drives").status, 0);
}

// The store keeps a hash; a status text of the old cipher is a password like any other; a wrong password
// leaves everything as it was, and a damaged store lets no one in.
TEST_F(CtlPassword, AWrongOrDamagedPasswordChangesNothing) {
    ASSERT_TRUE(writeFileAtomically(path("new.txt"), "-1"));
    EXPECT_EQ(ok("password", "--new-password-file", path("new.txt")).out, "Password has been set.\n"_L1);
    const QString store = path("settings") + u"/TAVIMOR 4.0.ini"_s;
    EXPECT_FALSE(fileBytes(store).contains("quorvel=-1")) << fileBytes(store).toStdString();
    EXPECT_EQ(fails(3, "list").status, 3);

    const QString missing = path("missing.reg");
    m_vars.insert(u"TAVIMOR_TARGET"_s, u"file:"_s + missing);
    m_vars.insert(u"TAVIMOR_PASSWORD"_s, u"-2"_s);
    EXPECT_EQ(fails(3, "set", "NoRun", "1").err, "tavimorctl: wrong password\n"_L1);
    EXPECT_FALSE(QFile::exists(missing));
    m_vars.insert(u"TAVIMOR_PASSWORD"_s, u"-1"_s);
    ok("set", "NoRun", "1");
    EXPECT_TRUE(QFile::exists(missing));

    const QByteArray damaged = "[REGIKEY]\nFirstRun=1\nquorvel=VFZSRAEBAABOIA\n";
    ASSERT_TRUE(writeFileAtomically(store, damaged));
    for (const char* command : {"list", "password"})
        EXPECT_EQ(
            fails(1, command).err,
            u"tavimorctl: The administrator password stored in %1 (quorvel in section [REGIKEY]) is "
            "damaged: it is neither a password hash nor a password Tavimor enciphered, so no password "
            "can be checked against it. Tavimor has not changed it; remove that line to start again with "
            "an empty administrator password, or set the password again. (error 75 in "
            "bGlobal.MyPwdRead)\n"_s.arg(store));
    EXPECT_EQ(fileBytes(store), damaged);
}

} // namespace
} // namespace tavimor::test
