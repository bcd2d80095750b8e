// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"

namespace tavimor::test {
namespace {

using CtlChanges = CtlFixture;

const QString kRestart = QStringLiteral("A restart of Windows is needed before this change takes effect.\n");

TEST_F(CtlChanges, SetWritesTheRegistryAndReportsARestartOnlyWhenTheValueChanges) {
    const Result disable = run({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("disable")});
    ASSERT_EQ(disable.status, 0) << disable.err.toStdString();
    EXPECT_EQ(disable.out, QStringLiteral("Start Menu/Run Dialog: Disabled (NoRun = 1)\n") + kRestart);
    EXPECT_EQ(noRun(), QLatin1String("1"));

    const Result again =
        run({QStringLiteral("set"), QStringLiteral("Start Menu/Run Dialog"), QStringLiteral("1")});
    EXPECT_EQ(again.out, QLatin1String("Start Menu/Run Dialog: Disabled (NoRun = 1)\n"));

    // A later run reads the value back from the registry file.
    EXPECT_TRUE(run({QStringLiteral("show"), QStringLiteral("NoRun")})
                    .out.contains(QLatin1String("Current Machine Settings: Disabled (1)\n")));

    const Result enable = run({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("Enable")});
    EXPECT_EQ(enable.out, QStringLiteral("Start Menu/Run Dialog: Enabled (NoRun = 0)\n") + kRestart);
    EXPECT_EQ(noRun(), QLatin1String("0"));

    const Result noRestart = run({QStringLiteral("set"), QStringLiteral("NoDispCpl"), QStringLiteral("1")});
    EXPECT_EQ(noRestart.out, QLatin1String("Display/Display Properties: Disabled (NoDispCpl = 1)\n"));
}

TEST_F(CtlChanges, SetTakesNumbersForNumberEntriesAndRefusesDrives) {
    const Result number = run({QStringLiteral("set"), QStringLiteral("MinPwdLen"), QStringLiteral("007")});
    ASSERT_EQ(number.status, 0) << number.err.toStdString();
    EXPECT_EQ(number.out, QLatin1String("Network/Set Minimum Password Length: 7 (MinPwdLen = 7)\n"));
    EXPECT_EQ(registryValue(QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network"),
                            QStringLiteral("MinPwdLen"), HKEY_LOCAL_MACHINE),
              QLatin1String("7"));
    // A Number entry is not read back into the catalogue; show tells what the registry holds.
    const Result shown = run({QStringLiteral("show"), QStringLiteral("MinPwdLen")});
    EXPECT_TRUE(shown.out.contains(QLatin1String("Current Machine Settings: Null\n")));
    EXPECT_TRUE(shown.out.endsWith(QLatin1String("In the registry: MinPwdLen = 7\n")));

    for (const char* bad : {"-1", "2147483648", "enable", "1.5"})
        EXPECT_EQ(run({QStringLiteral("set"), QStringLiteral("MinPwdLen"), QLatin1String(bad)}).status, 2)
            << bad;
    EXPECT_EQ(run({QStringLiteral("set"), QStringLiteral("MinPwdLen"), QStringLiteral("2147483647")}).status,
              0);

    const Result drives = run({QStringLiteral("set"), QStringLiteral("NoDrives"), QStringLiteral("1")});
    EXPECT_EQ(drives.status, 1);
    EXPECT_TRUE(drives.err.contains(QLatin1String("use tavimorctl drives")));
    EXPECT_EQ(registryValue(QLatin1String(kExplorerPath), QStringLiteral("NoDrives")), QString());
}

TEST_F(CtlChanges, DrivesShowsAndSetsTheMask) {
    EXPECT_EQ(run({QStringLiteral("drives")}).out, QLatin1String("Hidden drives: none\n"));
    const Result set = run({QStringLiteral("drives"), QStringLiteral("A,Z")});
    ASSERT_EQ(set.status, 0) << set.err.toStdString();
    EXPECT_EQ(set.out, QLatin1String("Hidden drives: A: Z:\n"));
    EXPECT_EQ(registryValue(QLatin1String(kExplorerPath), QStringLiteral("NoDrives")),
              QLatin1String("33554433"));
    EXPECT_TRUE(run({QStringLiteral("show"), QStringLiteral("NoDrives")})
                    .out.contains(QLatin1String("Hidden drives: A: Z:\n")));
    EXPECT_EQ(run({QStringLiteral("drives"), QStringLiteral("none")}).out,
              QLatin1String("Hidden drives: none\n"));
    EXPECT_EQ(registryValue(QLatin1String(kExplorerPath), QStringLiteral("NoDrives")), QLatin1String("0"));
}

TEST_F(CtlChanges, UnsetDeletesValuesAndAnAbsentOneCountsAsDone) {
    ASSERT_EQ(run({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("1")}).status, 0);
    const Result unset = run({QStringLiteral("unset"), QStringLiteral("NoRun")});
    ASSERT_EQ(unset.status, 0) << unset.err.toStdString();
    EXPECT_EQ(unset.out,
              QStringLiteral("Start Menu/Run Dialog: not configured (NoRun deleted, was 1) (restart)\n") +
                  kRestart);
    EXPECT_FALSE(registryBytes().contains("\"NoRun\""));
    const Result again = run({QStringLiteral("unset"), QStringLiteral("NoRun")});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, QLatin1String("Start Menu/Run Dialog: not configured (NoRun was not set)\n"));

    ASSERT_EQ(run({QStringLiteral("set"), QStringLiteral("NoDispCpl"), QStringLiteral("1")}).status, 0);
    ASSERT_EQ(run({QStringLiteral("set"), QStringLiteral("MinPwdLen"), QStringLiteral("7")}).status, 0);
    ASSERT_EQ(run({QStringLiteral("drives"), QStringLiteral("A")}).status, 0);
    const Result all = run({QStringLiteral("unset"), QStringLiteral("--all")});
    ASSERT_EQ(all.status, 0) << all.err.toStdString();
    EXPECT_EQ(all.out, QStringLiteral(
                           "Display/Display Properties: not configured (NoDispCpl deleted, was 1)\n"
                           "Network/Set Minimum Password Length: not configured (MinPwdLen deleted, was 7)\n"
                           "Security/Handle Drive(s): not configured (NoDrives deleted, was 1) (restart)\n"
                           "54 other values were not set.\n") +
                           kRestart);
    EXPECT_EQ(registryValue(QLatin1String(kExplorerPath), QStringLiteral("NoDrives")), QString());

    EXPECT_EQ(run({QStringLiteral("unset")}).status, 2);
    EXPECT_EQ(run({QStringLiteral("unset"), QStringLiteral("--all"), QStringLiteral("NoRun")}).status, 2);
}

} // namespace
} // namespace tavimor::test
