// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/SharedLibrary.h"
#include "ctl/CtlFixture.h"
#include "support/CoreFixture.h"

#include <gtest/gtest.h>

namespace tavimor::test {
namespace {

// The libraries opened on first use, each put out of reach before anything uses it: what needs
// one fails on its usual road, names the library, and writes nothing.
void putLibrariesOutOfReach() {
    SharedLibrary::substituteForTests("libcrypto.so.3", "libtavimor-absent-crypto.so.0");
    SharedLibrary::substituteForTests("libxslt.so.1", "libtavimor-absent-xslt.so.0");
    SharedLibrary::substituteForTests("libcreg.so.1", "libtavimor-absent-creg.so.0");
}

class MissingLibraries : public CtlFixture {
protected:
    static void SetUpTestSuite() { putLibrariesOutOfReach(); }
};

class MissingLibrariesInTheWindow : public CoreFixture {
protected:
    static void SetUpTestSuite() { putLibrariesOutOfReach(); }
};

const QString kNoCrypto =
    u"libtavimor-absent-crypto.so.0 cannot be loaded: libtavimor-absent-crypto.so.0: "_s;

TEST_F(MissingLibraries, EachOperationSaysWhichLibraryItLacksAndWritesNothing) {
    QDir().mkpath(path("WINDOWS"));
    for (const char* name : {"USER.DAT", "SYSTEM.DAT"})
        QFile::copy(TAVIMOR_TEST_DATA u"/win98/"_s + QLatin1String(name),
                    path("WINDOWS/") + QLatin1String(name));
    QFile::copy(QStringLiteral(TAVIMOR_SOURCE_DIR "/resources/program/tavimor.xsl"),
                programFolder() + u"/tavimor.xsl"_s);
    // Whatever the file holds, it cannot be deciphered without the library.
    ASSERT_TRUE(writeFileAtomically(path("given.rds"), "anything"));
    ASSERT_TRUE(writeFileAtomically(path("catalogue.xml"), builtinCatalogueText().toUtf8()));
    const QString unopened = u"%1 cannot be opened: libtavimor-absent-crypto.so.0 cannot be loaded: "_s;
    const struct {
        QStringList args;
        QString message; // the start of the one line on standard error
        const char* unwritten;
    } cases[] = {
        {{u"save"_s, path("saved.rds")},
         u"tavimorctl: %1 was not written: libtavimor-absent-crypto.so.0 cannot be loaded: "_s.arg(
             path("saved.rds")),
         "saved.rds"},
        {{u"import-xml"_s, path("catalogue.xml"), path("imported.rds")},
         u"tavimorctl: %1 was not written: libtavimor-absent-crypto.so.0"_s.arg(path("imported.rds")),
         "imported.rds"},
        {{u"diff"_s, path("given.rds")}, u"tavimorctl: "_s + unopened.arg(path("given.rds")), nullptr},
        {{u"export-reg"_s, u"--from"_s, path("given.rds"), path("out.reg")},
         u"tavimorctl: "_s + unopened.arg(path("given.rds")),
         "out.reg"},
        {{u"report"_s, path("r.html")},
         u"tavimorctl: The report could not be made with the style sheet %1. libtavimor-absent-xslt.so.0 "
         u"cannot be loaded: "_s.arg(programFolder() + u"/tavimor.xsl"_s),
         "r.html"},
        {{u"--target"_s, u"win9x:"_s + path("WINDOWS"), u"show"_s, u"NoRun"_s},
         u"tavimorctl: %1 cannot be opened: libtavimor-absent-creg.so.0 cannot be loaded: "_s.arg(
             path("WINDOWS/USER.DAT")),
         nullptr},
    };
    for (const auto& c : cases) {
        const Result r = run(c.args);
        EXPECT_NE(r.status, 0) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(c.message)) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("No such file"_L1)) << r.err.toStdString();
        if (c.unwritten) {
            EXPECT_FALSE(QFileInfo::exists(path(c.unwritten))) << c.unwritten;
        }
    }
    // What needs none of them still works.
    EXPECT_EQ(ok("show", "NoRun").err, QString());

    // A stored password cannot be checked: no one is let in, and no one is told the password is wrong.
    QDir().mkpath(path("settings"));
    ASSERT_TRUE(writeFileAtomically(path("settings") + u"/TAVIMOR 4.0.ini"_s,
                                    "[REGIKEY]\nquorvel=$scrypt$15$8$1$lK3b1XBnlutHN6kzsCp4TA$"
                                    "s+rbf84DVzHkXFp29YZb4uQOFTNaLqLZ6kKwJ/1FeFI\n"));
    m_vars.insert(u"TAVIMOR_PASSWORD"_s, u"secret"_s);
    const Result refused = run({u"set"_s, u"NoRun"_s, u"1"_s});
    EXPECT_NE(refused.status, 0);
    EXPECT_TRUE(refused.err.startsWith(
        u"tavimorctl: The administrator password cannot be checked: libtavimor-absent-crypto.so.0 "_s))
        << refused.err.toStdString();
    EXPECT_FALSE(refused.err.contains("wrong"_L1));
}

TEST_F(MissingLibrariesInTheWindow, SaveAndOpenSayWhyAndWriteNothing) {
    loadBuiltin();
    const QString target = dir.filePath(u"saved.rds"_s);
    prompter.queueFileName(target);
    EXPECT_FALSE(m_files.SaveAsCommand());
    const QString given = dir.filePath(u"given.rds"_s);
    ASSERT_TRUE(writeFileAtomically(given, "anything"));
    prompter.queueFileName(given);
    EXPECT_FALSE(m_files.OpenCommand());
    ASSERT_EQ(prompter.messages().size(), 2);
    EXPECT_TRUE(prompter.messages()[0].text.startsWith(u"The settings file %1 was not saved: "_s.arg(target) +
                                                       kNoCrypto))
        << prompter.messages()[0].text.toStdString();
    EXPECT_TRUE(prompter.messages()[1].text.startsWith(u"%1 cannot be opened: "_s.arg(given) + kNoCrypto))
        << prompter.messages()[1].text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(context.currentSettingsFile, target);
}

// A library that is there but lacks a function is refused whole, naming what it lacks.
TEST(SharedLibrary, ALibraryWithoutTheFunctionsIsRefused) {
    int (*absent)(int) = nullptr;
    int (*present)(int) = nullptr;
    const QString why = SharedLibrary::load("libc.so.6", {SharedLibrary::symbol("abs", present),
                                                          SharedLibrary::symbol("tavimor_absent", absent)});
    EXPECT_TRUE(why.startsWith("libc.so.6 cannot be used: it lacks tavimor_absent ("_L1))
        << why.toStdString();
    EXPECT_EQ(absent, nullptr);
    EXPECT_EQ(SharedLibrary::load("libc.so.6", {SharedLibrary::symbol("abs", present)}), QString());
    EXPECT_EQ(present(-3), 3);
}

} // namespace
} // namespace tavimor::test
