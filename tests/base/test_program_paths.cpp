// SPDX-License-Identifier: GPL-3.0-or-later
#include "TavimorVersion.h"
#include "base/CommandLineAnswer.h"
#include "base/ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;

TEST(ProgramPaths, InstalledTreeUsesShareAndBuildFolderItsOwn) {
    QTemporaryDir root;
    const QString bin = root.filePath(u"usr/bin"_s);
    QDir().mkpath(bin);
    // Without the share folder (a build folder) the executable's folder holds everything.
    EXPECT_EQ(programFolderFor(bin), bin);
    // share/tavimor without the default settings file is not taken for the program folder.
    QDir().mkpath(root.filePath(u"usr/share/tavimor"_s));
    EXPECT_EQ(programFolderFor(bin), bin);
    ASSERT_TRUE(QFile(root.filePath(u"usr/share/tavimor/tavimor.rds"_s)).open(QIODevice::WriteOnly));
    EXPECT_EQ(programFolderFor(bin), root.filePath(u"usr/share/tavimor"_s));
}

TEST(ProgramPaths, StateFolderFollowsXdgRules) {
    EXPECT_EQ(stateFolderFrom(u"/var/st"_s, u"/home/a"_s), u"/var/st/tavimor"_s);
    // A relative XDG_STATE_HOME is ignored, as the base directory rules say.
    EXPECT_EQ(stateFolderFrom(u"rel/st"_s, u"/home/a"_s), u"/home/a/.local/state/tavimor"_s);
    EXPECT_EQ(stateFolderFrom(QString(), u"/home/a/"_s), u"/home/a/.local/state/tavimor"_s);
    EXPECT_EQ(stateFolderFrom(QString(), QString()), QString());
}

TEST(CommandLineAnswer, HelpAndVersionOnlyAlone) {
    EXPECT_EQ(commandLineAnswer({u"--version"_s}), QStringLiteral("tavimor " TAVIMOR_VERSION "\n"));
    ASSERT_TRUE(commandLineAnswer({u"-h"_s}));
    EXPECT_TRUE(commandLineAnswer({u"--help"_s})->startsWith(u"Usage: tavimor [FILE.rds]"_s));
    // A settings file path, or anything with it, goes on to the window.
    EXPECT_FALSE(commandLineAnswer({}));
    EXPECT_FALSE(commandLineAnswer({u"my.rds"_s}));
    EXPECT_FALSE(commandLineAnswer({u"--help"_s, u"my.rds"_s}));
}
