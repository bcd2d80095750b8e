// SPDX-License-Identifier: GPL-3.0-or-later
#include "ctl/CtlFixture.h"
#include "grouppolicy/PolFile.h"
#include "grouppolicy/TargetFactory.h"
#include "support/LargePolicyCatalogue.h"

#include <QProcess>

namespace tavimor::test {
namespace {

const QString kExplorer = QLatin1String(kExplorerPath);

// Samba's GPPolParser through the helper script; every file it reads or writes is a real PReg file.
class SambaPol : public CtlFixture {
protected:
    void SetUp() override {
        QProcess probe;
        probe.start(QStringLiteral(TAVIMOR_SAMBA_PYTHON), {u"-c"_s, u"import samba.gp_parse.gp_pol"_s});
        if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
            GTEST_SKIP() << "Samba's GPPolParser cannot be imported by " TAVIMOR_SAMBA_PYTHON
                            " (install python3-samba)";
    }

    QByteArray helper(const QStringList& args) {
        QProcess process;
        process.start(QStringLiteral(TAVIMOR_SAMBA_PYTHON),
                      QStringList{QStringLiteral(TAVIMOR_GP_POL_HELPER)} + args);
        EXPECT_TRUE(process.waitForFinished(120000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return process.readAllStandardOutput();
    }
    QJsonArray sambaRecords(const QString& file) {
        return QJsonDocument::fromJson(helper({u"read"_s, file})).array();
    }
    // Our reading of the file in the helper's terms: numbers for REG_DWORD, text for REG_SZ.
    static QJsonArray ourRecords(const QString& file) {
        const std::optional<PolFile> pol = PolFile::parse(fileBytes(file));
        EXPECT_TRUE(pol) << file.toStdString();
        QJsonArray records;
        for (const PolRecord& record : pol ? pol->records : QList<PolRecord>()) {
            QJsonValue value;
            if (record.dword())
                value = qint64(*record.dword());
            else if (record.type == REG_SZ || record.type == REG_EXPAND_SZ)
                value = QString::fromUtf16(reinterpret_cast<const char16_t*>(record.data.constData()),
                                           record.data.size() / 2)
                            .section(QChar(0), 0, 0);
            else
                value = QString::fromLatin1(record.data.toBase64());
            records.append(QJsonObject{{u"key"_s, record.key},
                                       {u"name"_s, record.valueName},
                                       {u"type"_s, qint64(record.type)},
                                       {u"value"_s, value}});
        }
        return records;
    }
    void expectSambaAgrees(const QString& file, qsizetype expectedCount) {
        const QJsonArray samba = sambaRecords(file);
        const QJsonArray ours = ourRecords(file);
        EXPECT_EQ(ours.size(), expectedCount) << file.toStdString();
        ASSERT_EQ(samba.size(), ours.size()) << file.toStdString();
        for (qsizetype i = 0; i < ours.size(); ++i)
            ASSERT_EQ(samba[i], ours[i]) << file.toStdString() << " record " << i << ": Samba "
                                         << QJsonDocument(samba[i].toObject()).toJson().toStdString();
    }
};

// GPPolParser's XML form of a file with a value, a deletion, text, binary and a key-only record.
const char kSambaXml[] =
    "<?xml version='1.0' encoding='utf-8'?>\n<PolFile num_entries=\"5\" signature=\"PReg\" version=\"1\">\n"
    "<Entry type=\"4\" "
    "type_name=\"REG_DWORD\"><Key>Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer</Key>"
    "<ValueName>NoRun</ValueName><Value>1</Value></Entry>\n"
    "<Entry type=\"1\" "
    "type_name=\"REG_SZ\"><Key>Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer</Key>"
    "<ValueName>**del.NoFind</ValueName><Value> </Value></Entry>\n"
    "<Entry type=\"1\" type_name=\"REG_SZ\"><Key>Software\\Policies\\Samba\\smb_conf</Key>"
    "<ValueName>apply group policies</ValueName><Value>yes ü</Value></Entry>\n"
    "<Entry type=\"3\" type_name=\"REG_BINARY\"><Key>Software\\Policies\\Other</Key>"
    "<ValueName>Blob</ValueName><Value>Wztd/w==</Value></Entry>\n"
    "<Entry type=\"0\" type_name=\"REG_NONE\"><Key>Software\\Policies\\Other</Key><ValueName /></Entry>\n"
    "</PolFile>\n";

// We read Samba's file as Samba meant it, and Samba reads our rewrite of it as we meant it.
TEST_F(SambaPol, FilesPassBothWaysAndForeignRecordsSurvive) {
    ASSERT_TRUE(writeFileAtomically(path("samba.xml"), kSambaXml));
    QDir().mkpath(path("gpo") + u"/User"_s);
    helper({u"write"_s, path("samba.xml"), pol("User")});
    const std::optional<PolFile> read = PolFile::parse(fileBytes(pol("User")));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->records.size(), 5);
    EXPECT_EQ(read->records[0], PolRecord::dwordRecord(kExplorer, u"NoRun"_s, 1));
    EXPECT_TRUE(read->records[1].isDeletion());
    EXPECT_EQ(read->records[3].data, QByteArray("[;]\xff"));
    EXPECT_EQ(read->serialize(), fileBytes(pol("User")));
    const Result imported = ok("import-pol", path("gpo"));
    EXPECT_TRUE(imported.out.startsWith("Start Menu/Run Dialog: 1\n"_L1)) << imported.out.toStdString();
    EXPECT_TRUE(
        imported.out.contains("not in the catalogue: HKEY_CURRENT_USER\\Software\\Policies\\Samba"_L1));

    ok("set", "NoRun", "1");
    ok("set", "ClearRecentDocsOnExit", "1");
    ok("export-pol", "--delete-unset", path("gpo"));
    expectSambaAgrees(pol("User"), 53 + 3);
    expectSambaAgrees(pol("Machine"), 4);
    const QJsonArray user = sambaRecords(pol("User"));
    EXPECT_EQ(user[0].toObject().value(u"value"_s).toInteger(), 1); // NoRun, where it stood
    EXPECT_EQ(user[2].toObject().value(u"value"_s).toString(), u"yes ü"_s);
}

// What the templates write through a pol: target, every type, the stated deletions and a soft value
// as their own records, as Samba reads it.
TEST_F(SambaPol, EveryTypeAndDeletionWrittenThroughTheTargetIsAPolicyRecord) {
    QString error;
    const std::unique_ptr<RegistryBackend> target = openTarget(u"pol:"_s + path("gpo"), &error);
    ASSERT_TRUE(target) << error.toStdString();
    const QString key = u"Software\\Policies\\Mozilla\\Firefox"_s;
    const auto set = [&](const char* name, quint32 type, const QByteArray& data) {
        return RegChange{
            RegChange::Kind::SetValue, HKEY_LOCAL_MACHINE, key, QLatin1String(name), {type, data}};
    };
    using Kind = RegChange::Kind;
    using Mark = RegChange::Mark;
    QList<RegChange> changes = {
        {Kind::DeleteValues, HKEY_LOCAL_MACHINE, key, {}, {}, Mark::Stated},
        set("Homepage", REG_SZ, "caf\xe9\0"_ba),
        set("Path", REG_EXPAND_SZ, "%SystemRoot%\\x\0"_ba),
        set("Gone", REG_DWORD, regDword(1).data),
        set("Locked", REG_MULTI_SZ, "a\0b\0\0"_ba),
        set("Big", REG_QWORD, QByteArray("\x01\0\0\0\x02\0\0\0", 8)),
        {Kind::DeleteValue, HKEY_LOCAL_MACHINE, key, u"Old"_s, {}, Mark::Stated},
        {Kind::DeleteValue, HKEY_LOCAL_MACHINE, key, u"gone"_s, {}},
        set("Level", REG_DWORD, regDword(2).data),
    };
    changes.last().mark = Mark::Soft;
    qsizetype failed = -1;
    ASSERT_EQ(target->applyChanges(changes, &failed), ERROR_SUCCESS) << target->lastError().toStdString();
    EXPECT_EQ(sambaRecords(pol("Machine")), QJsonDocument::fromJson(R"([
        {"key": "Software\\Policies\\Mozilla\\Firefox", "name": "**delvals.", "type": 1, "value": " "},
        {"key": "Software\\Policies\\Mozilla\\Firefox", "name": "Homepage", "type": 1, "value": "caf\u00e9"},
        {"key": "Software\\Policies\\Mozilla\\Firefox", "name": "Path", "type": 2, "value": "%SystemRoot%\\x"},
        {"key": "Software\\Policies\\Mozilla\\Firefox", "name": "Locked", "type": 7, "value": "YQAAAGIAAAAAAA=="},
        {"key": "Software\\Policies\\Mozilla\\Firefox", "name": "Big", "type": 11, "value": 8589934593},
        {"key": "Software\\Policies\\Mozilla\\Firefox", "name": "**del.Old", "type": 1, "value": " "},
        {"key": "Software\\Policies\\Mozilla\\Firefox", "name": "**soft.Level", "type": 4, "value": 2}])")
                                                .array());
    EXPECT_FALSE(QFileInfo::exists(pol("User")));
    // Read back as the registry layer hands text over: 8-bit, with its 0.
    MSDNRegistry registry(*target);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_LOCAL_MACHINE, key, u"homepage"_s), RegDatum::text(u"caf\u00e9"_s));
    // A policy that is no longer configured leaves no record of its key.
    ASSERT_EQ(target->applyChanges({{Kind::DeleteValues, HKEY_LOCAL_MACHINE, key, {}, {}}}, &failed),
              ERROR_SUCCESS);
    EXPECT_EQ(sambaRecords(pol("Machine")), QJsonArray());
}

TEST_F(SambaPol, SambaAgreesOnEveryRecordOfTenThousandEntries) {
    ASSERT_TRUE(writeFileAtomically(path("large.rds"), rds(largePolicyCatalogue())));
    ok("export-pol", "--delete-unset", "--from", path("large.rds"), path("gpo"));
    expectSambaAgrees(pol("User"), 7500);
    expectSambaAgrees(pol("Machine"), 2500);
}

} // namespace
} // namespace tavimor::test
