// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"
#include "registry/RegPatch.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tavimor::test {
namespace {

using Kind = RegPatch::Change::Kind;

class CtlExchange : public CtlFixture {
protected:
    QByteArray read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    RegPatch patchOf(const QByteArray& bytes) {
        QString error;
        int line = 0;
        const std::optional<RegPatch> patch = RegPatch::parse(bytes, &error, &line);
        EXPECT_TRUE(patch) << line << ": " << error.toStdString();
        return patch.value_or(RegPatch());
    }
    // name -> "dword" value or "-" for a deletion.
    QHash<QString, QString> valuesOf(const RegPatch& patch) {
        QHash<QString, QString> values;
        for (const RegPatch::Change& change : patch.changes()) {
            if (change.kind == Kind::SetValue)
                values.insert(change.name, QString::fromLatin1(change.value.data.toHex()));
            else if (change.kind == Kind::DeleteValue)
                values.insert(change.name, QStringLiteral("-"));
        }
        return values;
    }
    Result ok(const QStringList& args) {
        Result r = run(args);
        EXPECT_EQ(r.status, 0) << args.join(QLatin1Char(' ')).toStdString() << ": " << r.err.toStdString();
        return r;
    }
};

TEST_F(CtlExchange, ExportHoldsThePolicyValuesAndNothingElse) {
    ok({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("disable")});
    const Result wide = ok({QStringLiteral("export-reg"), path("all.reg")});
    EXPECT_EQ(wide.out,
              QStringLiteral("Wrote %1 (version 5, 1 value, 56 deletions).\n").arg(path("all.reg")));
    const QByteArray bytes = read(path("all.reg"));
    ASSERT_TRUE(bytes.startsWith("\xFF\xFEW\0"));
    const RegPatch patch = patchOf(bytes);
    const QHash<QString, QString> values = valuesOf(patch);
    EXPECT_EQ(values.size(), 57);
    EXPECT_EQ(values.value(QStringLiteral("NoRun")), QLatin1String("01000000"));
    EXPECT_EQ(values.value(QStringLiteral("NoFind")), QLatin1String("-"));
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    EXPECT_FALSE(text.contains(QLatin1String("VersionNumber")));
    EXPECT_FALSE(text.contains(QLatin1String("ComputerName")));

    // REGEDIT4 to standard output: the one value set, no deletions; a section and an entry chosen.
    const Result ansi = ok({QStringLiteral("export-reg"), QStringLiteral("--format"), QStringLiteral("4"),
                            QStringLiteral("Display"), QStringLiteral("NoRun"), QStringLiteral("-")});
    EXPECT_EQ(ansi.out, QString());
    EXPECT_EQ(ansi.bytes,
              QByteArray("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
                         "CurrentVersion\\Policies\\Explorer]\r\n\"NoRun\"=dword:00000001\r\n\r\n"));

    // With --from, what the settings file would write: its numbers, and no number as not configured.
    ok({QStringLiteral("save"), path("saved.rds")});
    const Result from = ok({QStringLiteral("export-reg"), QStringLiteral("--from"), path("saved.rds"),
                            QStringLiteral("Network"), QStringLiteral("Security"), QStringLiteral("-")});
    const QHash<QString, QString> fromValues = valuesOf(patchOf(from.bytes));
    EXPECT_EQ(fromValues.value(QStringLiteral("NoNetHood")), QLatin1String("00000000"));
    EXPECT_EQ(fromValues.value(QStringLiteral("MinPwdLen")), QLatin1String("-"));
    EXPECT_EQ(fromValues.value(QStringLiteral("NoDrives")), QLatin1String("-"));
    EXPECT_FALSE(fromValues.contains(QStringLiteral("NoRun")));
}

TEST_F(CtlExchange, ExportRefusesWhatCannotBeMeantAndWritesNothing) {
    const Result unknown = run({QStringLiteral("export-reg"), QStringLiteral("NoSuchThing"), path("x.reg")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(unknown.err.contains(QLatin1String("no section or entry \"NoSuchThing\"")))
        << unknown.err.toStdString();
    const Result format = run({QStringLiteral("export-reg"), QStringLiteral("--format=6"), path("x.reg")});
    EXPECT_EQ(format.status, 2);
    EXPECT_EQ(run({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("4")}).status, 2);
    ASSERT_TRUE(writeFileAtomically(path("plain.rds"), "<TAVIMOR/>"));
    EXPECT_EQ(run({QStringLiteral("export-reg"), QStringLiteral("--from"), path("plain.rds"), path("x.reg")})
                  .status,
              1);
    EXPECT_FALSE(QFile::exists(path("x.reg")));
}

TEST_F(CtlExchange, ImportMergesAFileAndADamagedOneChangesNothing) {
    ok({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("disable")});
    ok({QStringLiteral("set"), QStringLiteral("NoFind"), QStringLiteral("disable")});
    ok({QStringLiteral("export-reg"), QStringLiteral("Start Menu"), path("push.reg")});

    // Into a fresh machine, as regedit would: the values set arrive, the deletions find nothing.
    m_vars.insert(QStringLiteral("TAVIMOR_TARGET"), QStringLiteral("file:") + path("other.reg"));
    const Result imported = ok({QStringLiteral("import-reg"), path("push.reg")});
    EXPECT_EQ(imported.out, QStringLiteral("Imported %1 into file:%2: 2 values written, 6 deleted.\n")
                                .arg(path("push.reg"), path("other.reg")));
    EXPECT_EQ(noRun(), QLatin1String("1"));
    EXPECT_EQ(registryValue(QLatin1String(kExplorerPath), QStringLiteral("NoFind")), QLatin1String("1"));

    // Standard input, UTF-8: a deletion removes the value.
    m_stdin = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\" + QByteArray(kExplorerPath) +
              "]\n\"NoRun\"=-\n\"Other\"=\"t\xC3\xA9xt\"\n";
    ok({QStringLiteral("import-reg"), QStringLiteral("-")});
    EXPECT_EQ(noRun(), QString());
    EXPECT_EQ(registryValue(QLatin1String(kExplorerPath), QStringLiteral("Other")),
              QStringLiteral("t\u00e9xt"));

    const QByteArray before = read(path("other.reg"));
    const QByteArray key = "REGEDIT4\r\n[HKEY_CURRENT_USER\\" + QByteArray(kExplorerPath) + "]\r\n";
    const struct {
        QByteArray text;
        const char* message;
    } damaged[] = {
        {key + "\"NoRun\"=dword:1\r\n\"NoFind\"=dword:xyz\r\n", "push.reg:4: bad dword digits"},
        {key + "\"NoRun\"=dword:1\r\n[-HKEY_CURRENT_USER\\Software]\r\n",
         "line 4: [-HKEY_CURRENT_USER\\Software]"},
        {QByteArray("\xFF\xFEW", 3), "push.reg:1: UTF-16"},
    };
    for (const auto& d : damaged) {
        ASSERT_TRUE(writeFileAtomically(path("push.reg"), d.text));
        const Result r = run({QStringLiteral("import-reg"), path("push.reg")});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, QString());
        EXPECT_TRUE(r.err.contains(QLatin1String(d.message))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String("nothing was changed"))) << r.err.toStdString();
        EXPECT_EQ(read(path("other.reg")), before);
    }
    EXPECT_EQ(run({QStringLiteral("import-reg"), path("missing.reg")}).status, 1);
}

TEST_F(CtlExchange, SearchFindsEveryWordInAnyField) {
    ok({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("disable")});
    // Name and section, any case; the value name; a word of the description.
    const Result run1 = ok(
        {QStringLiteral("search"), QStringLiteral("RUN"), QStringLiteral("dialog"), QStringLiteral("Start")});
    EXPECT_EQ(run1.out,
              QStringLiteral("Entry                  Tavimor Settings  Current Machine Settings\n"
                             "Start Menu/Run Dialog  Disabled          Disabled                  *\n"));
    EXPECT_TRUE(ok({QStringLiteral("search"), QStringLiteral("nodispcpl")})
                    .out.contains(QLatin1String("Display/Display Properties")));
    EXPECT_EQ(ok({QStringLiteral("search"), QStringLiteral("wallpaper")}).out.count(QLatin1Char('\n')), 3);
    const Result none = run({QStringLiteral("search"), QStringLiteral("dialog"), QStringLiteral("printer")});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, QString());
    EXPECT_TRUE(none.err.contains(QLatin1String("no entry matches \"dialog printer\"")));

    const Result all = ok({QStringLiteral("list"), QStringLiteral("--all")});
    EXPECT_EQ(all.out.count(QLatin1Char('\n')), 1 + 57);
    EXPECT_EQ(run({QStringLiteral("list"), QStringLiteral("--all"), QStringLiteral("Display")}).status, 2);
}

TEST_F(CtlExchange, ReportGoesToAFileOrStandardOutput) {
    ok({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("disable")});
    ASSERT_TRUE(QFile::copy(QStringLiteral(TAVIMOR_SOURCE_DIR "/resources/program/tavimor.xsl"),
                            programFolder() + QStringLiteral("/tavimor.xsl")));
    const Result toFile = ok({QStringLiteral("report"), QStringLiteral("Start Menu"), path("r.html")});
    EXPECT_EQ(toFile.out, QStringLiteral("Wrote %1.\n").arg(path("r.html")));
    const Result toOut = ok({QStringLiteral("report"), QStringLiteral("4"), QStringLiteral("-")});
    EXPECT_EQ(toOut.bytes, read(path("r.html")));
    EXPECT_TRUE(toOut.bytes.contains("Run Dialog"));
    EXPECT_FALSE(toOut.bytes.contains("Display Properties"));

    ASSERT_TRUE(QFile::remove(programFolder() + QStringLiteral("/tavimor.xsl")));
    const Result missing = run({QStringLiteral("report"), path("never.html")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QLatin1String("tavimor.xsl"))) << missing.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("never.html")));
}

TEST_F(CtlExchange, JsonOnEveryCommand) {
    ok({QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("disable")});
    const auto json = [this](const QStringList& args) {
        const Result r = ok(QStringList{QStringLiteral("--json")} + args);
        const QJsonObject object = QJsonDocument::fromJson(r.out.toUtf8()).object();
        EXPECT_EQ(object.value(QStringLiteral("format")).toInt(), 1) << r.out.toStdString();
        EXPECT_EQ(object.value(QStringLiteral("command")).toString(), args.first());
        return object;
    };
    const QJsonArray found = json({QStringLiteral("search"), QStringLiteral("run"), QStringLiteral("dialog")})
                                 .value(QStringLiteral("entries"))
                                 .toArray();
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].toObject().value(QStringLiteral("regname")).toString(), QLatin1String("NoRun"));
    EXPECT_EQ(found[0].toObject().value(QStringLiteral("machineValue")).toInt(), 1);
    EXPECT_EQ(json({QStringLiteral("list"), QStringLiteral("--all")})
                  .value(QStringLiteral("entries"))
                  .toArray()
                  .size(),
              57);

    const QJsonObject exported =
        json({QStringLiteral("export-reg"), QStringLiteral("Start Menu"), path("s.reg")});
    EXPECT_EQ(exported.value(QStringLiteral("regFormat")).toInt(), 5);
    EXPECT_EQ(exported.value(QStringLiteral("values")).toInt(), 1);
    EXPECT_EQ(exported.value(QStringLiteral("deletions")).toInt(), 7);
    const QJsonObject imported = json({QStringLiteral("import-reg"), path("s.reg")});
    EXPECT_EQ(imported.value(QStringLiteral("written")).toInt(), 1);
    EXPECT_EQ(imported.value(QStringLiteral("deleted")).toInt(), 7);

    const Result refused = run({QStringLiteral("--json"), QStringLiteral("import-reg"), path("missing.reg")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, QString());
    EXPECT_EQ(QJsonDocument::fromJson(refused.err.toUtf8()).object().value(QStringLiteral("status")).toInt(),
              1);
}

} // namespace
} // namespace tavimor::test
