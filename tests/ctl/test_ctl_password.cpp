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

} // namespace
} // namespace tavimor::test
