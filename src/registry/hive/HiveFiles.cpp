// SPDX-License-Identifier: GPL-3.0-or-later
#include "HiveFiles.h"

#include "Hivex.h"
#include "base/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavimor {

namespace {

QString systemError(const QString& what) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

bool syncPath(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// The first time a hive is written the untouched file stays beside it; a link costs nothing and
// cannot be left half written, a copy is made where links are not allowed.
bool keepBackup(const QString& path, QString* error) {
    const QString backup = path + QStringLiteral(".tavimor-bak");
    if (QFileInfo::exists(backup) || QFileInfo(backup).isSymLink())
        return true;
    if (::link(QFile::encodeName(path).constData(), QFile::encodeName(backup).constData()) == 0)
        return true;
    const QString partial = backup + QStringLiteral(".part");
    QFile::remove(partial);
    if (QFile::copy(path, partial) && syncPath(partial, O_RDONLY) && QFile::rename(partial, backup))
        return true;
    QFile::remove(partial);
    *error = QStringLiteral("cannot keep the old hive as %1").arg(backup);
    return false;
}

const QStringList kSharedProfiles = {QStringLiteral("Default"), QStringLiteral("Default User"),
                                     QStringLiteral("All Users"), QStringLiteral("Public")};

} // namespace

QString hivePendingChanges(const QString& path) {
    QFile file(path);
    // What is no hive file is refused when it is opened, with the reason.
    if (!openRegularFile(file))
        return QString();
    const QByteArray header = file.read(12);
    if (header.size() == 12 && header.startsWith("regf") &&
        qFromLittleEndian<quint32>(header.constData() + 4) !=
            qFromLittleEndian<quint32>(header.constData() + 8))
        return QStringLiteral("its header says a write was not finished");
    const QFileInfo hive(path);
    // One pass over the folder for the three logs, names compared without regard to case as NTFS
    // does, and no pattern to compile: this runs for every hive a command opens.
    const QString folder = hive.absolutePath();
    const QStringList wanted = {hive.fileName() + QStringLiteral(".LOG1"),
                                hive.fileName() + QStringLiteral(".LOG2"),
                                hive.fileName() + QStringLiteral(".LOG")};
    QStringList logs(wanted.size());
    if (DIR* listing = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* item = ::readdir(listing)) {
            const QString name = QFile::decodeName(item->d_name);
            for (qsizetype i = 0; i < wanted.size(); ++i)
                if (name.compare(wanted[i], Qt::CaseInsensitive) == 0)
                    logs[i] = name;
        }
        ::closedir(listing);
    }
    // In the order Windows writes them: the first newer log is the one named.
    for (const QString& log : std::as_const(logs)) {
        const QFileInfo info(folder + QLatin1Char('/') + log);
        if (!log.isEmpty() && info.size() > 0 && info.lastModified() > hive.lastModified())
            return QStringLiteral("%1 is newer than the hive").arg(info.fileName());
    }
    return QString();
}

bool commitHiveFile(Hivex& hive, const QString& path, QString* error) {
    // Renaming over a link would replace it silently; the other stores refuse links the same way.
    if (const QString refused = writeRefusal(path); !refused.isEmpty()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, refused);
        return false;
    }
    struct stat old {};
    if (::stat(QFile::encodeName(path).constData(), &old) != 0) {
        *error = systemError(path);
        return false;
    }
    const QFileInfo info(path);
    QByteArray temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                        QStringLiteral(".tavimor-XXXXXX"));
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        *error = systemError(QStringLiteral("cannot write in %1").arg(info.absolutePath()));
        return false;
    }
    ::close(fd);
    const QString tempPath = QFile::decodeName(temp);
    const auto fail = [&](const QString& why) {
        QFile::remove(tempPath);
        *error = why;
        return false;
    };
    QString why;
    if (!hive.commit(tempPath, &why))
        return fail(QStringLiteral("%1 (%2)").arg(why, path));
    // A hive written as root for another user stays that user's.
    if (::chmod(temp.constData(), old.st_mode & 07777) != 0 ||
        ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
         ::chown(temp.constData(), old.st_uid, old.st_gid) != 0))
        return fail(
            systemError(QStringLiteral("cannot give the new hive the owner and mode of %1").arg(path)));
    if (!syncPath(tempPath, O_RDONLY))
        return fail(systemError(QStringLiteral("cannot write %1").arg(path)));
    if (!keepBackup(path, &why))
        return fail(why);
    if (::rename(temp.constData(), QFile::encodeName(path).constData()) != 0)
        return fail(systemError(QStringLiteral("cannot replace %1").arg(path)));
    syncPath(info.absolutePath(), O_RDONLY | O_DIRECTORY);
    return true;
}

std::optional<QString> pathBelow(const QString& path, const QString& first) {
    if (path.compare(first, Qt::CaseInsensitive) == 0)
        return QString();
    if (path.startsWith(first + QLatin1Char('\\'), Qt::CaseInsensitive))
        return path.mid(first.size() + 1);
    return std::nullopt;
}

QString findEntryIgnoringCase(const QString& folder, const QString& name) {
    const QDir dir(folder);
    if (dir.exists(name))
        return dir.filePath(name);
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return QString();
}

QString profilesFolder(const QString& root) {
    const QString users = findEntryIgnoringCase(root, QStringLiteral("Users"));
    return users.isEmpty() ? findEntryIgnoringCase(root, QStringLiteral("Documents and Settings")) : users;
}

QStringList userProfiles(const QString& root, const QString& shared) {
    const QString users = profilesFolder(root);
    if (users.isEmpty())
        return {};
    const QDir usersDir(users);
    QStringList profiles;
    for (const QString& folder : usersDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const bool isShared = kSharedProfiles.contains(folder, Qt::CaseInsensitive);
        if (!findEntryIgnoringCase(usersDir.filePath(folder), QStringLiteral("NTUSER.DAT")).isEmpty() &&
            (!isShared || folder.compare(shared, Qt::CaseInsensitive) == 0))
            profiles.append(folder);
    }
    return profiles;
}

std::optional<WindowsHives> findWindowsHives(const QString& root, const QString& user, QString* error) {
    const auto fail = [error](const QString& message) -> std::optional<WindowsHives> {
        *error = message;
        return std::nullopt;
    };
    const auto walk = [](QString path, const QStringList& parts) {
        for (const QString& part : parts) {
            path = findEntryIgnoringCase(path, part);
            if (path.isEmpty())
                break;
        }
        return path;
    };
    if (!QFileInfo(root).isDir())
        return fail(QStringLiteral("%1 is not a folder").arg(root));
    WindowsHives hives;
    const QStringList config = {QStringLiteral("Windows"), QStringLiteral("System32"),
                                QStringLiteral("config")};
    hives.software = walk(root, config + QStringList{QStringLiteral("SOFTWARE")});
    hives.system = walk(root, config + QStringList{QStringLiteral("SYSTEM")});
    if (hives.software.isEmpty() || hives.system.isEmpty())
        return fail(QStringLiteral("%1 holds no Windows installation: Windows/System32/config/SOFTWARE and "
                                   "SYSTEM are not both there")
                        .arg(root));
    const QDir usersDir(profilesFolder(root));
    const QStringList profiles = userProfiles(root, user);
    QString profile;
    if (!user.isEmpty()) {
        for (const QString& folder : profiles) {
            if (folder.compare(user, Qt::CaseInsensitive) == 0)
                profile = folder;
        }
        if (profile.isEmpty())
            return fail(
                QStringLiteral("%1 has no user profile \"%2\" with an NTUSER.DAT; the profiles are: %3")
                    .arg(root, user,
                         profiles.isEmpty() ? QStringLiteral("none") : profiles.join(QStringLiteral(", "))));
    } else if (profiles.size() == 1) {
        profile = profiles.first();
    } else if (profiles.isEmpty()) {
        return fail(QStringLiteral("%1 has no user profile with an NTUSER.DAT under Users").arg(root));
    } else {
        return fail(QStringLiteral("%1 has several user profiles: %2. Name one with windows:%1?user=NAME")
                        .arg(root, profiles.join(QStringLiteral(", "))));
    }
    hives.user = findEntryIgnoringCase(usersDir.filePath(profile), QStringLiteral("NTUSER.DAT"));
    return hives;
}

} // namespace tavimor
