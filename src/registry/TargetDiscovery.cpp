// SPDX-License-Identifier: GPL-3.0-or-later
#include "TargetDiscovery.h"

#include "TargetText.h"
#include "base/FileUtil.h"
#include "registry/hive/HiveFiles.h"
#include "registry/wine/WinePrefixBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace tavimor {

namespace {

struct FrontEnd {
    const char* name;
    const char* folder; // below the home folder; each folder in it may be a prefix
    const char* below;  // where the prefix lies inside each of them
};

// Where the common front-ends keep their prefixes when left to their defaults.
constexpr FrontEnd kFrontEnds[] = {
    {"Bottles", ".local/share/bottles/bottles", ""},
    {"Bottles", ".var/app/com.usebottles.bottles/data/bottles/bottles", ""},
    {"Lutris", "Games", ""},
    {"Heroic", "Games/Heroic/Prefixes", ""},
    {"Heroic", "Games/Heroic/Prefixes/default", ""},
    {"PlayOnLinux", ".PlayOnLinux/wineprefix", ""},
    {"CrossOver", ".cxoffice", ""},
    {"Winetricks", ".local/share/wineprefixes", ""},
    {"Steam", ".steam/steam/steamapps/compatdata", "/pfx"},
    {"Steam", ".local/share/Steam/steamapps/compatdata", "/pfx"},
    {"Steam", ".var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/compatdata", "/pfx"},
};

QString unescapeMountField(const QByteArray& field) {
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && code < 256) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QFile::decodeName(out);
}

bool hasReadOnly(const QByteArray& options) {
    return options.split(',').contains("ro");
}

QString fileSystemName(const QString& type) {
    if (type == QLatin1String("ntfs") || type == QLatin1String("ntfs3") ||
        type == QLatin1String("fuse.ntfs-3g"))
        return QStringLiteral("NTFS");
    if (type == QLatin1String("vfat") || type == QLatin1String("msdos") || type == QLatin1String("fat"))
        return QStringLiteral("FAT");
    if (type == QLatin1String("exfat") || type == QLatin1String("fuse.exfat"))
        return QStringLiteral("exFAT");
    // ntfs-3g and exfat-fuse both show as fuseblk.
    return type == QLatin1String("fuseblk") ? QString() : QStringLiteral("?");
}

// The entry path/parts[0]/parts[1]... matched without regard to case; "" when one is missing.
QString walk(QString path, const QStringList& parts) {
    for (const QString& part : parts) {
        path = findEntryIgnoringCase(path, part);
        if (path.isEmpty())
            break;
    }
    return path;
}

bool isNtRoot(const QString& root) {
    return QFileInfo(
               walk(root, {QStringLiteral("Windows"), QStringLiteral("System32"), QStringLiteral("config")}))
        .isDir();
}

// The WINDOWS folder of a Windows 95/98/Me disk: the folder itself or its WINDOWS, holding SYSTEM.DAT.
QString win9xFolder(const QString& path) {
    for (const QString& folder : {path, findEntryIgnoringCase(path, QStringLiteral("WINDOWS"))})
        if (!folder.isEmpty() &&
            QFileInfo(findEntryIgnoringCase(folder, QStringLiteral("SYSTEM.DAT"))).isFile())
            return folder;
    return QString();
}

bool isPrefixFolder(const QString& path) {
    return QFileInfo(path).isDir() && QFileInfo::exists(path + QStringLiteral("/system.reg")) &&
           QFileInfo::exists(path + QStringLiteral("/user.reg"));
}

bool isPolicyFolder(const QString& path) {
    for (const char* scope : {"User", "Machine"})
        if (!walk(path, {QLatin1String(scope), QStringLiteral("Registry.pol")}).isEmpty())
            return true;
    return false;
}

RegistryChoice wineChoice(const QString& label, const QString& prefix) {
    const QString absolute = QFileInfo(prefix).absoluteFilePath();
    return {label, QStringLiteral("wine:") + absolute, WinePrefixBackend::refusal(absolute), {}};
}

// An NT installation at root: a heading with a line per user profile.
RegistryChoice ntChoice(const QString& label, const QString& root, bool readOnly) {
    RegistryChoice choice{label, std::nullopt, QString(), {}};
    const QString absolute = QFileInfo(root).absoluteFilePath();
    for (const QString& profile : userProfiles(absolute))
        choice.children.append({readOnly ? profile + QStringLiteral(" (read-only)") : profile,
                                QStringLiteral("windows:%1?user=%2").arg(absolute, profile),
                                QString(),
                                {}});
    if (choice.children.isEmpty())
        choice.problem =
            QStringLiteral("%1 has no user profile with an NTUSER.DAT under Users").arg(absolute);
    return choice;
}

RegistryChoice win9xChoice(const QString& label, const QString& folder) {
    return {label, QStringLiteral("win9x:") + QFileInfo(folder).absoluteFilePath(), QString(), {}};
}

// What a file opens as: a hive by its signature, a registry file, a Group Policy file's folder,
// the folder of a Wine or Windows 95/98/Me registry file.
std::optional<RegistryChoice> fileChoice(const QFileInfo& file, const QString& label, const QString& home) {
    const QString path = file.absoluteFilePath();
    const QString name = file.fileName().toUpper();
    QFile f(path);
    const QByteArray head = openRegularFile(f) ? f.read(64) : QByteArray();
    if (head.startsWith("regf")) {
        const QString position = name == QLatin1String("SOFTWARE") ? QStringLiteral(",")
                                 : name == QLatin1String("SYSTEM") ? QStringLiteral(",,")
                                                                   : QString();
        return RegistryChoice{label, QStringLiteral("hive:") + position + path, QString(), {}};
    }
    const QString folder = file.absolutePath();
    if (name == QLatin1String("SYSTEM.REG") || name == QLatin1String("USER.REG"))
        return wineChoice(displayPath(folder, home), folder);
    if (name == QLatin1String("SYSTEM.DAT") || name == QLatin1String("USER.DAT"))
        return win9xChoice(displayPath(folder, home), folder);
    const QString scope = QFileInfo(folder).fileName().toUpper();
    if (name == QLatin1String("REGISTRY.POL") &&
        (scope == QLatin1String("USER") || scope == QLatin1String("MACHINE"))) {
        const QString policies = QFileInfo(folder).absolutePath();
        return RegistryChoice{displayPath(policies, home), QStringLiteral("pol:") + policies, QString(), {}};
    }
    if (name.endsWith(QLatin1String(".REG")) || head.startsWith("REGEDIT4"))
        return RegistryChoice{label, QStringLiteral("file:") + path, QString(), {}};
    return std::nullopt;
}

} // namespace

QList<MountEntry> parseMountInfo(const QByteArray& text) {
    QList<MountEntry> mounts;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (dash < 6 || dash + 3 > fields.size())
            continue;
        mounts.append(
            {unescapeMountField(fields[4]), unescapeMountField(fields[dash + 1]),
             unescapeMountField(fields[dash + 2]),
             hasReadOnly(fields[5]) || (dash + 3 < fields.size() && hasReadOnly(fields[dash + 3]))});
    }
    return mounts;
}

QByteArray readMountInfo() {
    return readWholeFile(QStringLiteral("/proc/self/mountinfo"), 16 * 1024 * 1024).value_or(QByteArray());
}

QList<RegistryChoice> winePrefixChoices(const QString& home, const QString& winePrefixVariable) {
    QList<std::pair<QString, QString>> candidates;
    if (!winePrefixVariable.isEmpty())
        candidates.append({QStringLiteral("$WINEPREFIX"), winePrefixVariable});
    candidates.append({QStringLiteral("~/.wine"), home + QStringLiteral("/.wine")});
    for (const FrontEnd& frontEnd : kFrontEnds) {
        const QDir folder(home + QLatin1Char('/') + QLatin1String(frontEnd.folder));
        for (const QString& entry : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            candidates.append({QStringLiteral("%1: %2").arg(QLatin1String(frontEnd.name), entry),
                               folder.filePath(entry) + QLatin1String(frontEnd.below)});
    }
    QList<RegistryChoice> choices;
    QSet<QString> seen;
    for (const auto& [label, path] : std::as_const(candidates)) {
        // ~/.steam/steam is a link to Steam's own folder, and $WINEPREFIX often ~/.wine.
        const QString identity = QFileInfo(path).canonicalFilePath();
        if (!isPrefixFolder(path) || seen.contains(identity))
            continue;
        seen.insert(identity);
        choices.append(wineChoice(label, path));
    }
    return choices;
}

QList<RegistryChoice> windowsChoices(const QList<MountEntry>& mounts, const QString& home) {
    QList<RegistryChoice> choices;
    QSet<QString> seen;
    for (const MountEntry& mount : mounts) {
        const QString fs = fileSystemName(mount.fsType);
        if (fs == QLatin1String("?") || seen.contains(mount.mountPoint))
            continue;
        QStringList facts{mount.source};
        if (!fs.isEmpty())
            facts.append(fs);
        const QString where = displayPath(mount.mountPoint, home);
        if (isNtRoot(mount.mountPoint)) {
            if (mount.readOnly)
                facts.append(QStringLiteral("read-only"));
            choices.append(ntChoice(QStringLiteral("%1 (%2)").arg(where, facts.join(QStringLiteral(", "))),
                                    mount.mountPoint, mount.readOnly));
        } else if (const QString folder = win9xFolder(mount.mountPoint); !folder.isEmpty()) {
            facts.append(QStringLiteral("Windows 95/98/Me, read-only"));
            choices.append(
                win9xChoice(QStringLiteral("%1 (%2)").arg(where + folder.mid(mount.mountPoint.size()),
                                                          facts.join(QStringLiteral(", "))),
                            folder));
        } else {
            continue;
        }
        seen.insert(mount.mountPoint);
    }
    return choices;
}

std::optional<RegistryChoice> choiceForPath(const QString& path, const QString& home, QString* error) {
    const QFileInfo info(path);
    const QString label = displayPath(info.absoluteFilePath(), home);
    if (!info.exists()) {
        *error = QStringLiteral("%1 does not exist.").arg(path);
        return std::nullopt;
    }
    if (info.isDir()) {
        if (isPrefixFolder(path))
            return wineChoice(label, path);
        if (isNtRoot(path))
            return ntChoice(label, path, false);
        if (const QString folder = win9xFolder(path); !folder.isEmpty())
            return win9xChoice(label, folder);
        if (isPolicyFolder(path))
            return RegistryChoice{label, QStringLiteral("pol:") + info.absoluteFilePath(), QString(), {}};
    } else if (std::optional<RegistryChoice> choice = fileChoice(info, label, home)) {
        return choice;
    }
    *error =
        QStringLiteral("%1 is none of the registries Tavimor opens: a Wine prefix (system.reg and user.reg), "
                       "a Windows disk (Windows/System32/config), the WINDOWS folder of a Windows 95/98/Me "
                       "disk (SYSTEM.DAT), a folder of Group Policy files (User/Registry.pol, "
                       "Machine/Registry.pol), a domain's SYSVOL folder, a REGEDIT4 file or a hive file.")
            .arg(path);
    return std::nullopt;
}

} // namespace tavimor
