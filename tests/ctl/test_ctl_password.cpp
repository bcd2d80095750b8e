// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"

namespace tavimor::test {
namespace {

using CtlPassword = CtlFixture;

TEST_F(CtlPassword, AStoredPasswordGuardsEveryCommand) {
    ASSERT_TRUE(writeFileAtomically(path("new.txt"), "s3cret  \r\nignored\n"));
    const Result set =
        run({QStringLiteral("password"), QStringLiteral("--new-password-file"), path("new.txt")});
    ASSERT_EQ(set.status, 0) << set.err.toStdString();
    EXPECT_EQ(set.out, QLatin1String("Password has been set.\n"));

    const Result none = run({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("1")});
    EXPECT_EQ(none.status, 3);
    EXPECT_EQ(none.err,
              QLatin1String("tavimorctl: a password is needed (use --password-file or TAVIMOR_PASSWORD)\n"));
    EXPECT_EQ(noRun(), QString());

    m_vars.insert(QStringLiteral("TAVIMOR_PASSWORD"), QStringLiteral("S3cret"));
    const Result wrong = run({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("1")});
    EXPECT_EQ(wrong.status, 3);
    EXPECT_EQ(wrong.err, QLatin1String("tavimorctl: wrong password\n"));
    EXPECT_EQ(noRun(), QString());

    // Trailing spaces do not count, on either side.
    m_vars.insert(QStringLiteral("TAVIMOR_PASSWORD"), QStringLiteral("s3cret "));
    EXPECT_EQ(run({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("1")}).status, 0);
    EXPECT_EQ(noRun(), QLatin1String("1"));

    // The file wins over the environment.
    ASSERT_TRUE(writeFileAtomically(path("pw.txt"), "s3cret\n"));
    m_vars.insert(QStringLiteral("TAVIMOR_PASSWORD"), QStringLiteral("wrong"));
    EXPECT_EQ(run({QStringLiteral("--password-file"), path("pw.txt"), QStringLiteral("list")}).status, 0);
    EXPECT_EQ(run({QStringLiteral("list")}).status, 3);
}

TEST_F(CtlPassword, TheTerminalIsAskedWithoutEchoOnce) {
    m_terminal = true;
    m_typed = {QStringLiteral("abc"), QStringLiteral("abc")};
    ASSERT_EQ(run({QStringLiteral("password")}).status, 0);
    EXPECT_EQ(m_prompts,
              (QStringList{QStringLiteral("New password: "), QStringLiteral("Verify password: ")}));

    m_prompts.clear();
    m_typed = {QStringLiteral("abd")};
    EXPECT_EQ(run({QStringLiteral("drives")}).status, 3);
    EXPECT_EQ(m_prompts, QStringList{QStringLiteral("Password: ")});

    m_typed = {QStringLiteral("abc"), QStringLiteral("one"), QStringLiteral("two")};
    const Result mismatch = run({QStringLiteral("password")});
    EXPECT_EQ(mismatch.status, 1);
    EXPECT_EQ(mismatch.err, QLatin1String("tavimorctl: Passwords don't match\n"));

    m_typed = {QStringLiteral("abc"), QStringLiteral("12345678901"), QStringLiteral("12345678901")};
    EXPECT_TRUE(run({QStringLiteral("password")}).err.contains(QLatin1String("at most 10 characters")));

    // An empty password removes the protection.
    m_typed = {QStringLiteral("abc"), QString(), QString()};
    ASSERT_EQ(run({QStringLiteral("password")}).status, 0);
    m_terminal = false;
    EXPECT_EQ(run({QStringLiteral("drives")}).status, 0);
}

} // namespace
} // namespace tavimor::test
