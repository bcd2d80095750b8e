// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace tavimor {

// One line of the registry chooser: a registry to open, or a heading over several.
struct RegistryChoice {
    QString label;
    std::optional<QString> target; // the target it opens, canonical; nothing for a heading
    QString problem;               // why it cannot be opened; "" when it can
    QList<RegistryChoice> children;
};

// One mount of the kernel's table.
struct MountEntry {
    QString mountPoint;
    QString fsType;
    QString source;
    bool readOnly = false;
};

// The lines of /proc/self/mountinfo, with their escapes (\040 for a space...) undone.
QList<MountEntry> parseMountInfo(const QByteArray& text);
QByteArray readMountInfo();

// The Wine prefixes in $WINEPREFIX, ~/.wine and the prefix folders of the common Wine front-ends
// under home. A folder without system.reg and user.reg is no prefix and left out; a prefix the Wine
// target refuses is listed, not openable, with the reason.
QList<RegistryChoice> winePrefixChoices(const QString& home, const QString& winePrefixVariable);

// The Windows installations on NTFS, FAT and exFAT mounts: an NT one (Windows/System32/config) with
// a line per user profile, a Windows 95/98/Me WINDOWS folder as one line.
QList<RegistryChoice> windowsChoices(const QList<MountEntry>& mounts, const QString& home);

// What a folder or file the user browsed to opens: a Wine prefix, a Windows installation (with its
// profiles), a Windows 95/98/Me WINDOWS folder, a folder of .pol files, a registry file or a hive.
// nullopt with *error when it is none of them.
std::optional<RegistryChoice> choiceForPath(const QString& path, const QString& home, QString* error);

} // namespace tavimor
