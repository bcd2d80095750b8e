// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/MSDNRegistry.h"
#include "registry/RegistryTarget.h"
#include "registry/wine/WinePrefixBackend.h"
#include "registry/wine/WineRegTool.h"
#include "registry/wine/WineServerLock.h"
#include "support/FaultPlace.h"
#include "support/WindowFakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

const QByteArray kUserReg =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n"
    "[Control Panel\\\\Desktop] 1796561292\n#time=1dd85800dea981c\n\"Wallpaper\"=\"\"\n\n"
    "[Software\\\\Wine] 1796561292\n#time=1dd85800dea981c\n";

const QByteArray kSystemReg =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";

class WinePrefix : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_prefix = m_dir.filePath(u"prefix"_s);
        m_base = m_dir.filePath(u"tmp"_s);
        m_clock.time = QDateTime::fromSecsSinceEpoch(1796561295, QTimeZone::utc());
        ASSERT_TRUE(QDir().mkpath(m_prefix) && QDir().mkpath(m_base));
        ASSERT_TRUE(writeBytes(userReg(), kUserReg));
        ASSERT_TRUE(writeBytes(systemReg(), kSystemReg));
    }

    std::unique_ptr<WinePrefixBackend> open() {
        QString error;
        std::unique_ptr<WinePrefixBackend> backend = WinePrefixBackend::open(m_prefix, &error);
        EXPECT_TRUE(backend) << error.toStdString();
        if (backend) {
            backend->setTemporaryBase(m_base);
            backend->setClock(&m_clock);
        }
        return backend;
    }
    QString userReg() const { return m_prefix + u"/user.reg"_s; }
    QString systemReg() const { return m_prefix + u"/system.reg"_s; }
    QString openError(const QString& prefix) {
        QString error;
        EXPECT_FALSE(WinePrefixBackend::open(prefix, &error));
        return error;
    }

    QTemporaryDir m_dir;
    QString m_prefix;
    QString m_base;
    FixedClock m_clock;
};

} // namespace

TEST_F(WinePrefix, RefusesWhatIsNoUsablePrefixAndWritesNothing) {
    EXPECT_TRUE(openError(m_base).contains(u"is not a Wine prefix"_s));

    ASSERT_TRUE(writeBytes(userReg(), QByteArray(kUserReg).replace("#arch=win64", "#arch=win32")));
    EXPECT_TRUE(openError(m_prefix).contains(u"user.reg is for win32, system.reg for win64"_s));
    ASSERT_TRUE(writeBytes(userReg(), QByteArray(kUserReg).replace("#arch=win64", "#arch=win128")));
    ASSERT_TRUE(writeBytes(systemReg(), QByteArray(kSystemReg).replace("#arch=win64", "#arch=win128")));
    EXPECT_TRUE(openError(m_prefix).contains(u"is a win128 prefix"_s));

    ASSERT_TRUE(writeBytes(systemReg(), "REGEDIT4\n"));
    EXPECT_EQ(openError(m_prefix),
              systemReg() + u":1: not a Wine registry file (no \"WINE REGISTRY Version 2\" line)"_s);
    ASSERT_TRUE(QFile::remove(userReg()) && QDir().mkdir(userReg()));
    EXPECT_TRUE(openError(m_prefix).startsWith(u"Cannot read "_s + userReg()));
    EXPECT_EQ(fileBytes(systemReg()), "REGEDIT4\n");
}

// The bytes and times a write leaves; that Wine reads them is RealWine's.
TEST_F(WinePrefix, WritesIntoTheFilesWithWineserversTimes) {
    auto backend = open();
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->targetName(), u"wine:"_s + m_prefix);
    MSDNRegistry(*backend).SaveKeyValue(HKEY_CURRENT_USER, u"Control Panel\\Desktop"_s, u"Wallpaper"_s,
                                        RegDatum::text(u"caf\u00e9.bmp"_s), REG_SZ);
    EXPECT_EQ(
        fileBytes(userReg()),
        QByteArray(kUserReg).replace(
            "[Control Panel\\\\Desktop] 1796561292\n#time=1dd85800dea981c\n\"Wallpaper\"=\"\"",
            "[Control Panel\\\\Desktop] 1796561295\n#time=1dd85800f4d1180\n\"Wallpaper\"=\"caf\\xe9.bmp\""));
}

// The prefix's "wineserver" file names the server folder; ".." there once made the lock code
// create a folder outside the base (at "/" when run as root).
TEST_F(WinePrefix, RefusesAServerFolderNameThatLeavesTheBase) {
    const QStringList before = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
    for (const QByteArray& name : {QByteArray(".."), QByteArray("."), QByteArray("a/../.."),
                                   QByteArray("a\\b"), QByteArray("a\x01")}) {
        ASSERT_TRUE(writeBytes(m_prefix + u"/wineserver"_s, name + '\n'));
        WineServerLock lock(m_prefix);
        lock.setTemporaryBase(m_base);
        QString error;
        EXPECT_EQ(lock.acquire(&error), WineServerLock::Result::Failed) << name.constData();
        EXPECT_TRUE(error.endsWith(
            u"/wineserver names the server folder \"%1\", which is not a "
            "plain folder name; remove the file or correct it"_s.arg(QString::fromLatin1(name))))
            << error.toStdString();
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    EXPECT_TRUE(QDir(m_base).isEmpty());
}

TEST_F(WinePrefix, WaitsForAnotherWriterInsteadOfTakingItForAServer) {
    auto backend = open();
    ASSERT_TRUE(backend);
    WineServerLock probe(m_prefix);
    probe.setTemporaryBase(m_base);
    QString error;
    ASSERT_EQ(probe.probe(&error), WineServerLock::Result::Held) << error.toStdString();
    // Another writer, by a name that is not the server's, holds the lock for a moment.
    const QByteArray lockPath = QFile::encodeName(probe.serverFolders().first() + u"/lock"_s);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t peer = ::fork();
    if (peer == 0) {
        ::prctl(PR_SET_NAME, "tavimorctl");
        const int fd = ::open(lockPath.constData(), O_CREAT | O_WRONLY, 0600);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_len = 1;
        const char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 1 : 0;
        [[maybe_unused]] const ssize_t sent = ::write(ready[1], &ok, 1);
        ::usleep(200000);
        ::_exit(0);
    }
    char held = 0;
    EXPECT_TRUE(::read(ready[0], &held, 1) == 1 && held == 1);
    ::close(ready[0]);
    ::close(ready[1]);
    qputenv("WINE", "/nonexistent/wine");
    MSDNRegistry(*backend).SaveKeyValue(HKEY_CURRENT_USER, u"Software\\Wine"_s, u"Version"_s,
                                        RegDatum::text(u"win98"_s), REG_SZ);
    qunsetenv("WINE");
    ::waitpid(peer, nullptr, 0);
    EXPECT_TRUE(fileBytes(userReg()).contains("\"Version\"=\"win98\""));
}

TEST(WineRegTool, ParsesWhatRegQueryPrints) {
    const QByteArray output = "\r\nHKEY_CURRENT_USER\\Software\\T1\r\n"
                              "    (Default)    REG_BINARY    0AFF\r\n"
                              "    a b    REG_SZ    x  y\r\n"
                              "    m    REG_MULTI_SZ    a\\0b\r\n"
                              "    e    REG_SZ\r\n\r\n";
    EXPECT_EQ(WineRegTool::parseQuery(output, QString()), (RegValue{REG_BINARY, QByteArray("\x0a\xff", 2)}));
    EXPECT_EQ(WineRegTool::parseQuery(output, u"a b"_s), (RegValue{REG_SZ, QByteArray("x  y\0", 5)}));
    EXPECT_EQ(WineRegTool::parseQuery(output, u"m"_s), (RegValue{REG_MULTI_SZ, QByteArray("a\0b\0\0", 5)}));
    EXPECT_EQ(WineRegTool::parseQuery(output, u"e"_s), (RegValue{REG_SZ, QByteArray("\0", 1)}));
    EXPECT_FALSE(WineRegTool::parseQuery(output, u"x"_s));
}

TEST(WineTarget, NamesThePrefixFromTheEnvironment) {
    const QByteArray saved = qgetenv("WINEPREFIX");
    qputenv("WINEPREFIX", "/nonexistent/prefix");
    QString error;
    EXPECT_FALSE(openRegistryTarget(u"wine:"_s, &error));
    EXPECT_EQ(error, u"The Wine prefix /nonexistent/prefix does not exist."_s);
    qunsetenv("WINEPREFIX");
    EXPECT_EQ(WinePrefixBackend::defaultPrefix(), QDir::homePath() + u"/.wine"_s);
    if (!saved.isEmpty())
        qputenv("WINEPREFIX", saved);
}
