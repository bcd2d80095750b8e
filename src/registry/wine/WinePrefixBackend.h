// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WineRegExport.h"
#include "WineRegFile.h"
#include "WineRegIndex.h"
#include "WineRegTool.h"
#include "WineServerLock.h"
#include "base/Clock.h"
#include "registry/KeyStoreBackend.h"

#include <QElapsedTimer>
#include <array>
#include <functional>
#include <memory>

namespace tavimor {

// The registry of a Wine prefix: HKEY_CURRENT_USER in user.reg, HKEY_LOCAL_MACHINE in system.reg
// and HKEY_CLASSES_ROOT as its Software\Classes. A running wineserver owns the registry and saves
// it over anything written beside it, so while one runs every read and write goes through Wine's
// own reg program. Otherwise the files are edited directly, holding the server's lock so that none
// starts halfway, and saved atomically as wineserver itself saves them.
class WinePrefixBackend : public KeyStoreBackend {
public:
    ~WinePrefixBackend() override;
    // nullptr with *error set when the prefix is missing, is no prefix, is of an architecture
    // this machine's Wine does not run, or, with no server running, cannot be read. Nothing is
    // written then. temporaryBase is setTemporaryBase's, for the probe for a server.
    static std::unique_ptr<WinePrefixBackend> open(const QString& prefix, QString* error,
                                                   const QString& temporaryBase = QString());
    // What open refuses before reading the files whole, from their headers; "" when it may be opened.
    static QString refusal(const QString& prefix);
    // $WINEPREFIX, else ~/.wine.
    static QString defaultPrefix();

    QString prefix() const { return m_prefix; }
    QString lastError() const override { return m_lastError; }
    void setClock(const Clock* clock) { m_clock = clock; }
    void setTemporaryBase(const QString& folder) {
        m_lock.setTemporaryBase(folder);
        m_routeAge.invalidate();
    }
    void setToolTimeout(int milliseconds) { m_tool.setTimeout(milliseconds); }
    bool serverRunning();

    // While a server runs, a batch goes to Wine as one "reg import" and is read back with one export.
    long applyChanges(const QList<RegChange>& changes, qsizetype* failed) override;
    // While a server runs: one export per hive, side by side, of the keys' nearest common key.
    void prepareReads(const QList<RegKeyName>& keys) override;
    // How many Wine processes this target has started.
    int wineProcesses() const { return m_tool.processesStarted(); }
    std::optional<QString> computerName() override;
    WindowsVersion windowsVersion() override;
    bool requestRestart() override;
    QString targetName() const override { return QStringLiteral("wine:") + m_prefix; }
    // A write through reg lives in the server's memory until the server saves the registry.
    QString writtenNote() const override {
        return m_wroteToServer ? QStringLiteral("written to the running Wine; saved when it saves")
                               : QString();
    }

protected:
    long storeKeyExists(const QString& path, bool* exists) override;
    long storeCreateKey(const QString& path, bool* created) override;
    long storeReadValue(const QString& path, const QString& name, RegValue* value) override;
    long storeWriteValue(const QString& path, const QString& name, const RegValue& value) override;
    long storeDeleteValue(const QString& path, const QString& name) override;
    long storeValueNames(const QString& path, QStringList* names) override;

private:
    enum Hive { User = 0, Machine = 1 };
    struct FileStamp {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 modifiedNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    struct HiveFile {
        QString path;
        std::optional<WineRegIndex> file; // what reads ask
        std::optional<WineRegFile> whole; // parsed at the first write only
        std::optional<FileStamp> stamp;
    };
    struct Location {
        Hive hive = User;
        QString path; // relative to the file's root
    };
    enum class Route { Files, Tool, Failed };
    struct LastRead {
        QString path;
        QString name;
        RegValue value;
        QElapsedTimer age;
    };

    explicit WinePrefixBackend(const QString& prefix);

    // Whether a server holds the prefix; a read reuses the answer of a moment ago.
    Route route(bool forRead = false);
    long refresh(Hive hive);
    // Both files as they are on disk now; the first failure's status.
    long refreshBoth();
    // Where a full path lives in the files, following #link keys; nullopt when nowhere.
    std::optional<Location> locate(const QString& fullPath);
    // Saves what change makes of the hive's file; call it under the lock.
    long modify(Hive hive, const std::function<long(WineRegFile&, bool* changed)>& change);
    // Runs body holding the server's lock over freshly read files; kServerRunning when a server has it.
    long underLock(const std::function<long()>& body);
    // Through a subtree export where the key is deep enough, else through reg query.
    long toolKeyExists(const QString& path, bool* exists);
    long readThroughTool(const QString& path, const QString& name, RegValue* value);
    long importChanges(const QList<RegChange>& changes, qsizetype* failed);
    // Whether path is a key made only in name so far, or lies above one: it is there once made.
    bool pendingAtOrBelow(const QString& path) const;
    // Whether path is a key made only in name so far, or lies below one: it is not there yet.
    bool pendingAtOrAbove(const QString& path) const;
    // Makes the keys made only in name that no value write made; the first failure's status.
    long makePendingKeys();
    // Whether the change holds in the server now; *why says how it does not.
    bool holds(const QString& path, const RegChange& change, QString* why);
    qint64 fileTimeNow() const;

    QString m_prefix;
    std::array<HiveFile, 2> m_hives;
    WineServerLock m_lock;
    WineRegTool m_tool;
    WineRegExportCache m_exports{m_tool};
    const Clock* m_clock = nullptr;
    SystemClock m_systemClock;
    QString m_lastError;
    std::optional<LastRead> m_lastRead;
    Route m_route = Route::Failed;
    bool m_wroteToServer = false; // the last write went through reg
    // Keys a server would make with their first value (reg add makes a key and its parents): made
    // in name until a value is written to them or below them, or anything else needs them.
    QStringList m_pendingKeys;
    QElapsedTimer m_routeAge;
};

} // namespace tavimor
