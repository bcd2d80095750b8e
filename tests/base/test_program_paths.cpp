// SPDX-License-Identifier: GPL-3.0-or-later
#include "TavimorVersion.h"
#include "base/CommandLineAnswer.h"
#include "base/ProgramPaths.h"
#include "registry/RegistryTarget.h"

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
    EXPECT_TRUE(
        commandLineAnswer({u"--help"_s})->startsWith(u"Usage: tavimor [--target TARGET] [FILE.rds]"_s));
    // A settings file path, or anything with it, goes on to the window.
    EXPECT_FALSE(commandLineAnswer({}));
    EXPECT_FALSE(commandLineAnswer({u"my.rds"_s}));
    EXPECT_FALSE(commandLineAnswer({u"--help"_s, u"my.rds"_s}));
}

TEST(CommandLineAnswer, HelpNamesEveryKindOfTarget) {
    QString error;
    EXPECT_FALSE(openRegistryTarget(u"nothing:"_s, &error));
    // "Use file:PATH, wine:PREFIX, ... or memory:." names every kind the programs take.
    const QStringList kinds =
        error.section(u"Use "_s, 1).replace(u" or "_s, u", "_s).chopped(1).split(u", "_s);
    ASSERT_GE(kinds.size(), 6);
    const QString help = *commandLineAnswer({u"--help"_s});
    for (const QString& kind : kinds)
        EXPECT_TRUE(help.contains(u"  "_s + kind)) << kind.toStdString();
}

TEST(CommandLineAnswer, TargetIsTakenFromAnywhereAndTheRestIsTheSettingsFile) {
    const struct {
        QStringList arguments;
        std::optional<QString> target;
        QString settingsFile;
        bool error;
    } cases[] = {
        {{u"--target"_s, u"wine:"_s, u"my"_s, u"file.rds"_s}, u"wine:"_s, u"my file.rds"_s, false},
        {{u"a.rds"_s, u"--target=pol:/x y"_s}, u"pol:/x y"_s, u"a.rds"_s, false},
        {{u"a.rds"_s}, std::nullopt, u"a.rds"_s, false},
        {{u"a.rds"_s, u"--target"_s}, std::nullopt, QString(), true},
        {{u"--target=a:"_s, u"--target=b:"_s}, std::nullopt, QString(), true},
    };
    for (const auto& c : cases) {
        const WindowArguments parsed = parseWindowArguments(c.arguments);
        EXPECT_EQ(parsed.error.isEmpty(), !c.error) << c.arguments.join(u' ').toStdString();
        if (!c.error) {
            EXPECT_EQ(parsed.target, c.target);
            EXPECT_EQ(parsed.settingsFile, c.settingsFile);
        }
    }
}
