// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/MSDNRegistry.h"
#include "registry/MemoryBackend.h"
#include "registry/RegistryTarget.h"
#include "registry/regfile/RegFileBackend.h"
#include "support/FaultPlace.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kPolicies = u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"_s;

class RegFileBackendTest : public ::testing::Test {
protected:
    std::unique_ptr<RegFileBackend> open(const QString& path = {}) {
        QString error;
        auto backend = RegFileBackend::open(path.isEmpty() ? m_path : path, u"PC-ONE"_s, &error);
        EXPECT_TRUE(backend) << error.toStdString();
        return backend;
    }
    void setNoRun(RegistryBackend& backend, const QString& name, qint32 value) {
        MSDNRegistry registry(backend);
        registry.CreateRegKey(kPolicies, HKEY_CURRENT_USER);
        registry.SaveKeyValue(HKEY_CURRENT_USER, kPolicies, name, RegDatum::integer(value), REG_DWORD);
    }
    RegDatum read(RegistryBackend& backend, const QString& name) {
        return MSDNRegistry(backend).ReadKeyValue(HKEY_CURRENT_USER, kPolicies, name);
    }

    QTemporaryDir m_dir;
    QString m_path = m_dir.path() + u"/data/tavimor/registry.reg"_s;
};

} // namespace

// Reading back, reopening and other instances: test_backend_contract.
TEST_F(RegFileBackendTest, CreatesAWindows98MachineOnFirstUseAndWritesDwordsAsRegeditDoes) {
    auto backend = open();
    ASSERT_TRUE(backend);
    EXPECT_TRUE(fileBytes(m_path).startsWith("REGEDIT4\r\n"));
    EXPECT_EQ(backend->windowsVersion().name, u"Windows 98"_s);
    EXPECT_EQ(MSDNRegistry(*backend).GetSystemName(), u"PC-ONE"_s);
    // A file has no Windows to restart, and says so.
    EXPECT_FALSE(backend->canRestart());
    EXPECT_FALSE(backend->requestRestart());
    setNoRun(*backend, u"NoRun"_s, -1);
    EXPECT_TRUE(fileBytes(m_path).contains("\"NoRun\"=dword:ffffffff\r\n"));
    EXPECT_FALSE(QFile::exists(m_path + u".lock"_s));
}

TEST_F(RegFileBackendTest, ABrokenFileIsRefusedOrCannotBeReadAndTakesNoWrites) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_path).path()));
    QByteArray broken = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\r\n";
    ASSERT_TRUE(writeBytes(m_path, broken));
    QString error;
    EXPECT_FALSE(RegFileBackend::open(m_path, u"PC"_s, &error));
    EXPECT_TRUE(error.startsWith(m_path + u":3: "_s)) << error.toStdString();
    EXPECT_EQ(fileBytes(m_path), broken);

    // Broken after opening.
    ASSERT_TRUE(QFile::remove(m_path));
    auto backend = open();
    ASSERT_TRUE(backend);
    setNoRun(*backend, u"NoRun"_s, 1);
    broken = fileBytes(m_path) + "garbage\r\n";
    ASSERT_TRUE(writeBytes(m_path, broken));
    // Not "not there": the value could not be read, and says why.
    EXPECT_TRUE(read(*backend, u"NoRun"_s).unreadReason().startsWith(m_path + u':'))
        << backend->lastError().toStdString();
    HKEY key = 0;
    EXPECT_EQ(backend->createKey(HKEY_CURRENT_USER, u"Software\\New"_s, KEY_TAVIMOR_ACCESS, &key, nullptr),
              ERROR_BADDB);
    EXPECT_EQ(backend->setValue(HKEY_CURRENT_USER, u"X"_s, REG_DWORD, regDword(1).data), ERROR_BADDB);
    EXPECT_EQ(fileBytes(m_path), broken);
}

TEST_F(RegFileBackendTest, AWriteWaitsForAnotherHolderAndThenFailsCleanly) {
    auto backend = open();
    ASSERT_TRUE(backend);
    setNoRun(*backend, u"NoRun"_s, 1);
    const QByteArray before = fileBytes(m_path);
    QLockFile other(m_path + u".lock"_s);
    ASSERT_TRUE(other.tryLock(0));
    backend->setLockTimeout(50);
    HKEY key = 0;
    ASSERT_EQ(backend->openKey(HKEY_CURRENT_USER, kPolicies, KEY_TAVIMOR_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(backend->setValue(key, u"NoRun"_s, REG_DWORD, regDword(0).data), ERROR_CANTWRITE);
    EXPECT_TRUE(backend->lastError().contains("locked"_L1)) << backend->lastError().toStdString();
    EXPECT_EQ(fileBytes(m_path), before);
    other.unlock();
    EXPECT_EQ(backend->setValue(key, u"NoRun"_s, REG_DWORD, regDword(0).data), ERROR_SUCCESS);
    EXPECT_EQ(read(*backend, u"NoRun"_s), RegDatum::integer(0));
}

// A name so long that no temporary name beside it fits; a read-only place: test_backend_contract.
TEST_F(RegFileBackendTest, AFailedSaveKeepsTheOldFileAndModel) {
    const QString path = m_dir.path() + u'/' + QString(250, u'r');
    setNoRun(*open(m_dir.path() + u"/seed.reg"_s), u"NoRun"_s, 1);
    ASSERT_TRUE(QFile::rename(m_dir.path() + u"/seed.reg"_s, path));
    auto backend = open(path);
    ASSERT_TRUE(backend);
    const QByteArray before = fileBytes(path);
    HKEY key = 0;
    ASSERT_EQ(backend->openKey(HKEY_CURRENT_USER, kPolicies, KEY_TAVIMOR_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(backend->setValue(key, u"NoRun"_s, REG_DWORD, regDword(0).data), ERROR_CANTWRITE);
    EXPECT_TRUE(backend->lastError().contains(path)) << backend->lastError().toStdString();
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(read(*backend, u"NoRun"_s), RegDatum::integer(1));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), 1);
}

TEST(RegistryTarget, OpensFileAndMemoryTargetsAndNamesTheRest) {
    QString error;
    EXPECT_FALSE(openRegistryTarget(u"bogus:/x"_s, &error));
    EXPECT_EQ(error,
              QStringLiteral("Unknown registry target \"bogus:/x\". Use file:PATH, wine:PREFIX, "
                             "hive:NTUSER.DAT[,SOFTWARE[,SYSTEM]], windows:ROOT[?user=NAME], win9x:FOLDER, "
                             "pol:DIR, gpo:SYSVOL?gpo=NAME|GUID[&url=URL] or memory:."));

    auto memory = openRegistryTarget(u"memory:"_s, &error);
    ASSERT_TRUE(memory);
    EXPECT_EQ(MSDNRegistry(*memory).GetSystemName(), defaultComputerName());

    QTemporaryDir dir;
    const QString current = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    auto file = openRegistryTarget(u"file:sub/reg.reg"_s, &error);
    QDir::setCurrent(current);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_EQ(file->targetName(), u"file:"_s + dir.path() + u"/sub/reg.reg"_s);

    const QString name = defaultComputerName();
    EXPECT_FALSE(name.isEmpty());
    EXPECT_LE(name.size(), 15);
    for (const QChar c : name)
        EXPECT_TRUE((c >= u'A' && c <= u'Z') || c.isDigit() || c == u'-');
}
