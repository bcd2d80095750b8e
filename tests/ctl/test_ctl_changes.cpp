// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"

namespace tavimor::test {
namespace {

using CtlChanges = CtlFixture;

const QString kRestart = u"A restart of Windows is needed before this change takes effect.\n"_s;

TEST_F(CtlChanges, SetAndUnsetWriteTheRegistryAndReportARestartOnlyWhenTheValueChanges) {
    EXPECT_EQ(ok("set", "NoRun", "disable").out,
              u"Start Menu/Run Dialog: Disabled (NoRun = 1)\n"_s + kRestart);
    // A value that holds what is asked is not written again.
    const auto written = fileIdentity(path("registry.reg"));
    EXPECT_EQ(ctl("set", "Start Menu/Run Dialog", "1").out,
              "Start Menu/Run Dialog: already Disabled (NoRun = 1)\n"_L1);
    EXPECT_EQ(fileIdentity(path("registry.reg")), written);
    // A later run reads the value back from the registry file.
    EXPECT_TRUE(ctl("show", "NoRun").out.contains("Current Machine Settings: Disabled (1)\n"_L1));
    EXPECT_EQ(ctl("set", "NoRun", "Enable").out,
              u"Start Menu/Run Dialog: Enabled (NoRun = 0)\n"_s + kRestart);

    // unset deletes the value, and an absent one counts as done.
    EXPECT_EQ(ok("unset", "NoRun").out,
              u"Start Menu/Run Dialog: not configured (NoRun deleted, was 0) (restart)\n"_s + kRestart);
    EXPECT_FALSE(fileBytes(path("registry.reg")).contains("\"NoRun\""));
    EXPECT_EQ(ok("unset", "NoRun").out, "Start Menu/Run Dialog: not configured (NoRun was not set)\n"_L1);

    ok("set", "NoDispCpl", "1");
    ok("set", "MinPwdLen", "7");
    ok("drives", "A");
    EXPECT_EQ(ok("unset", "--all").out,
              u"Display/Display Properties: not configured (NoDispCpl deleted, was 1)\n"
              u"Network/Set Minimum Password Length: not configured (MinPwdLen deleted, was 7)\n"
              u"Security/Handle Drive(s): not configured (NoDrives deleted, was 1) (restart)\n"
              u"54 other values were not set.\n"_s +
                  kRestart);
}

TEST_F(CtlChanges, SetTakesNumbersForNumberEntriesAndRefusesDrives) {
    EXPECT_EQ(ok("set", "MinPwdLen", "007").out,
              "Network/Set Minimum Password Length: 7 (MinPwdLen = 7)\n"_L1);
    // A Number entry is not read back into the catalogue; show tells what the registry holds.
    const Result shown = ctl("show", "MinPwdLen");
    EXPECT_TRUE(shown.out.contains("Current Machine Settings: Null\n"_L1));
    EXPECT_TRUE(shown.out.endsWith("In the registry: MinPwdLen = 7\n"_L1));

    EXPECT_TRUE(fails(1, "set", "NoDrives", "1").err.contains("use tavimorctl drives"_L1));
    EXPECT_EQ(explorer("NoDrives"), QString());

    // The Drives entry needs a restart when the mask changes, not when it is written again.
    EXPECT_EQ(ok("drives", "A,Z").out, "Hidden drives: A: Z:\n"_L1 + kRestart);
    EXPECT_EQ(explorer("NoDrives"), "33554433"_L1);
    EXPECT_EQ(ok("drives", "a, z:").out, "Hidden drives: A: Z:\n"_L1);
    EXPECT_TRUE(ctl("show", "NoDrives").out.contains("Hidden drives: A: Z:\n"_L1));
    EXPECT_EQ(ctl("drives", "none").out, "Hidden drives: none\n"_L1 + kRestart);
    EXPECT_EQ(explorer("NoDrives"), "0"_L1);
}

} // namespace
} // namespace tavimor::test
