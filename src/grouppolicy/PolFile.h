// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/RegistryBackend.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace tavimor {

// One [key;value;type;size;data] record of a Group Policy registry file.
struct PolRecord {
    QString key;       // below the hive the file belongs to, no leading backslash
    QString valueName; // "**del.NAME" asks a client to delete NAME
    quint32 type = 0;
    QByteArray data;

    bool isDeletion() const;
    // The value the record sets or deletes: the name without "**del.".
    QString targetName() const;
    // The DWORD of a 4-byte REG_DWORD record.
    std::optional<quint32> dword() const;
    bool operator==(const PolRecord&) const = default;

    static PolRecord dwordRecord(const QString& key, const QString& name, quint32 value);
    static PolRecord deletion(const QString& key, const QString& name);
};

// A Registry.pol file: the "PReg" signature, version 1, then records in UTF-16LE. Names are kept
// as the UTF-16 units they were read as, so a file that is read and written again is unchanged.
class PolFile {
public:
    QList<PolRecord> records;

    // nullopt when the bytes are not such a file; *error then says why and where.
    static std::optional<PolFile> parse(const QByteArray& bytes, QString* error = nullptr);
    QByteArray serialize() const;

    // The file as a registry: what a client that applies it holds under key (its records taken in
    // order, "**del.", "**delvals.", "**DeleteValues" and "**DeleteKeys" included). A name that
    // begins with "**" gives that record itself. Keys and names are compared without regard to case.
    std::optional<RegValue> valueOf(const QString& key, const QString& name) const;
    // The names of the values a client holds under key after applying the file, in the order first set.
    QStringList valueNames(const QString& key) const;
    // Whether a record lies in key or below it.
    bool hasKey(const QString& key) const;
    // The first record that sets or deletes name under key ("NAME", "**del.NAME", "**soft.NAME");
    // -1 when none does.
    qsizetype recordFor(const QString& key, const QString& name) const;
    // Makes the file set name to value: the first record for it is replaced where it stands, later
    // ones dropped, or a record is added at the end. "**del.NAME" replaces a record setting NAME
    // the same way. false when the file already said exactly that.
    bool setRecord(const QString& key, const QString& name, const RegValue& value);
    // Drops every record for name under key, so the file no longer speaks of it; false when none did.
    bool removeRecords(const QString& key, const QString& name);
};

} // namespace tavimor
