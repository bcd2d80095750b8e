// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsStore.h"
#include "support/FaultPlace.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kIni = u"TAVIMOR 4.0.ini"_s;

class SettingsStoreTest : public ::testing::Test {
protected:
    QString folder() const { return m_dir.path() + u"/config/tavimor"_s; }
    QString iniPath() const { return folder() + u'/' + kIni; }
    QTemporaryDir m_dir;
};

// A store holding a password, on a place the test can break.
class SettingsStoreFault : public ::testing::Test {
protected:
    void SetUp() override { keep(u"old+cipher=="_s); }
    void keep(const QString& value) {
        ASSERT_TRUE(m_store.save(u"quorvel"_s, value));
        m_value = value;
        m_before = fileBytes(path());
    }
    QString path() const { return m_place.filePath(kIni); }
    // The save fails, says why with the path, and leaves the store and its folder as they were.
    void expectRefused(const QString& reason) {
        const QStringList entries = folderEntries(m_place.path());
        EXPECT_FALSE(m_store.save(u"quorvel"_s, u"new"_s));
        EXPECT_EQ(m_store.lastError(), QStringLiteral("The settings store %1 cannot be written: %2. It was "
                                                      "left as it was; fix the cause and try again.")
                                           .arg(path(), reason));
        EXPECT_EQ(fileBytes(path()), m_before);
        EXPECT_EQ(folderEntries(m_place.path()), entries);
        EXPECT_EQ(m_store.read(u"quorvel"_s, QString()), m_value);
    }

    FaultPlace m_place;
    SettingsStore m_store{m_place.path()};
    QByteArray m_before;
    QString m_value;
};

} // namespace

TEST_F(SettingsStoreTest, DefaultsUntilSavedThenEveryLaterReadSeesItAndTheFileIsOwnerOnly) {
    SettingsStore store(folder());
    EXPECT_EQ(store.read(u"RestartDialog"_s, u"1"_s), u"1"_s);
    EXPECT_FALSE(QFileInfo::exists(folder()));
    ASSERT_TRUE(store.save(u"RestartDialog"_s, u" 1 "_s));
    ASSERT_TRUE(store.save(u"FirstRun"_s, u"1"_s));
    SettingsStore other(folder());
    EXPECT_EQ(other.read(u"RestartDialog"_s, u"1"_s), u" 1 "_s);
    ASSERT_TRUE(other.save(u"FirstRun"_s, u"0"_s));
    EXPECT_EQ(store.read(u"FirstRun"_s, u"1"_s), u"0"_s);
    EXPECT_EQ(factsOf(iniPath()).mode, 0600u);
    ASSERT_TRUE(QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    ASSERT_TRUE(store.save(u"quorvel"_s, u"again"_s));
    EXPECT_EQ(factsOf(iniPath()).mode, 0600u);
}

// Stores written by earlier versions through QSettings stay readable, and QSettings reads ours.
TEST_F(SettingsStoreTest, QSettingsAndTheStoreReadEachOther) {
    const QStringList texts = {u" 1 "_s,       u"a,b;c=d"_s,   u"say \"hi\" \\ ok"_s, u"@start"_s,
                               u"caf\u00e9"_s, u"tab\there"_s, u"AbC+/x9=="_s,        QString()};
    ASSERT_TRUE(QDir().mkpath(folder()));
    {
        QSettings qt(iniPath(), QSettings::IniFormat);
        for (qsizetype i = 0; i < texts.size(); ++i)
            qt.setValue(u"REGIKEY/k%1"_s.arg(i), texts[i]);
        qt.sync();
        ASSERT_EQ(qt.status(), QSettings::NoError);
    }
    SettingsStore store(folder());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(store.read(u"k%1"_s.arg(i), u"-"_s), texts[i]) << i;
        ASSERT_TRUE(store.save(u"n%1"_s.arg(i), texts[i]));
    }
    const QSettings qt(iniPath(), QSettings::IniFormat);
    ASSERT_EQ(qt.status(), QSettings::NoError);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(qt.value(u"REGIKEY/n%1"_s.arg(i)).toString(), texts[i]) << i;
        EXPECT_EQ(qt.value(u"REGIKEY/k%1"_s.arg(i)).toString(), texts[i]) << i;
    }
}

TEST_F(SettingsStoreTest, ADamagedStoreIsAnErrorAndIsNeverWrittenOver) {
    ASSERT_TRUE(QDir().mkpath(folder()));
    const QByteArray damaged = "[REGIKEY]\nFirstRun=1\nquorvel=abc\n[REGIKEY\n";
    for (const QByteArray& bytes :
         {damaged, QByteArray("[REGIKEY]\nquorvel=\"abc\n"), QByteArray("[REGIKEY]\njust some words\n"),
          QByteArray("[REGIKEY]\nq=\xff\xfe\n")}) {
        ASSERT_TRUE(writeBytes(iniPath(), bytes));
        SettingsStore store(folder());
        EXPECT_EQ(store.read(u"quorvel"_s, QString()), std::nullopt) << bytes.constData();
        EXPECT_TRUE(store.lastError().startsWith(u"The settings store %1 is damaged (line "_s.arg(iniPath())))
            << store.lastError().toStdString();
        if (bytes == damaged) {
            EXPECT_EQ(
                store.lastError(),
                QStringLiteral("The settings store %1 is damaged (line 4: a section line without its closing "
                               "]). Tavimor has not changed it; correct that line, or move the file away to "
                               "start again with the default settings and an empty administrator password.")
                    .arg(iniPath()));
        }
        EXPECT_FALSE(store.save(u"quorvel"_s, QString()));
        EXPECT_EQ(fileBytes(iniPath()), bytes);
    }
}

TEST_F(SettingsStoreFault, AFullDiskOrAReadOnlyFolderLeavesTheStoreAsItWas) {
    SKIP_WITHOUT_MOUNT(m_place);
    ASSERT_TRUE(m_place.fill());
    expectRefused(u"Cannot create the lock file %1.lock: No space left on device"_s.arg(path()));
    ASSERT_TRUE(m_place.makeReadOnly());
    expectRefused(u"Cannot create the lock file %1.lock: Read-only file system"_s.arg(path()));
}

TEST_F(SettingsStoreFault, ALinkInPlaceOfTheStoreIsNotFollowed) {
    const QString victim = m_place.filePath(u"script.sh"_s);
    ASSERT_TRUE(writeBytes(victim, "#!/bin/sh\necho hi\n"));
    ASSERT_TRUE(QFile::setPermissions(victim, QFile::permissions(victim) | QFile::ExeOwner));
    ASSERT_TRUE(QFile::remove(path()));
    ASSERT_TRUE(QFile::link(victim, path()));
    const FileFacts facts = factsOf(victim);
    EXPECT_FALSE(m_store.save(u"quorvel"_s, u"new"_s));
    EXPECT_TRUE(m_store.lastError().contains(u"it is a symbolic link"_s));
    EXPECT_EQ(fileBytes(victim), QByteArray("#!/bin/sh\necho hi\n"));
    EXPECT_EQ(factsOf(victim), facts);
    EXPECT_TRUE(factsOf(path()).link);
}

TEST_F(SettingsStoreFault, LocksHeldOrLeftInTheWayAreNamed) {
    const QString lock = path() + u".lock"_s;
    {
        const LockHolder holder(lock);
        ASSERT_TRUE(holder.held());
        EXPECT_FALSE(m_store.save(u"quorvel"_s, u"new"_s));
        EXPECT_TRUE(m_store.lastError().contains(u"%1 is locked by another program"_s.arg(lock)))
            << m_store.lastError().toStdString();
        EXPECT_EQ(fileBytes(path()), m_before);
    }
    // The holder was killed: its lock file stays, and is broken as stale.
    ASSERT_TRUE(QFile::exists(lock));
    keep(u"after"_s);
    ASSERT_TRUE(QDir().mkdir(lock));
    expectRefused(
        u"The lock %1 is a folder, not a lock file; remove it once no Tavimor program runs."_s.arg(lock));
    ASSERT_TRUE(QDir().rmdir(lock));
    ASSERT_TRUE(QFile::link(m_place.filePath(u"nowhere"_s), lock));
    EXPECT_FALSE(m_store.save(u"quorvel"_s, u"new"_s));
    EXPECT_TRUE(m_store.lastError().contains(u"The lock %1 is a symbolic link"_s.arg(lock)));
    EXPECT_FALSE(QFile::exists(m_place.filePath(u"nowhere"_s)));
}
