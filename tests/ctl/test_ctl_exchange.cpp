// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"
#include "registry/regfile/RegPatch.h"

#include <sys/inotify.h>
#include <unistd.h>

namespace tavimor::test {
namespace {

using CtlExchange = CtlFixture;
using Kind = RegPatch::Change::Kind;

// name -> "dword" value as hex, or "-" for a deletion.
QHash<QString, QString> valuesOf(const QByteArray& bytes) {
    QString error;
    int line = 0;
    const std::optional<RegPatch> patch = RegPatch::parse(bytes, &error, &line);
    EXPECT_TRUE(patch) << line << ": " << error.toStdString();
    QHash<QString, QString> values;
    for (const RegPatch::Change& change : patch ? patch->changes() : QList<RegPatch::Change>()) {
        if (change.kind == Kind::SetValue)
            values.insert(change.name, QString::fromLatin1(change.value.data.toHex()));
        else if (change.kind == Kind::DeleteValue)
            values.insert(change.name, u"-"_s);
    }
    return values;
}

// The UTF-16 file, its three values and nothing beyond the policies: ctl_exchange.sh.
TEST_F(CtlExchange, ExportHoldsThePolicyValuesAndNothingElse) {
    ok("set", "NoRun", "disable");
    EXPECT_EQ(ok("export-reg", path("all.reg")).out,
              u"Wrote %1 (version 5, 1 value, 56 deletions).\n"_s.arg(path("all.reg")));
    const QHash<QString, QString> values = valuesOf(fileBytes(path("all.reg")));
    EXPECT_EQ(values.size(), 57);
    EXPECT_EQ(values.value(u"NoRun"_s), "01000000"_L1);
    EXPECT_EQ(values.value(u"NoFind"_s), "-"_L1);

    // REGEDIT4 to standard output: the one value set, no deletions; a section and an entry chosen.
    const Result ansi = ok("export-reg", "--format", "4", "Display", "NoRun", "-");
    EXPECT_EQ(ansi.out, QString());
    EXPECT_EQ(ansi.bytes,
              QByteArray("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
                         "CurrentVersion\\Policies\\Explorer]\r\n\"NoRun\"=dword:00000001\r\n\r\n"));

    // With --from, what the settings file would write: its numbers, and no number as not configured.
    ok("save", path("saved.rds"));
    const QHash<QString, QString> from =
        valuesOf(ok("export-reg", "--from", path("saved.rds"), "Network", "-").bytes);
    EXPECT_EQ(from.value(u"NoNetHood"_s), "00000000"_L1);
    EXPECT_EQ(from.value(u"MinPwdLen"_s), "-"_L1);

    // What cannot be meant writes nothing.
    const Result unknown = fails(1, "export-reg", "NoSuchThing", path("x.reg"));
    EXPECT_TRUE(unknown.err.contains("no section or entry \"NoSuchThing\""_L1)) << unknown.err.toStdString();
    ASSERT_TRUE(writeFileAtomically(path("plain.rds"), "<TAVIMOR/>"));
    fails(1, "export-reg", "--from", path("plain.rds"), path("x.reg"));
    EXPECT_FALSE(QFile::exists(path("x.reg")));
}

TEST_F(CtlExchange, ImportMergesAFileAndADamagedOneChangesNothing) {
    ok("set", "NoRun", "disable");
    ok("set", "NoFind", "disable");
    ok("export-reg", "Start Menu", path("push.reg"));

    // Into a fresh machine, as regedit would: the values set arrive, the deletions find nothing.
    m_vars.insert(u"TAVIMOR_TARGET"_s, u"file:"_s + path("other.reg"));
    EXPECT_EQ(ok("import-reg", path("push.reg")).out,
              u"Imported %1 into file:%2: 2 values written, 6 deleted.\n"_s.arg(path("push.reg"),
                                                                                path("other.reg")));
    EXPECT_EQ(explorer("NoFind"), "1"_L1);

    // Standard input, UTF-8: a deletion removes the value.
    m_stdin = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\" + QByteArray(kExplorerPath) +
              "]\n\"NoRun\"=-\n\"Other\"=\"t\xC3\xA9xt\"\n";
    ok("import-reg", "-");
    EXPECT_EQ(noRun(), QString());
    EXPECT_EQ(explorer("Other"), u"t\u00e9xt"_s);

    // A key deletion is refused before anything is written (a file that cannot be read: ctl_exchange.sh).
    const QByteArray before = fileBytes(path("other.reg"));
    ASSERT_TRUE(writeFileAtomically(path("push.reg"),
                                    "REGEDIT4\r\n[HKEY_CURRENT_USER\\" + QByteArray(kExplorerPath) +
                                        "]\r\n\"NoRun\"=dword:1\r\n[-HKEY_CURRENT_USER\\Software]\r\n"));
    const Result r = fails(1, "import-reg", path("push.reg"));
    EXPECT_TRUE(r.err.contains(
        "line 4: [-HKEY_CURRENT_USER\\Software] deletes a key, which is not imported; nothing was changed"_L1))
        << r.err.toStdString();
    EXPECT_EQ(fileBytes(path("other.reg")), before);
}

// An import rewrites the registry file once, whatever the number of values (each rewrite is synced).
TEST_F(CtlExchange, ImportIntoAFileIsOneSave) {
    QByteArray reg = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Many]\r\n";
    for (int i = 0; i < 200; ++i)
        reg += "\"V" + QByteArray::number(i) +
               "\"=dword:" + QByteArray::number(i, 16).rightJustified(8, '0') + "\r\n";
    ASSERT_TRUE(writeFileAtomically(path("many.reg"), reg));
    const QString registry = m_vars.value(u"TAVIMOR_TARGET"_s).mid(5);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(m_dir.path()).constData(), IN_MOVED_TO), 0);
    ok("import-reg", path("many.reg"));
    int saves = 0;
    alignas(inotify_event) char events[64 * 1024];
    for (ssize_t size; (size = ::read(watch, events, sizeof events)) > 0;)
        for (char* at = events; at < events + size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            saves += event->len > 0 && QFile::decodeName(event->name) == QFileInfo(registry).fileName();
            at += sizeof(inotify_event) + event->len;
        }
    ::close(watch);
    EXPECT_EQ(saves, 1);
    QString error;
    const std::unique_ptr<RegistryBackend> backend = openRegistryTarget(u"file:"_s + registry, &error);
    EXPECT_EQ(MSDNRegistry(*backend).ReadKeyValue(HKEY_CURRENT_USER, u"Software\\Many"_s, u"V199"_s).toText(),
              u"199"_s);
}

TEST_F(CtlExchange, SearchFindsEveryWordInAnyFieldAlsoAsJson) {
    ok("set", "NoRun", "disable");
    // Name and section, any case; the value name; a word of the description.
    EXPECT_EQ(ok("search", "RUN", "dialog", "Start").out,
              "Entry                  Tavimor Settings  Current Machine Settings\n"
              "Start Menu/Run Dialog  Disabled          Disabled                  *\n"_L1);
    EXPECT_TRUE(ok("search", "nodispcpl").out.contains("Display/Display Properties"_L1));
    EXPECT_EQ(ok("search", "wallpaper").out.count(u'\n'), 3);
    EXPECT_TRUE(
        fails(1, "search", "dialog", "printer").err.contains("no entry matches \"dialog printer\""_L1));

    const QJsonArray found = json("search", "run", "dialog")["entries"_L1].toArray();
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].toObject()["regname"_L1], "NoRun"_L1);
    const QJsonObject exported = json("export-reg", "Start Menu", path("s.reg"));
    EXPECT_EQ(exported["regFormat"_L1], 5);
    EXPECT_EQ(exported["values"_L1], 1);
    EXPECT_EQ(exported["deletions"_L1], 7);
    const QJsonObject imported = json("import-reg", path("s.reg"));
    EXPECT_EQ(imported["written"_L1], 1);
    EXPECT_EQ(imported["deleted"_L1], 7);
}

// The file and standard output agree: ctl_exchange.sh.
TEST_F(CtlExchange, ReportNeedsItsStyleSheetAndWritesNothingWithout) {
    ASSERT_TRUE(QFile::copy(QStringLiteral(TAVIMOR_SOURCE_DIR "/resources/program/tavimor.xsl"),
                            programFolder() + u"/tavimor.xsl"_s));
    EXPECT_EQ(ok("report", "Start Menu", path("r.html")).out, u"Wrote %1.\n"_s.arg(path("r.html")));
    EXPECT_FALSE(ok("report", "4", "-").bytes.contains("Display Properties"));

    ASSERT_TRUE(QFile::remove(programFolder() + u"/tavimor.xsl"_s));
    const Result missing = fails(1, "report", path("never.html"));
    EXPECT_TRUE(missing.err.contains("tavimor.xsl"_L1)) << missing.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("never.html")));
}

} // namespace
} // namespace tavimor::test
