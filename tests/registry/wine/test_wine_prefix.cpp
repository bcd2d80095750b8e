// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Waiting.h"
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
        std::unique_ptr<WinePrefixBackend> backend = WinePrefixBackend::open(m_prefix, &error, m_base);
        EXPECT_TRUE(backend) << error.toStdString();
        if (backend)
            backend->setClock(&m_clock);
        return backend;
    }
    QString userReg() const { return m_prefix + u"/user.reg"_s; }
    QString systemReg() const { return m_prefix + u"/system.reg"_s; }
    QString openError(const QString& prefix) {
        QString error;
        EXPECT_FALSE(WinePrefixBackend::open(prefix, &error, m_base));
        return error;
    }
    // A process by this name that holds the prefix's server lock for holdMs, as a wineserver or
    // another program of ours would; -1 when it could not take it.
    pid_t holdServerLock(const char* name, int holdMs) {
        WineServerLock probe(m_prefix);
        probe.setTemporaryBase(m_base);
        QString error;
        if (probe.probe(&error) != WineServerLock::Result::Held)
            return -1;
        const QByteArray lockPath = QFile::encodeName(probe.serverFolders().first() + u"/lock"_s);
        int ready[2];
        if (::pipe(ready) != 0)
            return -1;
        const pid_t peer = ::fork();
        if (peer == 0) {
            ::prctl(PR_SET_NAME, name);
            const int fd = ::open(lockPath.constData(), O_CREAT | O_WRONLY, 0600);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_len = 1;
            const char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 1 : 0;
            [[maybe_unused]] const ssize_t sent = ::write(ready[1], &ok, 1);
            ::usleep(useconds_t(holdMs) * 1000);
            ::_exit(0);
        }
        char held = 0;
        const bool taken = ::read(ready[0], &held, 1) == 1 && held == 1;
        ::close(ready[0]);
        ::close(ready[1]);
        return taken ? peer : -1;
    }
    static void end(pid_t peer) {
        ::kill(peer, SIGKILL);
        ::waitpid(peer, nullptr, 0);
    }

    QTemporaryDir m_dir;
    QString m_prefix;
    QString m_base;
    FixedClock m_clock;
};

// Puts a script in Wine's place for what follows: $WINE is what the tool runs.
bool useFakeWine(const QString& path, const QByteArray& script) {
    if (!writeBytes(path, script))
        return false;
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("WINE", QFile::encodeName(path));
    return true;
}

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
    // Another writer, by a name that is not the server's, holds the lock for a moment.
    const pid_t peer = holdServerLock("tavimorctl", 200);
    ASSERT_GT(peer, 0);
    qputenv("WINE", "/nonexistent/wine");
    MSDNRegistry(*backend).SaveKeyValue(HKEY_CURRENT_USER, u"Software\\Wine"_s, u"Version"_s,
                                        RegDatum::text(u"win98"_s), REG_SZ);
    qunsetenv("WINE");
    ::waitpid(peer, nullptr, 0);
    EXPECT_TRUE(fileBytes(userReg()).contains("\"Version\"=\"win98\""));

    // One that keeps it past three seconds is named, and nothing goes through Wine instead.
    const pid_t stuck = holdServerLock("tavimorctl", 20000);
    ASSERT_GT(stuck, 0);
    qputenv("WINE", "/nonexistent/wine");
    MSDNRegistry registry(*backend);
    // The read before the write may still go by the route of a moment ago: which of the two meets
    // the lock depends on the machine's speed.
    const long status = registry.SaveKeyValue(HKEY_CURRENT_USER, u"Software\\Wine"_s, u"Version"_s,
                                              RegDatum::text(u"win10"_s), REG_SZ);
    EXPECT_TRUE(status == ERROR_CANTWRITE || status == ERROR_CANTREAD) << status;
    const QString named =
        u"is locked by another program (tavimorctl, process %1) for more than three seconds"_s.arg(stuck);
    EXPECT_TRUE(backend->lastError().contains(named)) << backend->lastError().toStdString();
    const RegDatum read = registry.ReadKeyValue(HKEY_CURRENT_USER, u"Software\\Wine"_s, u"Version"_s);
    EXPECT_TRUE(read.unreadReason().contains(named)) << read.unreadReason().toStdString();
    qunsetenv("WINE");
    end(stuck);
    EXPECT_EQ(backend->wineProcesses(), 0);
    EXPECT_TRUE(fileBytes(userReg()).contains("\"Version\"=\"win98\""));
}

// While a server runs, what Wine's reg cannot tell is unread, and one failed export answers every value
// below it: a Wine that hangs costs one time limit, not one per value.
TEST_F(WinePrefix, WithAServerAToolThatFailsOrHangsIsUnreadOnceForAllItsValues) {
    const pid_t server = holdServerLock("wineserver", 60000);
    ASSERT_GT(server, 0);
    const QString wine = m_dir.filePath(u"wine"_s);
    const QString log = m_dir.filePath(u"wine.log"_s);
    ASSERT_TRUE(useFakeWine(wine, "#!/bin/sh\necho \"$*\" >> \"$TAVIMOR_FAKE_LOG\"\n"
                                  "case \"$TAVIMOR_FAKE_WINE\" in\n"
                                  "crash) echo 'Segmentation fault' >&2; exit 3 ;;\n"
                                  "hang) exec sleep 30 ;;\n"
                                  "*) echo 'reg: Unable to find the specified registry key'; exit 1 ;;\n"
                                  "esac\n"));
    qputenv("TAVIMOR_FAKE_LOG", QFile::encodeName(log));
    const QString explorer = u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"_s;
    const QString system = u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"_s;
    for (const auto& [mode, reason] :
         {std::pair{"crash", u"Segmentation fault"_s}, std::pair{"hang", u"did not finish in time"_s},
          std::pair{"absent", QString()}}) {
        qputenv("TAVIMOR_FAKE_WINE", mode);
        QFile::remove(log);
        auto backend = open();
        ASSERT_TRUE(backend);
        backend->setToolTimeout(300);
        MSDNRegistry registry(*backend);
        backend->prepareReads(
            {{HKEY_CURRENT_USER, explorer},
             {HKEY_CURRENT_USER, system},
             {HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network"_s}});
        for (const auto& [key, name] : {std::pair{explorer, u"NoRun"_s}, std::pair{explorer, u"NoFind"_s},
                                        std::pair{system, u"NoDispCpl"_s}}) {
            const RegDatum datum = registry.ReadKeyValue(HKEY_CURRENT_USER, key, name);
            EXPECT_EQ(datum.isUnread(), !reason.isEmpty()) << mode;
            EXPECT_TRUE(datum.unreadReason().contains(reason))
                << mode << ": " << datum.unreadReason().toStdString();
        }
        // One export per hive, side by side, of the keys' nearest common key.
        const QByteArray calls = fileBytes(log);
        EXPECT_EQ(calls.count('\n'), 2) << mode << ": " << calls.constData();
        EXPECT_TRUE(calls.contains(
            "reg export HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies "))
            << calls.constData();
    }
    qunsetenv("WINE");
    qunsetenv("TAVIMOR_FAKE_WINE");
    end(server);
}

// A value Wine's reg accepted lives in the server's memory until the server saves; set's line says so.
TEST_F(WinePrefix, AWriteTheServerHoldsSaysItIsNotSavedYet) {
    auto backend = open();
    ASSERT_TRUE(backend);
    MSDNRegistry registry(*backend);
    const QString key = u"Software\\Wine"_s;
    ASSERT_EQ(registry.SaveKeyValue(HKEY_CURRENT_USER, key, u"Version"_s, RegDatum::text(u"win98"_s), REG_SZ),
              ERROR_SUCCESS);
    EXPECT_EQ(backend->writtenNote(), QString());

    const pid_t server = holdServerLock("wineserver", 60000);
    ASSERT_GT(server, 0);
    const QString wine = m_dir.filePath(u"wine"_s);
    ASSERT_TRUE(useFakeWine(wine, "#!/bin/sh\nexit 0\n"));
    EXPECT_EQ(registry.SaveKeyValue(HKEY_CURRENT_USER, key, u"Version"_s, RegDatum::text(u"win10"_s), REG_SZ),
              ERROR_SUCCESS)
        << backend->lastError().toStdString();
    EXPECT_EQ(backend->writtenNote(), u"written to the running Wine; saved when it saves"_s);
    qunsetenv("WINE");
    end(server);
}

// A running server holds the registry: the files are not indexed, so one damaged beside it is no hindrance;
// the computer name is still read from system.reg, by its key line alone, with no Wine process.
TEST_F(WinePrefix, WhileAServerRunsTheFilesAreNotIndexed) {
    ASSERT_TRUE(writeBytes(userReg(), "REGEDIT4\n"));
    ASSERT_TRUE(writeBytes(systemReg(), kSystemReg +
                                            "\n[System\\\\CurrentControlSet\\\\Control\\\\ComputerName\\\\"
                                            "ActiveComputerName] 1796561292\n\"ComputerName\"=\"ACTIVE\"\n\n"
                                            "[SYSTEM\\\\CurrentControlSet\\\\Control\\\\ComputerName\\\\"
                                            "computername] 1796561292\n\"ComputerName\"=\"SAVED\"\n\n"
                                            "[System\\\\Setup] 1796561292\n\"ComputerName\"=\"LATER\"\n"));
    EXPECT_EQ(openError(m_prefix),
              userReg() + u":1: not a Wine registry file (no \"WINE REGISTRY Version 2\" line)"_s);

    const pid_t server = holdServerLock("wineserver", 60000);
    ASSERT_GT(server, 0);
    const QString wine = m_dir.filePath(u"wine"_s);
    // Its export holds the key asked for, empty; anything else succeeds.
    ASSERT_TRUE(useFakeWine(wine,
                            "#!/bin/sh\n[ \"$2\" = export ] || exit 0\nprintf '\\377\\376' > \"$4\"\n"
                            "printf 'Windows Registry Editor Version 5.00\\r\\n\\r\\n[%s]\\r\\n' \"$3\" | "
                            "iconv -t UTF-16LE >> \"$4\"\n"));
    auto backend = open();
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->computerName(), u"SAVED"_s);
    EXPECT_EQ(backend->wineProcesses(), 0);
    MSDNRegistry registry(*backend);
    const RegDatum read = registry.ReadKeyValue(HKEY_CURRENT_USER, u"Software"_s, u"Version"_s);
    EXPECT_FALSE(read.isUnread()) << read.unreadReason().toStdString();
    EXPECT_EQ(registry.SaveKeyValue(HKEY_CURRENT_USER, u"Software"_s, u"Version"_s,
                                    RegDatum::text(u"win98"_s), REG_SZ),
              ERROR_SUCCESS)
        << backend->lastError().toStdString();
    EXPECT_GT(backend->wineProcesses(), 0);
    EXPECT_EQ(fileBytes(userReg()), "REGEDIT4\n");
    qunsetenv("WINE");
    end(server);
}

// The agent's side of the talk played by a script in place of Wine: one that says "bye" before it
// read every request leaves the rest to a new one; one that dies or is cancelled in the middle of a
// request leaves that step unread, never "not there", and after a Cancel a new one takes the next.
TEST(WineRegTool, AnAgentThatEndsIdleHandsOnAndOneThatDiesOrIsCancelledLeavesTheStepUnread) {
    QTemporaryDir dir;
    const QString wine = dir.filePath(u"wine"_s);
    ASSERT_TRUE(writeBytes(dir.filePath(u"agent.exe"_s), "MZ"));
    ASSERT_TRUE(useFakeWine(wine,
                            "#!/bin/sh\ncd \"$FAKE_DIR\"\n"
                            "n=$(($(cat runs 2>/dev/null || echo 0) + 1)); echo $n > runs\n"
                            "case \"$FAKE_MODE$n\" in\n"
                            "bye1) read l; echo \"$l\" >> got1; printf '0 0\\nbye\\n';;\n"
                            "bye2) while read l; do echo \"$l\" >> got2; printf '2 0\\n'; done;;\n"
                            "die1) read l; printf '0 0\\n'; read l; exit 3;;\n"
                            "hang1) read l; printf '0 0\\n'; read l; exec sleep 30;;\n"
                            "hang2) [ \"$1\" = reg ] && exit 1; while read l; do printf '0 0\\n'; done;;\n"
                            "esac\n"));
    qputenv("TAVIMOR_WINE_AGENT", QFile::encodeName(dir.filePath(u"agent.exe"_s)));
    qputenv("FAKE_DIR", QFile::encodeName(dir.path()));
    const QStringList keys{u"HKEY_CURRENT_USER\\Software\\A"_s, u"HKEY_CURRENT_USER\\Software\\B"_s};
    {
        qputenv("FAKE_MODE", "bye");
        WineRegTool tool(dir.path());
        const QList<WineRegTool::Export> exports = tool.exportKeys(keys);
        ASSERT_EQ(exports.size(), 2);
        EXPECT_TRUE(exports[0].exists);
        EXPECT_EQ(exports[1].status, ERROR_SUCCESS);
        EXPECT_FALSE(exports[1].exists);
        EXPECT_EQ(tool.processesStarted(), 2);
    }
    EXPECT_EQ(fileBytes(dir.filePath(u"got1"_s)).count('\n'), 1);
    EXPECT_EQ(fileBytes(dir.filePath(u"got2"_s)).count('\n'), 1);
    QFile::remove(dir.filePath(u"runs"_s));
    qputenv("FAKE_MODE", "die");
    WineRegTool tool(dir.path());
    bool exists = false;
    EXPECT_EQ(tool.keyExists(keys[0], &exists), ERROR_SUCCESS);
    EXPECT_TRUE(exists);
    RegValue value;
    EXPECT_EQ(tool.readValue(keys[0], u"NoRun"_s, &value), ERROR_CANTREAD);
    EXPECT_TRUE(tool.lastError().contains(u"ended before it answered"_s)) << tool.lastError().toStdString();

    // Says "stop" once when armed, as the window's Cancel button does.
    struct CancelOnce : WaitWatcher {
        bool armed = false;
        bool stillWaiting(const QString&) override { return !std::exchange(armed, false); }
    } cancel;
    setWaitWatcher(&cancel);
    QFile::remove(dir.filePath(u"runs"_s));
    qputenv("FAKE_MODE", "hang");
    WineRegTool hung(dir.path());
    EXPECT_EQ(hung.keyExists(keys[0], &exists), ERROR_SUCCESS);
    cancel.armed = true;
    EXPECT_EQ(hung.readValue(keys[0], u"NoRun"_s, &value), ERROR_CANTREAD);
    EXPECT_TRUE(hung.lastError().startsWith(u"Cancelled"_s)) << hung.lastError().toStdString();
    exists = false;
    EXPECT_EQ(hung.keyExists(keys[1], &exists), ERROR_SUCCESS);
    EXPECT_TRUE(exists);
    EXPECT_EQ(hung.processesStarted(), 2);
    setWaitWatcher(nullptr);
    for (const char* name : {"WINE", "TAVIMOR_WINE_AGENT", "FAKE_DIR", "FAKE_MODE"})
        qunsetenv(name);
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
