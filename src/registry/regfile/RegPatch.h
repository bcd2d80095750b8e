// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/KeyStoreBackend.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace tavimor {

enum class RegFormat { Regedit4 = 4, Version5 = 5 };

// How parse hands over quoted texts: as the registry layer holds them (Latin-1 and a NUL, a text
// beyond Latin-1 refused), or as Wine's server holds them (UTF-16LE and a zero, any text).
enum class RegText { Latin1, Utf16 };

// A .reg file as users exchange them: the changes it carries, in file order. Reads REGEDIT4 (8-bit
// text) and "Windows Registry Editor Version 5.00" (UTF-16LE with a byte order mark, as regedit
// writes it, or UTF-8); writes either.
class RegPatch {
public:
    struct Change {
        enum class Kind : quint8 { CreateKey, DeleteKey, SetValue, DeleteValue };
        Kind kind = Kind::CreateKey;
        QString keyPath; // "HKEY_CURRENT_USER\Software\...", the hive's name upper-cased
        QString name;    // "" for the default value
        // A text is held as the registry layer holds it: Latin-1 bytes and a terminating NUL; so are
        // REG_EXPAND_SZ and REG_MULTI_SZ, which a version 5 file keeps in UTF-16LE.
        RegValue value;
        int line = 0; // where the file says it, from 1; 0 for a change made in the program
        bool operator==(const Change&) const = default;
    };

    // nullopt when the file cannot be read as a whole; *error says why and *line where (from 1).
    static std::optional<RegPatch> parse(const QByteArray& bytes, QString* error, int* line,
                                         RegText text = RegText::Latin1);
    // Keys in the order they first appear. REGEDIT4, the format of Windows 95, 98 and Me, has no
    // deletions, so they are left out of it.
    QByteArray serialize(RegFormat format) const;

    void createKey(const QString& keyPath);
    void setValue(const QString& keyPath, const QString& name, const RegValue& value);
    void deleteValue(const QString& keyPath, const QString& name);

    const QList<Change>& changes() const { return m_changes; }
    // The format of the file read; Version5 for a patch made in the program.
    RegFormat format() const { return m_format; }

    // The hive of a key path, from its first component; 0 for one the registry layer does not know.
    static HKEY hiveOf(const QString& keyPath);
    // The key path below the hive ("" for the hive itself).
    static QString subKeyOf(const QString& keyPath);

private:
    class Parser;

    QList<Change> m_changes;
    RegFormat m_format = RegFormat::Version5;
};

} // namespace tavimor
