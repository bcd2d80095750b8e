// SPDX-License-Identifier: GPL-3.0-or-later
// What every writable registry backend does alike; each format's own bytes are tested beside it.
#include "grouppolicy/TargetFactory.h"
#include "registry/MSDNRegistry.h"
#include "registry/wine/WinePrefixBackend.h"
#include "support/FaultPlace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kPath = u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"_s;
const QString kDeep = u"Software\\Tavimor\\Deep\\Key"_s;

struct Backend {
    const char* name;
    // Lays out an empty store in the folder and gives the target that opens it, again and again.
    std::function<QString(const QString& folder)> prepare;
    // The file HKEY_CURRENT_USER is kept in; none for a store that does not persist.
    const char* userFile = nullptr;
};

// Test names and failures show the backend's name, not its bytes.
void PrintTo(const Backend& backend, std::ostream* out) {
    *out << backend.name;
}

bool writeNew(const QString& path, const QByteArray& bytes) {
    return QDir().mkpath(QFileInfo(path).absolutePath()) && writeBytes(path, bytes);
}

const QByteArray kWineHead = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\";

const Backend kBackends[] = {
    {"Memory",
     [](const QString&) -> QString {
         return u"memory:"_s;
     }},
    {"RegFile", [](const QString& folder) -> QString { return u"file:"_s + folder + u"/registry.reg"_s; },
     "registry.reg"},
    {"WinePrefix",
     [](const QString& folder) -> QString {
         writeBytes(folder + u"/user.reg"_s, kWineHead + "User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n");
         writeBytes(folder + u"/system.reg"_s, kWineHead + "Machine\n\n#arch=win64\n");
         QDir().mkpath(folder + u"/../wine-tmp"_s);
         return u"wine:"_s + folder;
     },
     "user.reg"},
    {"Hive",
     [](const QString& folder) -> QString {
         for (const char* name : {"/NTUSER.DAT", "/SOFTWARE", "/SYSTEM"})
             writeBytes(folder + QLatin1String(name),
                        fileBytes(QStringLiteral(TAVIMOR_TEST_DATA "/minimal.hiv")));
         return u"hive:%1/NTUSER.DAT,%1/SOFTWARE,%1/SYSTEM"_s.arg(folder);
     },
     "NTUSER.DAT"},
    {"PolicyFolder",
     [](const QString& folder) -> QString {
         for (const char* half : {"/User", "/Machine"})
             writeNew(folder + QLatin1String(half) + u"/Registry.pol"_s, QByteArray("PReg\x01\0\0\0", 8));
         return u"pol:"_s + folder;
     },
     "User/Registry.pol"},
    // The hives of a Windows folder, through its own Group Policy files, which speak of none of the values.
    {"WindowsWithGroupPolicy",
     [](const QString& folder) -> QString {
         const QByteArray hive = fileBytes(QStringLiteral(TAVIMOR_TEST_DATA "/minimal.hiv"));
         for (const char* name : {"/Windows/System32/config/SOFTWARE", "/Windows/System32/config/SYSTEM",
                                  "/Users/ann/NTUSER.DAT"})
             writeNew(folder + QLatin1String(name), hive);
         writeNew(folder + u"/Windows/System32/GroupPolicy/User/Registry.pol"_s,
                  QByteArray("PReg\x01\0\0\0", 8) +
                      "[\0K\0\0\0;\0V\0\0\0;\0\4\0\0\0;\0\4\0\0\0;\0\1\0\0\0]\0"_ba);
         return u"windows:"_s + folder;
     },
     "Users/ann/NTUSER.DAT"},
};

class BackendContract : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        m_target = GetParam().prepare(m_place.path());
        m_backend = open();
        ASSERT_TRUE(m_backend);
    }
    std::unique_ptr<RegistryBackend> open() {
        QString error;
        auto backend = openTarget(m_target, &error);
        EXPECT_TRUE(backend) << error.toStdString();
        // Wine's server folder of its own, beside the place so that it stays writable when the place is not.
        if (auto* wine = dynamic_cast<WinePrefixBackend*>(backend.get()))
            wine->setTemporaryBase(QDir::cleanPath(m_place.path() + u"/../wine-tmp"_s));
        return backend;
    }
    void write() {
        MSDNRegistry registry(*m_backend);
        registry.CreateRegKey(kPath, HKEY_CURRENT_USER);
        registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s, RegDatum::integer(-1), REG_DWORD);
        registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"Kept"_s, RegDatum::text(u"caf\u00e9"_s), REG_SZ);
        registry.CreateRegKey(kDeep, HKEY_LOCAL_MACHINE);
        registry.SaveKeyValue(HKEY_LOCAL_MACHINE, kDeep, u"N"_s, RegDatum::integer(7), REG_DWORD);
    }
    // What write() left, read through any instance on the store, names in any case.
    static void expectWritten(RegistryBackend& backend, bool noRun = true) {
        MSDNRegistry registry(backend);
        EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath.toUpper(), u"norun"_s),
                  noRun ? RegDatum::integer(-1) : RegDatum());
        EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"KEPT"_s), RegDatum::text(u"caf\u00e9"_s));
        EXPECT_EQ(registry.ReadKeyValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\tavimor\\deep\\KEY"_s, u"n"_s),
                  RegDatum::integer(7));
    }

    FaultPlace m_place{512};
    QString m_target;
    std::unique_ptr<RegistryBackend> m_backend;
};

} // namespace

TEST_P(BackendContract, KeysAndValuesReadBackInAnyCaseAndAfterReopeningAndDeleteRemovesOnlyThatValue) {
    MSDNRegistry registry(*m_backend);
    HKEY key = 0;
    EXPECT_EQ(m_backend->openKey(HKEY_CURRENT_USER, kPath, KEY_TAVIMOR_ACCESS, &key), ERROR_FILE_NOT_FOUND);
    quint32 disposition = 0;
    ASSERT_EQ(m_backend->createKey(HKEY_CURRENT_USER, kPath, KEY_TAVIMOR_ACCESS, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    m_backend->closeKey(key);
    write();
    ASSERT_EQ(
        m_backend->createKey(HKEY_CURRENT_USER, kPath.toLower(), KEY_TAVIMOR_ACCESS, &key, &disposition),
        ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegDatum datum;
    EXPECT_EQ(registry.ReadRegValue(key, u"Missing"_s, datum), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m_backend->closeKey(key), ERROR_SUCCESS);
    EXPECT_EQ(m_backend->closeKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(m_backend->openKey(HKEY_CURRENT_USER, u"Software\\\\Microsoft"_s, 0x3F, &key),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(m_backend->openKey(0x12345, QString(), 0x3F, &key), ERROR_INVALID_HANDLE);
    expectWritten(*m_backend);
    if (GetParam().userFile) {
        // Two instances on one store see each other's writes, and a new one sees them all.
        auto other = open();
        ASSERT_TRUE(other);
        MSDNRegistry(*other).SaveKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s, RegDatum::integer(2),
                                          REG_DWORD);
        EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s), RegDatum::integer(2));
        registry.SaveKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s, RegDatum::integer(-1), REG_DWORD);
        expectWritten(*other);
        expectWritten(*open());
    }
    // A delete removes only that value, and says when nothing was there.
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, kPath, u"norun"_s), ERROR_SUCCESS);
    expectWritten(*m_backend, false);
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, kPath, u"NoRun"_s), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry.DeleteKeyValue(HKEY_CURRENT_USER, kPath + u"\\Missing"_s, u"Kept"_s),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m_backend->deleteValue(0x7777, u"Kept"_s), ERROR_INVALID_HANDLE);
    if (GetParam().userFile)
        expectWritten(*open(), false);
}

// What a policy template writes: every type it takes, a soft value, and a list's key emptied.
TEST_P(BackendContract, ATemplateBatchWritesEveryTypeAndEmptiesAKeyButNotItsSubKeys) {
    using Kind = RegChange::Kind;
    using Mark = RegChange::Mark;
    const QString list = kDeep + u"\\List"_s;
    const QList<RegChange> setup = {
        {Kind::SetValue, HKEY_LOCAL_MACHINE, list, u"1"_s, regSz(u"old"_s)},
        {Kind::SetValue, HKEY_LOCAL_MACHINE, list, u"Other"_s, regDword(3)},
        {Kind::SetValue, HKEY_LOCAL_MACHINE, list + u"\\Sub"_s, u"Stays"_s, regDword(1)},
        {Kind::SetValue, HKEY_LOCAL_MACHINE, kDeep, u"Soft"_s, regDword(5)},
    };
    ASSERT_EQ(m_backend->applyChanges(setup, nullptr), ERROR_SUCCESS);
    const QList<std::pair<QString, RegValue>> typed = {
        {u"Text"_s, regSz(u"caf\u00e9"_s)},
        {u"Path"_s, regExpandSz(u"%ProgramFiles%\\x"_s)},
        {u"Lines"_s, regMultiSz({u"a"_s, u"b c"_s})},
        {u"Number"_s, regDword(0xFFFFFFFE)},
        {u"Large"_s, regQword(0x1234567890ABCDEFull)},
    };
    QList<RegChange> batch = {{Kind::DeleteValues, HKEY_LOCAL_MACHINE, list, {}, {}, Mark::Stated},
                              {Kind::SetValue, HKEY_LOCAL_MACHINE, list, u"1"_s, regSz(u"new"_s)},
                              {Kind::SetValue, HKEY_LOCAL_MACHINE, kDeep, u"Soft"_s, regDword(6), Mark::Soft},
                              {Kind::DeleteValues, HKEY_LOCAL_MACHINE, kDeep + u"\\Missing"_s, {}, {}}};
    for (const auto& [name, value] : typed)
        batch.append({Kind::SetValue, HKEY_LOCAL_MACHINE, kDeep, name, value});
    ASSERT_EQ(m_backend->applyChanges(batch, nullptr), ERROR_SUCCESS);
    for (const auto& backend : {std::move(m_backend), GetParam().userFile ? open() : nullptr}) {
        if (!backend)
            continue;
        const auto read = [&](const QString& key, const QString& name) -> std::optional<RegValue> {
            HKEY handle = 0;
            if (backend->openKey(HKEY_LOCAL_MACHINE, key, KEY_TAVIMOR_ACCESS, &handle) != ERROR_SUCCESS)
                return std::nullopt;
            RegValue value;
            quint32 size = 1 << 16;
            const long status = backend->queryValue(handle, name, &value.type, &value.data, &size);
            backend->closeKey(handle);
            return status == ERROR_SUCCESS ? std::optional(value) : std::nullopt;
        };
        for (const auto& [name, value] : typed)
            EXPECT_EQ(read(kDeep, name), value) << name.toStdString();
        EXPECT_EQ(read(kDeep, u"Soft"_s), regDword(5));
        EXPECT_EQ(read(list, u"1"_s), regSz(u"new"_s));
        EXPECT_EQ(read(list, u"Other"_s), std::nullopt);
        EXPECT_EQ(read(list + u"\\Sub"_s, u"Stays"_s), regDword(1));
        HKEY handle = 0;
        ASSERT_EQ(backend->openKey(HKEY_LOCAL_MACHINE, list, KEY_TAVIMOR_ACCESS, &handle), ERROR_SUCCESS);
        QStringList names;
        EXPECT_EQ(backend->valueNames(handle, &names), ERROR_SUCCESS);
        EXPECT_EQ(names, QStringList{u"1"_s});
        backend->closeKey(handle);
    }
}

TEST_P(BackendContract, AWriteToAReadOnlyPlaceFailsAndChangesNothing) {
    if (!GetParam().userFile)
        GTEST_SKIP() << "nothing to write";
    SKIP_WITHOUT_MOUNT(m_place);
    write();
    QMap<QString, QByteArray> before;
    for (const QString& name : folderEntries(m_place.path()))
        before.insert(name, fileBytes(m_place.filePath(name)));
    ASSERT_TRUE(m_place.makeReadOnly());
    HKEY key = 0;
    ASSERT_EQ(m_backend->openKey(HKEY_CURRENT_USER, kPath, KEY_TAVIMOR_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(m_backend->setValue(key, u"NoRun"_s, REG_DWORD, regDword(0).data), ERROR_CANTWRITE);
    EXPECT_EQ(m_backend->deleteValue(key, u"Kept"_s), ERROR_CANTWRITE);
    EXPECT_TRUE(m_backend->lastError().contains(u"Read-only file system"_s))
        << m_backend->lastError().toStdString();
    m_backend->closeKey(key);
    expectWritten(*m_backend);
    for (const QString& name : folderEntries(m_place.path()))
        EXPECT_EQ(fileBytes(m_place.filePath(name)), before.value(name, "<new>")) << name.toStdString();
    EXPECT_EQ(folderEntries(m_place.path()), before.keys());
}

// A link in place of a store file may point anywhere, at a file of root's too: it is never written through.
TEST_P(BackendContract, AStoreFileThatIsALinkIsNotWrittenThrough) {
    if (!GetParam().userFile)
        GTEST_SKIP() << "no file";
    const QString file = m_place.filePath(QLatin1String(GetParam().userFile));
    const QString victim = m_place.filePath(u"victim"_s);
    ASSERT_TRUE(QFile::rename(file, victim) && QFile::link(victim, file));
    const QByteArray before = fileBytes(victim);
    write();
    EXPECT_EQ(fileBytes(victim), before);
    EXPECT_TRUE(m_backend->lastError().contains(u"it is a symbolic link"_s))
        << m_backend->lastError().toStdString();
    EXPECT_TRUE(factsOf(file).link);
}

INSTANTIATE_TEST_SUITE_P(Backends, BackendContract, ::testing::ValuesIn(kBackends),
                         [](const ::testing::TestParamInfo<Backend>& info) { return info.param.name; });
