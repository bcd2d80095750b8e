// SPDX-License-Identifier: GPL-3.0-or-later
#include "TavimorVersion.h"
#include "base/CommandLineAnswer.h"
#include "base/ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tavimor;

namespace {
void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}
} // namespace

TEST(ProgramPaths, InstalledTreeUsesShareAndBuildFolderItsOwn) {
    QTemporaryDir root;
    const QString bin = root.filePath(QStringLiteral("usr/bin"));
    QDir().mkpath(bin);
    // Without the share folder (a build folder) the executable's folder holds everything.
    EXPECT_EQ(programFolderFor(bin), bin);
    // share/tavimor without the default settings file is not taken for the program folder.
    QDir().mkpath(root.filePath(QStringLiteral("usr/share/tavimor")));
    EXPECT_EQ(programFolderFor(bin), bin);
    touch(root.filePath(QStringLiteral("usr/share/tavimor/tavimor.rds")));
    EXPECT_EQ(programFolderFor(bin), root.filePath(QStringLiteral("usr/share/tavimor")));
}

TEST(ProgramPaths, StateFolderFollowsXdgRules) {
    EXPECT_EQ(stateFolderFrom(QStringLiteral("/var/st"), QStringLiteral("/home/a")),
              QStringLiteral("/var/st/tavimor"));
    // A relative XDG_STATE_HOME is ignored, as the base directory rules say.
    EXPECT_EQ(stateFolderFrom(QStringLiteral("rel/st"), QStringLiteral("/home/a")),
              QStringLiteral("/home/a/.local/state/tavimor"));
    EXPECT_EQ(stateFolderFrom(QString(), QStringLiteral("/home/a/")),
              QStringLiteral("/home/a/.local/state/tavimor"));
    EXPECT_EQ(stateFolderFrom(QString(), QString()), QString());
}

TEST(CommandLineAnswer, HelpAndVersionOnlyAlone) {
    EXPECT_EQ(commandLineAnswer({QStringLiteral("--version")}),
              QStringLiteral("tavimor " TAVIMOR_VERSION "\n"));
    ASSERT_TRUE(commandLineAnswer({QStringLiteral("-h")}));
    EXPECT_TRUE(commandLineAnswer({QStringLiteral("--help")})
                    ->startsWith(QStringLiteral("Usage: tavimor [FILE.rds]")));
    // A settings file path, or anything with it, goes on to the window.
    EXPECT_FALSE(commandLineAnswer({}));
    EXPECT_FALSE(commandLineAnswer({QStringLiteral("my.rds")}));
    EXPECT_FALSE(commandLineAnswer({QStringLiteral("--help"), QStringLiteral("my.rds")}));
}
