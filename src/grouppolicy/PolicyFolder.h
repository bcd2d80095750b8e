// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PolFile.h"

#include <QString>
#include <array>
#include <optional>

namespace tavimor {

// The two halves of a Group Policy folder: User/Registry.pol for HKEY_CURRENT_USER values,
// Machine/Registry.pol for HKEY_LOCAL_MACHINE values.
enum class PolScope { User, Machine };
inline constexpr PolScope kPolScopes[] = {PolScope::User, PolScope::Machine};

QString hiveName(PolScope scope);
// The scope of a hive name; nullopt for hives a policy file cannot hold.
std::optional<PolScope> scopeOfHive(const QString& hive);

// A folder holding User/Registry.pol and Machine/Registry.pol, as a Group Policy object's folder
// in SYSVOL does. Folder and file names are found without regard to case, as Windows names them.
class PolicyFolder {
public:
    explicit PolicyFolder(const QString& folder)
        : m_folder(folder) {}

    const QString& folder() const { return m_folder; }
    QString filePath(PolScope scope) const;

    // Both files; a missing file reads as an empty one. false, *error naming the file, when one
    // cannot be read or is not a policy file.
    [[nodiscard]] bool read(std::array<PolFile, 2>& files, QString* error) const;
    // The file's bytes as they are on disk; nullopt when there is none.
    std::optional<QByteArray> currentBytes(PolScope scope) const;
    // Writes one file atomically, creating its sub folder when needed.
    [[nodiscard]] bool write(PolScope scope, const QByteArray& bytes, QString* error) const;

private:
    QString m_folder;
};

inline qsizetype polIndex(PolScope scope) {
    return scope == PolScope::User ? 0 : 1;
}

} // namespace tavimor
