// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/MSDNRegistry.h"
#include "registry/RegistryTarget.h"
#include "registry/WinePrefixBackend.h"
#include "registry/WineRegTool.h"
#include "support/FaultPlace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtEndian>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

constexpr auto kPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

const QByteArray kUserReg =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n"
    "[Control Panel\\\\Desktop] 1796561292\n#time=1dd85800dea981c\n\"Wallpaper\"=\"\"\n\n"
    "[Software\\\\Wine] 1796561292\n#time=1dd85800dea981c\n";

const QByteArray kSystemReg =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n"
    "[Software\\\\Classes\\\\.txt] 1796561292\n#time=1dd85800dea981c\n@=\"txtfile\"\n\n"
    "[Software\\\\Classes\\\\Wow6432Node\\\\Alias] 1796561292\n#time=1dd85800dea981c\n#link\n"
    "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,45,00,47,00,49,00,53,00,54,00,52,00,59,00,5c,00,4d,00,\\\n"
    "  61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,54,00,61,00,72,00,67,00,65,00,74,00\n\n"
    "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1796561292\n#time=1dd85800dea981c\n"
    "\"CurrentBuildNumber\"=\"7601\"\n\"CurrentVersion\"=\"6.1\"\n\"ProductName\"=\"Microsoft Windows 7\"\n\n"
    "[System\\\\CurrentControlSet\\\\Control\\\\ComputerName\\\\ComputerName] 1796561292\n"
    "#time=1dd85800dea981c\n\"ComputerName\"=\"WINEBOX\"\n\n"
    "[Target] 1796561292\n#time=1dd85800dea981c\n\"Here\"=dword:00000007\n";

class FixedClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::fromSecsSinceEpoch(1796561295, QTimeZone::utc()); }
};

std::string readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// Another process holding wineserver's lock: a running server, or another writer for a moment.
class HeldLock {
public:
    explicit HeldLock(const QString& lockPath, const char* name = "wineserver", int holdMs = -1) {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_NAME, name);
            const int fd = ::open(QFile::encodeName(lockPath).constData(), O_CREAT | O_WRONLY, 0600);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_len = 1;
            const char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 1 : 0;
            [[maybe_unused]] const ssize_t sent = ::write(ready[1], &ok, 1);
            if (holdMs >= 0)
                ::usleep(useconds_t(holdMs) * 1000);
            else
                ::pause();
            ::_exit(0);
        }
        char ok = 0;
        m_held = ::read(ready[0], &ok, 1) == 1 && ok == 1;
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~HeldLock() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool held() const { return m_held; }

private:
    pid_t m_pid = -1;
    bool m_held = false;
};

class WinePrefix : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_prefix = m_dir.filePath(u"prefix"_s);
        m_base = m_dir.filePath(u"tmp"_s);
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
    EXPECT_EQ(openError(m_dir.filePath(u"none"_s)),
              u"The Wine prefix %1 does not exist."_s.arg(m_dir.filePath(u"none"_s)));
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
    EXPECT_EQ(readFile(systemReg()), "REGEDIT4\n");
}

TEST_F(WinePrefix, WritesPoliciesIntoTheFilesWithWineserversTimes) {
    auto backend = open();
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->targetName(), u"wine:"_s + m_prefix);
    MSDNRegistry registry(*backend);
    const QString policies = QLatin1String(kPolicies);
    registry.CreateRegKey(policies, HKEY_CURRENT_USER);
    registry.SaveKeyValue(HKEY_CURRENT_USER, policies, u"NoRun"_s, RegDatum::integer(1), REG_DWORD);
    registry.CreateRegKey(policies, HKEY_LOCAL_MACHINE);
    registry.SaveKeyValue(HKEY_LOCAL_MACHINE, policies, u"NoDrives"_s, RegDatum::integer(4), REG_DWORD);
    registry.SaveKeyValue(HKEY_CURRENT_USER, u"Control Panel\\Desktop"_s, u"Wallpaper"_s,
                          RegDatum::text(u"caf\u00e9.bmp"_s), REG_SZ);

    EXPECT_EQ(
        readFile(userReg()),
        QByteArray(
            QByteArray(kUserReg).replace(
                "[Control Panel\\\\Desktop] 1796561292\n#time=1dd85800dea981c\n\"Wallpaper\"=\"\"",
                "[Control Panel\\\\Desktop] 1796561295\n#time=1dd85800f4d1180\n"
                "\"Wallpaper\"=\"caf\\xe9.bmp\"") +
            "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Policies\\\\Explorer] 1796561295\n"
            "#time=1dd85800f4d1180\n\"NoRun\"=dword:00000001\n")
            .toStdString());
    EXPECT_TRUE(readFile(systemReg()).ends_with("\"NoDrives\"=dword:00000004\n"));

    // Writing what is there already changes nothing, not even the time.
    const std::string before = readFile(userReg());
    registry.SaveKeyValue(HKEY_CURRENT_USER, policies, u"NoRun"_s, RegDatum::integer(1), REG_DWORD);
    EXPECT_EQ(readFile(userReg()), before);
    EXPECT_EQ(backend->openHandleCount(), 0);
}

TEST_F(WinePrefix, ReadsAnotherWritersSaveAndFollowsClassesAndLinks) {
    auto backend = open();
    ASSERT_TRUE(backend);
    MSDNRegistry registry(*backend);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CLASSES_ROOT, u".txt"_s, QString()), RegDatum::text(u"txtfile"_s));
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CLASSES_ROOT, u"Wow6432Node\\Alias"_s, u"Here"_s),
              RegDatum::integer(7));
    EXPECT_EQ(
        registry.ReadKeyValue(HKEY_USERS, u"S-1-5-21-0-0-0-1000\\Control Panel\\Desktop"_s, u"Wallpaper"_s),
        RegDatum::text(QString()));

    // Writes through a link land in the key it names.
    registry.SaveKeyValue(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Wow6432Node\\Alias"_s, u"Here"_s,
                          RegDatum::integer(8), REG_DWORD);
    EXPECT_EQ(readFile(systemReg()).substr(readFile(systemReg()).find("[Target]")),
              "[Target] 1796561295\n#time=1dd85800f4d1180\n\"Here\"=dword:00000008\n");

    // wineserver saves by renaming a new file over the old one.
    const QString next = m_prefix + u"/next.reg"_s;
    ASSERT_TRUE(writeBytes(next, kUserReg + "\"Version\"=\"win98\"\n"));
    ASSERT_TRUE(::rename(QFile::encodeName(next).constData(), QFile::encodeName(userReg()).constData()) == 0);
    EXPECT_EQ(registry.ReadKeyValue(HKEY_CURRENT_USER, u"Software\\Wine"_s, u"Version"_s),
              RegDatum::text(u"win98"_s));
}

// The name and the versions reg sets against a real Wine: RealWine.
TEST_F(WinePrefix, TellsTheVersionAsWineDoes) {
    auto backend = open();
    ASSERT_TRUE(backend);
    MSDNRegistry registry(*backend);
    for (const auto& [name, platform, major, minor] :
         {std::tuple{"win98", 1u, 4u, 10u}, std::tuple{"WinMe", 1u, 4u, 90u}, std::tuple{"win95", 1u, 4u, 0u},
          std::tuple{"win10", 2u, 10u, 0u}, std::tuple{"winxp", 2u, 5u, 1u}, std::tuple{"os2", 2u, 6u, 1u}}) {
        registry.SaveKeyValue(HKEY_CURRENT_USER, u"Software\\Wine"_s, u"Version"_s,
                              RegDatum::text(QLatin1String(name)), REG_SZ);
        // A name Wine does not know leaves the machine's own keys to tell.
        const WindowsVersion version = backend->windowsVersion();
        EXPECT_EQ(std::tuple(version.platformId, version.major, version.minor),
                  std::tuple(platform, major, minor))
            << name;
    }
}

// While a server holds the prefix, reads and writes go through Wine's reg and the files are left to the
// server: RealWine's cases with a running server.

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
        EXPECT_TRUE(
            error.endsWith(QStringLiteral("/wineserver names the server folder \"%1\", which is not a "
                                          "plain folder name; remove the file or correct it")
                               .arg(QString::fromLatin1(name))))
            << error.toStdString();
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    EXPECT_TRUE(QDir(m_base).isEmpty());

    ASSERT_TRUE(writeBytes(m_prefix + u"/wineserver"_s, "wine-Ab12Cd\n"));
    WineServerLock lock(m_prefix);
    lock.setTemporaryBase(m_base);
    QString error;
    EXPECT_EQ(lock.acquire(&error), WineServerLock::Result::Held) << error.toStdString();
    EXPECT_TRUE(lock.serverFolders().last().startsWith(m_base + u"/wine-Ab12Cd/server-"_s));
}

TEST_F(WinePrefix, WaitsForAnotherWriterInsteadOfTakingItForAServer) {
    auto backend = open();
    ASSERT_TRUE(backend);
    WineServerLock probe(m_prefix);
    probe.setTemporaryBase(m_base);
    QString error;
    ASSERT_EQ(probe.probe(&error), WineServerLock::Result::Held) << error.toStdString();
    qputenv("WINE", "/nonexistent/wine");
    {
        HeldLock peer(probe.serverFolders().first() + u"/lock"_s, "tavimorctl", 200);
        ASSERT_TRUE(peer.held());
        MSDNRegistry registry(*backend);
        registry.SaveKeyValue(HKEY_CURRENT_USER, u"Software\\Wine"_s, u"Version"_s,
                              RegDatum::text(u"win98"_s), REG_SZ);
    }
    qunsetenv("WINE");
    EXPECT_NE(readFile(userReg()).find("\"Version\"=\"win98\""), std::string::npos);
}

TEST(WineRegTool, ParsesWhatRegQueryPrints) {
    const QByteArray output = "\r\nHKEY_CURRENT_USER\\Software\\T1\r\n"
                              "    (Default)    REG_BINARY    0AFF\r\n"
                              "    a b    REG_SZ    x  y\r\n"
                              "    d    REG_DWORD    0x5\r\n"
                              "    m    REG_MULTI_SZ    a\\0b\r\n"
                              "    e    REG_SZ\r\n\r\n";
    EXPECT_EQ(WineRegTool::parseQuery(output, QString()), (RegValue{REG_BINARY, QByteArray("\x0a\xff", 2)}));
    EXPECT_EQ(WineRegTool::parseQuery(output, u"a b"_s), (RegValue{REG_SZ, QByteArray("x  y\0", 5)}));
    EXPECT_EQ(WineRegTool::parseQuery(output, u"d"_s), (RegValue{REG_DWORD, QByteArray("\5\0\0\0", 4)}));
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
