// SPDX-License-Identifier: GPL-3.0-or-later
#include "UnreadTally.h"

#include "catalogue/CatalogueEntry.h"

namespace tavimor {

void UnreadTally::add(const QString& hive, const QString& reason) {
    QString why = reason.trimmed();
    if (why.endsWith(QLatin1Char('.')))
        why.chop(1);
    for (Group& group : m_groups) {
        if (group.hive == hive && group.reason == why) {
            ++group.count;
            return;
        }
    }
    m_groups.append({hive, why, 1});
}

void UnreadTally::addEntry(const CatalogueEntry& entry) {
    if (const std::optional<QString> reason = entry.unreadReason())
        add(entry.text("KEY"), *reason);
}

void UnreadTally::add(const UnreadTally& other) {
    for (const Group& group : other.m_groups) {
        for (int i = 0; i < group.count; ++i)
            add(group.hive, group.reason);
    }
}

int UnreadTally::count() const {
    int total = 0;
    for (const Group& group : m_groups)
        total += group.count;
    return total;
}

QString UnreadTally::line(const Group& group) {
    return QStringLiteral("%1 %2 under %3: %4")
        .arg(group.count)
        .arg(QLatin1String(group.count == 1 ? "entry" : "entries"), group.hive, group.reason);
}

QStringList UnreadTally::lines() const {
    QStringList lines;
    for (const Group& group : m_groups)
        lines.append(line(group));
    return lines;
}

} // namespace tavimor
