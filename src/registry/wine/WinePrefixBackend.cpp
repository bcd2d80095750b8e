// SPDX-License-Identifier: GPL-3.0-or-later
#include "WinePrefixBackend.h"

#include "WineRegSyntax.h"
#include "WineVersions.h"
#include "base/FileUtil.h"
#include "registry/regfile/RegPatch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace tavimor {

namespace {

// A lock we could not take because a wineserver took it first: go through Wine instead.
constexpr long kServerRunning = -2;
constexpr int kMaxLinks = 16;
constexpr qint64 kReadReuseMs = 500;
// A refresh reads a hundred values in a few milliseconds; a lock probe for each costs more than the reads.
constexpr qint64 kRouteReuseMs = 100;

const QString kUserHive = QStringLiteral("HKEY_CURRENT_USER");
const QString kMachineHive = QStringLiteral("HKEY_LOCAL_MACHINE");
const QString kClassesHive = QStringLiteral("HKEY_CLASSES_ROOT");
const QString kUsersHive = QStringLiteral("HKEY_USERS");

bool isAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

// What follows "hive" in path: "" for the hive itself, nullopt for another hive.
std::optional<QString> below(const QString& path, const QString& hive) {
    if (path.compare(hive, Qt::CaseInsensitive) == 0)
        return QString();
    if (path.size() > hive.size() && path.startsWith(hive, Qt::CaseInsensitive) &&
        path[hive.size()] == QLatin1Char('\\'))
        return path.mid(hive.size() + 1);
    return std::nullopt;
}

QString joined(const QString& a, const QString& b) {
    return a.isEmpty() ? b : b.isEmpty() ? a : a + QLatin1Char('\\') + b;
}

QStringList architecturesOfThisMachine() {
    const QString cpu = QSysInfo::currentCpuArchitecture();
    if (cpu == QLatin1String("x86_64"))
        return {QStringLiteral("win32"), QStringLiteral("win64")};
    if (cpu == QLatin1String("arm64"))
        return {QStringLiteral("win64"), QStringLiteral("arm64")};
    return {QStringLiteral("win32")};
}

} // namespace

WinePrefixBackend::WinePrefixBackend(const QString& prefix)
    : m_prefix(prefix)
    , m_lock(prefix)
    , m_tool(prefix) {
    m_hives[User].path = prefix + QStringLiteral("/user.reg");
    m_hives[Machine].path = prefix + QStringLiteral("/system.reg");
}

WinePrefixBackend::~WinePrefixBackend() {
    // Every caller writes a value into a key it makes; should one not, the key is still made.
    makePendingKeys();
}

QString WinePrefixBackend::defaultPrefix() {
    const QString configured = qEnvironmentVariable("WINEPREFIX");
    return configured.isEmpty() ? QDir::homePath() + QStringLiteral("/.wine") : configured;
}

namespace {

// The "#arch=" of a Wine registry file's header, "" when it names none; nullopt when the file cannot be
// read (*error says why) or is no Wine registry file (*error is empty: the parser names the line).
std::optional<QString> headerArchitecture(const QString& path, QString* error) {
    QFile file(path);
    if (!openRegularFile(file, error))
        return std::nullopt;
    if (!file.readLine(4096).startsWith("WINE REGISTRY Version 2"))
        return std::nullopt;
    // The header ends where the first key begins; a few lines in every Wine version.
    for (int line = 0; line < 64 && !file.atEnd(); ++line) {
        const QByteArray text = file.readLine(4096).trimmed();
        if (text.startsWith('['))
            break;
        if (text.startsWith("#arch="))
            return QString::fromLatin1(text.sliced(6).trimmed());
    }
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return std::nullopt;
    }
    return QString();
}

} // namespace

QString WinePrefixBackend::refusal(const QString& prefix) {
    const QFileInfo folder(prefix);
    if (!folder.exists())
        return QStringLiteral("The Wine prefix %1 does not exist.").arg(prefix);
    if (!folder.isDir() || !QFileInfo::exists(prefix + QStringLiteral("/system.reg")) ||
        !QFileInfo::exists(prefix + QStringLiteral("/user.reg")))
        return QStringLiteral("%1 is not a Wine prefix: it has no system.reg and user.reg. "
                              "Make one with \"WINEPREFIX=%1 wineboot --init\".")
            .arg(prefix);
    struct stat info {};
    if (::stat(QFile::encodeName(prefix).constData(), &info) == 0 && info.st_uid != ::getuid())
        return QStringLiteral("The Wine prefix %1 belongs to another user; Wine runs it only for them.")
            .arg(prefix);
    QString architectures[2];
    for (const Hive hive : {User, Machine}) {
        const QString path =
            prefix + (hive == User ? QStringLiteral("/user.reg") : QStringLiteral("/system.reg"));
        QString why;
        const std::optional<QString> arch = headerArchitecture(path, &why);
        if (!arch && !why.isEmpty())
            return QStringLiteral("Cannot read %1: %2").arg(path, why);
        if (!arch)
            return QString();
        // Files of old 32-bit prefixes name no architecture.
        architectures[hive] = arch->isEmpty() ? QStringLiteral("win32") : *arch;
    }
    if (architectures[User] != architectures[Machine])
        return QStringLiteral("The Wine prefix %1 is damaged: user.reg is for %2, system.reg for %3.")
            .arg(prefix, architectures[User], architectures[Machine]);
    const QStringList supported = architecturesOfThisMachine();
    if (!supported.contains(architectures[Machine]))
        return QStringLiteral("The Wine prefix %1 is a %2 prefix; Wine on this machine runs %3 prefixes.")
            .arg(prefix, architectures[Machine], supported.join(QStringLiteral(" and ")));
    return QString();
}

std::unique_ptr<WinePrefixBackend> WinePrefixBackend::open(const QString& prefix, QString* error,
                                                           const QString& temporaryBase) {
    const auto fail = [error](const QString& message) -> std::unique_ptr<WinePrefixBackend> {
        if (error)
            *error = message;
        return nullptr;
    };
    if (const QString refused = refusal(prefix); !refused.isEmpty())
        return fail(refused);
    std::unique_ptr<WinePrefixBackend> backend(new WinePrefixBackend(QFileInfo(prefix).absoluteFilePath()));
    backend->m_lock.setTemporaryBase(temporaryBase);
    // While a server runs it holds the registry and every read goes through reg: indexing the files
    // would cost more than the command's own work. Without one, a file that cannot be read is refused here.
    if (backend->route() != Route::Tool && backend->refreshBoth() != ERROR_SUCCESS)
        return fail(backend->m_lastError);
    return backend;
}

qint64 WinePrefixBackend::fileTimeNow() const {
    const Clock& clock = m_clock ? *m_clock : m_systemClock;
    return WineRegFile::kUnixEpochFileTime + clock.now().toMSecsSinceEpoch() * 10000;
}

long WinePrefixBackend::refreshBoth() {
    for (const Hive hive : {User, Machine}) {
        if (const long status = refresh(hive))
            return status;
    }
    return ERROR_SUCCESS;
}

long WinePrefixBackend::refresh(Hive hive) {
    HiveFile& h = m_hives[hive];
    QFile file(h.path);
    struct stat info {};
    const bool known = ::stat(QFile::encodeName(h.path).constData(), &info) == 0;
    const FileStamp now{quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
                        qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
    if (known && h.file && h.stamp == now)
        return ERROR_SUCCESS;
    h.file.reset();
    h.whole.reset();
    h.stamp.reset();
    QString why;
    if (!openRegularFile(file, &why)) {
        m_lastError = QStringLiteral("Cannot read %1: %2").arg(h.path, why);
        return ERROR_CANTREAD;
    }
    struct stat opened {};
    ::fstat(file.handle(), &opened);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_lastError = QStringLiteral("Cannot read %1: %2").arg(h.path, file.errorString());
        return ERROR_CANTREAD;
    }
    QString reason;
    int line = 0;
    h.file = WineRegIndex::index(bytes, &reason, &line);
    if (!h.file) {
        m_lastError = QStringLiteral("%1:%2: %3").arg(h.path).arg(line).arg(reason);
        return ERROR_BADDB;
    }
    h.stamp = FileStamp{quint64(opened.st_dev), quint64(opened.st_ino), qint64(opened.st_size),
                        qint64(opened.st_mtim.tv_sec) * 1000000000 + opened.st_mtim.tv_nsec};
    return ERROR_SUCCESS;
}

WinePrefixBackend::Route WinePrefixBackend::route(bool forRead) {
    // A failure is reused too: a lock held past its time is waited for once per refresh, not per value.
    if (forRead && m_routeAge.isValid() && m_routeAge.elapsed() < kRouteReuseMs)
        return m_route;
    m_route = Route::Failed;
    switch (m_lock.probe(&m_lastError)) {
    case WineServerLock::Result::Held:
        m_route = Route::Files;
        break;
    case WineServerLock::Result::ServerRunning:
        m_route = Route::Tool;
        break;
    case WineServerLock::Result::Failed:
        break;
    }
    m_routeAge.start();
    return m_route;
}

bool WinePrefixBackend::serverRunning() {
    return route() == Route::Tool;
}

std::optional<WinePrefixBackend::Location> WinePrefixBackend::locate(const QString& fullPath) {
    Location at;
    if (const auto rest = below(fullPath, kUserHive)) {
        at = Location{User, *rest};
    } else if (const auto rest = below(fullPath, kMachineHive)) {
        at = Location{Machine, *rest};
    } else if (const auto rest = below(fullPath, kClassesHive)) {
        at = Location{Machine, joined(QStringLiteral("Software\\Classes"), *rest)};
    } else if (const auto rest = below(fullPath, kUsersHive)) {
        const QString sid = m_hives[User].file->root().section(QLatin1Char('\\'), -1);
        const auto mine = sid.isEmpty() ? std::nullopt : below(*rest, sid);
        if (!mine)
            return std::nullopt;
        at = Location{User, *mine};
    } else {
        return std::nullopt;
    }
    // A link key stands for the key its SymbolicLinkValue names, as "\REGISTRY\Machine\...".
    for (int hops = 0; hops < kMaxLinks; ++hops) {
        const QStringList parts = at.path.isEmpty() ? QStringList() : at.path.split(QLatin1Char('\\'));
        const WineRegIndex& file = *m_hives[at.hive].file;
        qsizetype link = -1;
        for (qsizetype i = 1; i <= parts.size() && link < 0; ++i) {
            if (file.isLink(parts.mid(0, i).join(QLatin1Char('\\'))))
                link = i;
        }
        if (link < 0)
            return at;
        const std::optional<RegValue> target =
            file.value(parts.mid(0, link).join(QLatin1Char('\\')), QStringLiteral("SymbolicLinkValue"));
        if (!target || target->type != winereg::REG_LINK)
            return std::nullopt;
        const QString targetPath = winereg::textOfData(target->data);
        const QString rest = parts.mid(link).join(QLatin1Char('\\'));
        bool found = false;
        for (const Hive hive : {User, Machine}) {
            const QString root = QLatin1Char('\\') + m_hives[hive].file->root();
            if (const auto inside = below(targetPath, root); inside && !root.isEmpty()) {
                at = Location{hive, joined(*inside, rest)};
                found = true;
                break;
            }
        }
        if (!found)
            return std::nullopt;
    }
    return std::nullopt;
}

long WinePrefixBackend::modify(Hive hive, const std::function<long(WineRegFile&, bool*)>& change) {
    HiveFile& h = m_hives[hive];
    if (!h.whole) {
        h.whole = WineRegFile::parse(h.file->bytes());
        if (!h.whole)
            return ERROR_BADDB;
    }
    WineRegFile next = *h.whole;
    bool changed = false;
    if (const long status = change(next, &changed))
        return status;
    if (!changed)
        return ERROR_SUCCESS;
    QString why;
    const QByteArray bytes = next.serialize();
    if (!writeFileAtomically(h.path, bytes, &why)) {
        m_lastError = QStringLiteral("Cannot write %1: %2").arg(h.path, why);
        h.file.reset();
        h.whole.reset();
        return ERROR_CANTWRITE;
    }
    h.file = WineRegIndex::index(bytes);
    h.whole = std::move(next);
    h.stamp.reset();
    // Read our own save's stamp, so the next read does not parse the file again.
    struct stat info {};
    if (::stat(QFile::encodeName(h.path).constData(), &info) == 0)
        h.stamp = FileStamp{quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
                            qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
    return ERROR_SUCCESS;
}

long WinePrefixBackend::storeKeyExists(const QString& path, bool* exists) {
    switch (route(true)) {
    case Route::Tool:
        if (pendingAtOrBelow(path)) {
            *exists = true;
            return ERROR_SUCCESS;
        }
        return toolKeyExists(path, exists);
    case Route::Failed:
        return ERROR_CANTREAD;
    case Route::Files:
        break;
    }
    if (const long status = refreshBoth())
        return status;
    const std::optional<Location> at = locate(path);
    *exists = at && m_hives[at->hive].file->hasKey(at->path);
    return ERROR_SUCCESS;
}

long WinePrefixBackend::storeReadValue(const QString& path, const QString& name, RegValue* value) {
    switch (route(true)) {
    case Route::Tool:
        return readThroughTool(path, name, value);
    case Route::Failed:
        return ERROR_CANTREAD;
    case Route::Files:
        break;
    }
    if (const long status = refreshBoth())
        return status;
    const std::optional<Location> at = locate(path);
    const std::optional<RegValue> found = at ? m_hives[at->hive].file->value(at->path, name) : std::nullopt;
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    if (textBeyondLatin1(*found)) {
        m_lastError =
            textBeyondLatin1Reason(QStringLiteral("%1\\%2 in %3").arg(path, name, m_hives[at->hive].path));
        return ERROR_CANTREAD;
    }
    *value = winereg::toAnsi(*found);
    return ERROR_SUCCESS;
}

long WinePrefixBackend::storeValueNames(const QString& path, QStringList* names) {
    switch (route(true)) {
    case Route::Tool:
        if (const long made = makePendingKeys())
            return made;
        // Wine's reg lists a key's values only beside their data, in a form names cannot be told
        // apart in; an export of the key's subtree names them.
        return m_exports.valueNames(path, names).value_or(ERROR_NOT_SUPPORTED);
    case Route::Failed:
        return ERROR_CANTREAD;
    case Route::Files:
        break;
    }
    if (const long status = refreshBoth())
        return status;
    const std::optional<Location> at = locate(path);
    if (!at || !m_hives[at->hive].file->hasKey(at->path))
        return ERROR_FILE_NOT_FOUND;
    *names = m_hives[at->hive].file->valueNames(at->path);
    return ERROR_SUCCESS;
}

long WinePrefixBackend::storeCreateKey(const QString& path, bool* created) {
    *created = false;
    const auto viaFiles = [&]() -> long {
        const std::optional<Location> at = locate(path);
        if (!at)
            return ERROR_BAD_PATHNAME;
        return modify(at->hive, [&](WineRegFile& file, bool* changed) {
            if (!file.createKey(at->path, fileTimeNow(), created))
                return ERROR_BAD_PATHNAME;
            *changed = *created;
            return ERROR_SUCCESS;
        });
    };
    const long status = underLock(viaFiles);
    if (status != kServerRunning)
        return status;
    m_lastRead.reset();
    if (pendingAtOrBelow(path))
        return ERROR_SUCCESS;
    bool exists = false;
    if (const long found = toolKeyExists(path, &exists))
        return found;
    if (exists)
        return ERROR_SUCCESS;
    // Its first value makes it, two Wine processes sooner than reg makes a key alone.
    m_pendingKeys.append(path);
    *created = true;
    return ERROR_SUCCESS;
}

long WinePrefixBackend::makePendingKeys() {
    while (!m_pendingKeys.isEmpty()) {
        const QString path = m_pendingKeys.takeFirst();
        m_lastRead.reset();
        m_exports.forget({path});
        m_wroteToServer = true;
        if (const long made = m_tool.createKey(path)) {
            m_pendingKeys.clear();
            m_lastError = m_tool.lastError();
            return made;
        }
    }
    return ERROR_SUCCESS;
}

bool WinePrefixBackend::pendingAtOrBelow(const QString& path) const {
    return std::any_of(m_pendingKeys.begin(), m_pendingKeys.end(),
                       [&](const QString& key) { return below(key, path).has_value(); });
}

bool WinePrefixBackend::pendingAtOrAbove(const QString& path) const {
    return std::any_of(m_pendingKeys.begin(), m_pendingKeys.end(),
                       [&](const QString& key) { return below(path, key).has_value(); });
}

long WinePrefixBackend::storeWriteValue(const QString& path, const QString& name, const RegValue& value) {
    const RegValue stored = winereg::fromAnsi(value);
    const auto viaFiles = [&]() -> long {
        const std::optional<Location> at = locate(path);
        if (!at || !m_hives[at->hive].file->hasKey(at->path))
            return ERROR_FILE_NOT_FOUND;
        return modify(at->hive, [&](WineRegFile& file, bool* changed) {
            // wineserver leaves a key's time alone when a value is set to what it holds.
            if (file.value(at->path, name) == stored)
                return ERROR_SUCCESS;
            file.setValue(at->path, name, stored, fileTimeNow());
            *changed = true;
            return ERROR_SUCCESS;
        });
    };
    const long status = underLock(viaFiles);
    if (status != kServerRunning)
        return status;
    m_lastRead.reset();
    // Setting a value to what it holds is no change: no Wine process for it.
    if (const auto held = m_exports.held(path, name); held && *held == value) {
        m_wroteToServer = false;
        return ERROR_SUCCESS;
    }
    m_wroteToServer = true;
    // The handle's key was there a moment ago; reg add would make it again if not.
    if (const long written = m_tool.writeValue(path, name, value)) {
        m_exports.forget({path});
        m_lastError = m_tool.lastError();
        return written;
    }
    // reg add made the key and its parents with the value.
    m_pendingKeys.removeIf([&](const QString& key) { return below(path, key).has_value(); });
    // reg add ends with 0 only when the registry took the value. A number named in ASCII has one
    // spelling on its command line, so the read-back needs no Wine process; anything else may be
    // changed on its way through the code page, so it is read back from Wine.
    if (value.type != REG_DWORD || !isAscii(path + name) || !m_exports.noteWritten(path, name, value))
        m_exports.forget({path});
    return ERROR_SUCCESS;
}

long WinePrefixBackend::storeDeleteValue(const QString& path, const QString& name) {
    const auto viaFiles = [&]() -> long {
        const std::optional<Location> at = locate(path);
        if (!at)
            return ERROR_FILE_NOT_FOUND;
        return modify(at->hive, [&](WineRegFile& file, bool* changed) {
            if (!file.removeValue(at->path, name, fileTimeNow()))
                return ERROR_FILE_NOT_FOUND;
            *changed = true;
            return ERROR_SUCCESS;
        });
    };
    const long status = underLock(viaFiles);
    if (status != kServerRunning)
        return status;
    if (pendingAtOrAbove(path))
        return ERROR_FILE_NOT_FOUND;
    // A value an export of a moment ago does not hold is deleted already: no Wine process for it.
    if (const auto held = m_exports.held(path, name); held && !*held)
        return ERROR_FILE_NOT_FOUND;
    m_lastRead.reset();
    m_wroteToServer = true;
    if (const long deleted = m_tool.deleteValue(path, name)) {
        m_exports.forget({path});
        m_lastError = m_tool.lastError();
        return deleted;
    }
    // reg delete ends with 0 only when the registry deleted the value.
    if (!isAscii(path + name) || !m_exports.noteWritten(path, name, std::nullopt))
        m_exports.forget({path});
    return ERROR_SUCCESS;
}

long WinePrefixBackend::readThroughTool(const QString& path, const QString& name, RegValue* value) {
    // The registry functions ask for a value twice, its size and then its data; one reg run answers both.
    if (m_lastRead && m_lastRead->age.isValid() && m_lastRead->age.elapsed() < kReadReuseMs &&
        m_lastRead->path == path && m_lastRead->name == name) {
        *value = m_lastRead->value;
        return ERROR_SUCCESS;
    }
    m_lastRead.reset();
    if (const std::optional<long> exported = m_exports.readValue(path, name, value)) {
        if (*exported != ERROR_SUCCESS && *exported != ERROR_FILE_NOT_FOUND)
            m_lastError = m_exports.lastError();
        return *exported;
    }
    const long status = m_tool.readValue(path, name, value);
    if (status == ERROR_SUCCESS) {
        m_lastRead = LastRead{path, name, *value, {}};
        m_lastRead->age.start();
    } else if (status != ERROR_FILE_NOT_FOUND) {
        m_lastError = m_tool.lastError();
    }
    return status;
}

long WinePrefixBackend::toolKeyExists(const QString& path, bool* exists) {
    if (const std::optional<long> exported = m_exports.keyExists(path, exists)) {
        if (*exported != ERROR_SUCCESS)
            m_lastError = m_exports.lastError();
        return *exported;
    }
    const long status = m_tool.keyExists(path, exists);
    if (status != ERROR_SUCCESS)
        m_lastError = m_tool.lastError();
    return status;
}

void WinePrefixBackend::prepareReads(const QList<RegKeyName>& keys) {
    if (route(true) != Route::Tool)
        return;
    // A failure is the next read's to tell.
    makePendingKeys();
    QStringList paths;
    for (const RegKeyName& key : keys) {
        const QString hive = hiveName(key.hive);
        if (const std::optional<QString> path = joinPath(hive, key.subKey); path && !hive.isEmpty())
            paths.append(*path);
    }
    m_exports.prepare(paths);
}

long WinePrefixBackend::applyChanges(const QList<RegChange>& changes, qsizetype* failed) {
    // One change keeps the single calls, as does a prefix whose files are edited directly, and a
    // batch that empties keys or writes only where missing, which one .reg file cannot say.
    const bool plain = std::all_of(changes.begin(), changes.end(), [](const RegChange& change) {
        return change.kind != RegChange::Kind::DeleteValues && change.mark != RegChange::Mark::Soft;
    });
    if (changes.size() >= 2 && plain && route() == Route::Tool) {
        if (const long made = makePendingKeys())
            return made;
        return importChanges(changes, failed);
    }
    const long status = KeyStoreBackend::applyChanges(changes, failed);
    if (status != ERROR_SUCCESS)
        return status;
    // A key made alone is made before the batch ends, so that its failure is the batch's.
    if (const long made = makePendingKeys()) {
        if (failed)
            *failed = changes.size() - 1;
        return made;
    }
    return ERROR_SUCCESS;
}

bool WinePrefixBackend::holds(const QString& path, const RegChange& change, QString* why) {
    if (change.kind == RegChange::Kind::CreateKey) {
        bool exists = false;
        const long status = toolKeyExists(path, &exists);
        *why = status ? m_tool.lastError() : QStringLiteral("the key is not there");
        return status == ERROR_SUCCESS && exists;
    }
    if (change.kind == RegChange::Kind::DeleteValues) {
        QStringList names;
        const long status = storeValueNames(path, &names);
        *why = QStringLiteral("the key's values are still there");
        return status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && names.isEmpty());
    }
    RegValue now;
    const long status = readThroughTool(path, change.name, &now);
    if (change.kind == RegChange::Kind::DeleteValue) {
        *why = QStringLiteral("the value is still there");
        return status == ERROR_FILE_NOT_FOUND;
    }
    *why = status == ERROR_FILE_NOT_FOUND ? QStringLiteral("the value is not there")
                                          : QStringLiteral("the value reads back different");
    return status == ERROR_SUCCESS && (now == change.value || change.mark == RegChange::Mark::Soft);
}

long WinePrefixBackend::importChanges(const QList<RegChange>& changes, qsizetype* failed) {
    const auto fail = [&](qsizetype index, long status) {
        if (failed)
            *failed = index;
        return status;
    };
    QStringList paths;
    for (qsizetype i = 0; i < changes.size(); ++i) {
        const std::optional<QString> path = joinPath(hiveName(changes[i].hive), changes[i].subKey);
        if (!path || RegPatch::hiveOf(*path) == 0)
            return fail(i, ERROR_BAD_PATHNAME);
        paths.append(*path);
    }
    m_exports.prepare(paths);
    QList<std::optional<RegValue>> before;
    RegPatch patch;
    for (qsizetype i = 0; i < changes.size(); ++i) {
        const RegChange& change = changes[i];
        const QString* const path = &paths[i];
        if (change.kind == RegChange::Kind::DeleteValues) {
            // A .reg file names each value it deletes: those the key holds now.
            QStringList names;
            const long status = storeValueNames(*path, &names);
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
                return fail(i, status);
            before.append(std::nullopt);
            for (const QString& name : std::as_const(names))
                patch.deleteValue(*path, name);
            continue;
        }
        // What each value held, to put back those after a change that does not hold.
        RegValue value;
        const long status = change.kind == RegChange::Kind::CreateKey
                                ? ERROR_FILE_NOT_FOUND
                                : readThroughTool(*path, change.name, &value);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            return fail(i, status);
        before.append(status == ERROR_SUCCESS ? std::optional<RegValue>(value) : std::nullopt);
        bool exists = false;
        if (change.kind == RegChange::Kind::CreateKey) {
            if (toolKeyExists(*path, &exists) != ERROR_SUCCESS || !exists)
                patch.createKey(*path);
        } else if (change.kind == RegChange::Kind::SetValue) {
            // A value that holds what is asked already is not written again, nor one a soft value
            // would overwrite.
            if (before.last() != change.value && !(before.last() && change.mark == RegChange::Mark::Soft))
                patch.setValue(*path, change.name, change.value);
        } else if (before.last()) {
            // A [key] line would make the key; a value that is not there is deleted already.
            patch.deleteValue(*path, change.name);
        }
    }
    // Deleting values that are not there, or setting what is there, writes nothing.
    if (patch.changes().isEmpty())
        return ERROR_SUCCESS;
    m_lastRead.reset();
    m_wroteToServer = true;
    QString messages;
    const long imported = m_tool.importPatch(patch, &messages);
    // Keys the patch left alone keep their export: the read-back exports again only what was written.
    QStringList written;
    for (const RegPatch::Change& change : patch.changes())
        written.append(change.keyPath);
    m_exports.forget(written);
    if (imported != ERROR_SUCCESS) {
        m_lastError = m_tool.lastError();
        return fail(0, imported);
    }
    m_exports.prepare(paths);
    for (qsizetype i = 0; i < changes.size(); ++i) {
        QString why;
        if (holds(paths[i], changes[i], &why))
            continue;
        // reg goes on past a key it cannot write; what it wrote after this one is put back.
        RegPatch undo;
        for (qsizetype j = i + 1; j < changes.size(); ++j) {
            if (changes[j].kind == RegChange::Kind::CreateKey ||
                changes[j].kind == RegChange::Kind::DeleteValues)
                continue;
            if (before[j])
                undo.setValue(paths[j], changes[j].name, *before[j]);
            else if (changes[j].kind == RegChange::Kind::SetValue)
                undo.deleteValue(paths[j], changes[j].name);
        }
        if (!undo.changes().isEmpty()) {
            QString ignored;
            m_tool.importPatch(undo, &ignored);
            m_exports.forget(paths);
        }
        m_lastError = QStringLiteral("Wine did not make it hold (%1)").arg(why);
        if (!messages.isEmpty())
            m_lastError += QStringLiteral(": ") + messages;
        return fail(i, ERROR_CANTWRITE);
    }
    return ERROR_SUCCESS;
}

long WinePrefixBackend::underLock(const std::function<long()>& body) {
    switch (m_lock.acquire(&m_lastError)) {
    case WineServerLock::Result::ServerRunning:
        return kServerRunning;
    case WineServerLock::Result::Failed:
        return ERROR_CANTWRITE;
    case WineServerLock::Result::Held:
        break;
    }
    m_wroteToServer = false;
    long status = refreshBoth();
    if (status == ERROR_SUCCESS)
        status = body();
    m_lock.release();
    return status;
}

std::optional<QString> WinePrefixBackend::computerName() {
    // Wine's programs see the volatile ActiveComputerName, which wineboot copies at every boot from
    // ComputerName\ComputerName; that key is saved in system.reg, so no Wine process is needed for it.
    const QString name = QStringLiteral("ComputerName");
    std::optional<RegValue> found;
    if (route(true) == Route::Tool) {
        // The files are not indexed while a server runs; the key line alone is looked for, in the
        // file mapped rather than read: copying 1.7 MB costs more than the search.
        QFile file(m_hives[Machine].path);
        QString ignored;
        const QString path = *below(QLatin1String(kComputerNameKey), kMachineHive);
        const uchar* mapped = openRegularFile(file, &ignored) ? file.map(0, file.size()) : nullptr;
        const QByteArray bytes =
            QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), mapped ? file.size() : 0);
        if (const std::optional<WineRegFile> key = WineRegIndex::keyAlone(bytes, path))
            found = key->value(path, name);
    }
    if (!found && refreshBoth() == ERROR_SUCCESS) {
        const std::optional<Location> at = locate(QLatin1String(kComputerNameKey));
        found = at ? m_hives[at->hive].file->value(at->path, name) : std::nullopt;
    }
    if (found && found->type == REG_SZ)
        return regValueText(winereg::toAnsi(*found));
    return KeyStoreBackend::computerName();
}

WindowsVersion WinePrefixBackend::windowsVersion() {
    RegValue value;
    if (storeReadValue(QStringLiteral("HKEY_CURRENT_USER\\Software\\Wine"), QStringLiteral("Version"),
                       &value) == ERROR_SUCCESS &&
        value.type == REG_SZ) {
        if (const std::optional<WindowsVersion> named = wineVersionOfName(regValueText(value)))
            return *named;
    }
    return KeyStoreBackend::windowsVersion();
}

bool WinePrefixBackend::requestRestart() {
    // wineboot starts a server when none runs; it reads the files we saved.
    if (m_tool.restart())
        return true;
    m_lastError = m_tool.lastError();
    return false;
}

} // namespace tavimor
