// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tavimor {

class CatalogueEntry;

// Entries whose registry value could not be read, counted by hive and reason, so that a user is told
// each reason once: "44 entries under HKEY_LOCAL_MACHINE: no SOFTWARE hive was named".
class UnreadTally {
public:
    void add(const QString& hive, const QString& reason);
    // The entry when its CURRENTVALUE is marked unread, under its KEY.
    void addEntry(const CatalogueEntry& entry);
    void add(const UnreadTally& other);
    bool isEmpty() const { return m_groups.isEmpty(); }
    int count() const;
    // One line per hive and reason, in the order they were first met.
    QStringList lines() const;

    struct Group {
        QString hive;
        QString reason;
        int count = 0;
    };
    const QList<Group>& groups() const { return m_groups; }
    static QString line(const Group& group);

private:
    QList<Group> m_groups;
};

} // namespace tavimor
