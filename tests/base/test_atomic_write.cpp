// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FileUtil.h"
#include "support/FaultPlace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

const QByteArray kOld = "old content\n";

class AtomicWrite : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(writeBytes(target(), kOld)); }
    QString target() const { return m_place.filePath(u"file.txt"_s); }
    // The write fails with exactly this reason and leaves the file and its folder as they were.
    void expectRefused(const QString& reason) {
        const QStringList entries = folderEntries(m_place.path());
        const FileFacts facts = factsOf(target());
        QString why;
        EXPECT_FALSE(writeFileAtomically(target(), QByteArray("new"), &why));
        EXPECT_EQ(why, reason);
        EXPECT_EQ(fileBytes(target()), kOld);
        EXPECT_EQ(factsOf(target()), facts);
        EXPECT_EQ(folderEntries(m_place.path()), entries);
    }

    FaultPlace m_place;
};

} // namespace

TEST_F(AtomicWrite, ReplacesTheFileKeepingModeOwnerAndGroup) {
    ASSERT_EQ(::chmod(QFile::encodeName(target()).constData(), 0640), 0);
    // Root rewriting another user's file leaves it theirs.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(target()).constData(), 12345, 23456), 0);
    }
    const FileFacts before = factsOf(target());
    QString why;
    ASSERT_TRUE(writeFileAtomically(target(), {"new ", "content"}, &why)) << why.toStdString();
    EXPECT_EQ(fileBytes(target()), QByteArray("new content"));
    EXPECT_EQ(factsOf(target()), before);
    EXPECT_EQ(folderEntries(m_place.path()), QStringList{u"file.txt"_s});
    ASSERT_TRUE(writeFileAtomically(target(), QByteArray("secret"), &why, true));
    EXPECT_EQ(factsOf(target()).mode, 0600u);
}

TEST_F(AtomicWrite, LinksAndWhatIsNoFileAreRefusedNotFollowed) {
    const QString victim = m_place.filePath(u"victim"_s);
    ASSERT_TRUE(QFile::rename(target(), victim));
    ASSERT_TRUE(QFile::link(victim, target()));
    expectRefused(QStringLiteral("it is a symbolic link, and Tavimor does not write through links; put the "
                                 "file itself in its place"));
    EXPECT_EQ(fileBytes(victim), kOld);
    ASSERT_TRUE(QFile::remove(target()));
    ASSERT_TRUE(QDir().mkdir(target()));
    QString why;
    EXPECT_FALSE(writeFileAtomically(target(), QByteArray("new"), &why));
    EXPECT_EQ(why, u"it is not a regular file"_s);
}

// Root could rename over it; a file its owner made read-only is meant to stay as it is.
TEST_F(AtomicWrite, AFileMadeReadOnlyStaysAsItIs) {
    ASSERT_EQ(::chmod(QFile::encodeName(target()).constData(), 0444), 0);
    expectRefused(u"it is read-only"_s);
}

TEST_F(AtomicWrite, AFullDiskLeavesTheOldFileAndNoTemporaryOne) {
    SKIP_WITHOUT_MOUNT(m_place);
    ASSERT_TRUE(m_place.fill());
    expectRefused(u"No space left on device"_s);
}

TEST_F(AtomicWrite, AReadOnlyPlaceLeavesTheOldFile) {
    SKIP_WITHOUT_MOUNT(m_place);
    ASSERT_TRUE(m_place.makeReadOnly());
    expectRefused(u"Read-only file system"_s);
}
