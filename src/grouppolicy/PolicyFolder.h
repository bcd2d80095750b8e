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
    // One file; a missing file reads as an empty one. nullopt, *error naming the file and saying
    // why, when it cannot be read or is not a policy file.
    std::optional<PolFile> readFile(PolScope scope, QString* error) const;
    // The file's bytes as they are on disk; nullopt when there is none.
    std::optional<QByteArray> currentBytes(PolScope scope) const;
    // Why the file of scope cannot be replaced (its User or Machine folder or the file itself is a
    // link or of another kind, or the file is read-only); "" when it can.
    QString fileRefusal(PolScope scope) const;
    // GPT.INI of the folder in any case; "" when there is none.
    QString gptIniPath() const;
    // The lock every Tavimor process holds from reading the files to replacing them.
    QString lockPath() const { return m_folder + QStringLiteral("/.tavimor.lock"); }

private:
    QString m_folder;
};

// What tells a file apart from the one read before: an atomic rewrite gives it a new inode.
struct FileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
// nullopt when there is no file at path.
std::optional<FileStamp> fileStamp(const QString& path);

// Why path cannot be replaced: a link, no regular file, or read-only; "" when it can or is not there.
QString replaceRefusal(const QString& path);

inline qsizetype polIndex(PolScope scope) {
    return scope == PolScope::User ? 0 : 1;
}

} // namespace tavimor
