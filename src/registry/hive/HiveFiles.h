// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tavimor {

class Hivex;

// Why Windows' own copy of a hive is not all in the file: a header whose two sequence numbers
// differ, or a transaction log (.LOG1, .LOG2) written after it. "" when the file holds everything.
QString hivePendingChanges(const QString& path);

// Writes the hive to a temporary file beside path with path's owner and mode and renames it over
// path. The first time, the old file is kept as path + ".tavimor-bak".
[[nodiscard]] bool commitHiveFile(Hivex& hive, const QString& path, QString* error);

// The entry of folder whose name equals name without regard to case, as NTFS sees names; "" when
// there is none.
QString findEntryIgnoringCase(const QString& folder, const QString& name);

// A registry path with its first components removed, as Windows compares them (without regard to
// case): "" for first itself, nullopt when the path is not below first.
std::optional<QString> pathBelow(const QString& path, const QString& first);

// Users (or Documents and Settings) of a Windows installation mounted at root; "" when it has neither.
QString profilesFolder(const QString& root);
// The user profiles there with an NTUSER.DAT; the shared ones (Default, Public...) only when named.
QStringList userProfiles(const QString& root, const QString& shared = QString());

struct WindowsHives {
    QString user;     // NTUSER.DAT of the profile
    QString software; // Windows/System32/config/SOFTWARE
    QString system;   // Windows/System32/config/SYSTEM
};

// The hives of a Windows installation mounted at root. Without a user name the one profile there is
// taken; nullopt with *error set when a hive is missing or the profile cannot be told.
std::optional<WindowsHives> findWindowsHives(const QString& root, const QString& user, QString* error);

} // namespace tavimor
