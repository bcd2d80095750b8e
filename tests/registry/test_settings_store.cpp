#include "registry/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tavimor;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    QString folder() const { return m_dir.path() + QStringLiteral("/config/tavimor"); }
    QString iniPath() const { return folder() + QStringLiteral("/TAVIMOR 4.0.ini"); }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(SettingsStoreTest, FreshStoreReadsDefaultsAndCreatesNothing) {
    const SettingsStore store(folder());
    EXPECT_EQ(store.read(QStringLiteral("RestartDialog"), QStringLiteral("1")), QStringLiteral("1"));
    EXPECT_EQ(store.read(QStringLiteral("OSDialog"), QStringLiteral("1")), QStringLiteral("1"));
    EXPECT_EQ(store.read(QStringLiteral("FirstRun"), QStringLiteral("0")), QStringLiteral("0"));
    EXPECT_EQ(store.read(QStringLiteral("quorvel"), QString()), QString());
    EXPECT_EQ(store.fileName(QStringLiteral("TAVIMOR 4.0")), iniPath());
    EXPECT_FALSE(QFileInfo::exists(folder()));
}

TEST_F(SettingsStoreTest, SavedValuesAreSeenByEveryLaterRead) {
    SettingsStore store(folder());
    ASSERT_TRUE(store.save(QStringLiteral("RestartDialog"), QStringLiteral(" 1 ")));
    ASSERT_TRUE(store.save(QStringLiteral("FirstRun"), QStringLiteral("1")));
    EXPECT_EQ(store.read(QStringLiteral("RestartDialog"), QStringLiteral("1")), QStringLiteral(" 1 "));

    SettingsStore other(folder());
    EXPECT_EQ(other.read(QStringLiteral("FirstRun"), QStringLiteral("0")), QStringLiteral("1"));
    ASSERT_TRUE(other.save(QStringLiteral("FirstRun"), QStringLiteral("0")));
    EXPECT_EQ(store.read(QStringLiteral("FirstRun"), QStringLiteral("1")), QStringLiteral("0"));
    EXPECT_EQ(store.GetSetting(QStringLiteral("TAVIMOR 4.0"), QStringLiteral("OTHER"),
                               QStringLiteral("FirstRun"), QStringLiteral("x")),
              QStringLiteral("x"));
}

TEST_F(SettingsStoreTest, FileIsOwnerOnlyAndSaveFailsWhereItCannotWrite) {
    SettingsStore store(folder());
    ASSERT_TRUE(store.save(QStringLiteral("quorvel"), QStringLiteral("ciphered")));
    const auto owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    EXPECT_EQ(QFile::permissions(iniPath()), owner);
    ASSERT_TRUE(QFile::setPermissions(iniPath(), owner | QFile::ReadOther));
    ASSERT_TRUE(store.save(QStringLiteral("quorvel"), QStringLiteral("again")));
    EXPECT_EQ(QFile::permissions(iniPath()), owner);

    // A plain file where the folder should be cannot be worked around, even by root.
    SettingsStore blocked(iniPath() + QStringLiteral("/tavimor"));
    EXPECT_FALSE(blocked.save(QStringLiteral("FirstRun"), QStringLiteral("1")));
}

TEST_F(SettingsStoreTest, DamagedFileReadsAsEmptyUntilSavedOver) {
    ASSERT_TRUE(QDir().mkpath(folder()));
    QFile file(iniPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[REGIKEY\nFirstRun=1\nquorvel=abc\n");
    file.close();

    // Every read, not only the first one, sees the defaults.
    SettingsStore store(folder());
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(store.read(QStringLiteral("FirstRun"), QStringLiteral("0")), QStringLiteral("0"));
        EXPECT_EQ(SettingsStore(folder()).read(QStringLiteral("quorvel"), QString()), QString());
    }
    ASSERT_TRUE(store.save(QStringLiteral("OSDialog"), QStringLiteral("0")));
    EXPECT_EQ(store.read(QStringLiteral("OSDialog"), QStringLiteral("1")), QStringLiteral("0"));
    EXPECT_EQ(store.read(QStringLiteral("FirstRun"), QStringLiteral("0")), QStringLiteral("0"));
}
