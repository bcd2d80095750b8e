// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicyFiles.h"

#include "catalogue/CatalogueEntry.h"
#include "registry/MSDNRegistry.h"
#include "registry/RegDatum.h"
#include "registry/RegistryBackend.h"

#include <QHash>
#include <QSet>

namespace tavimor {

namespace {

// Registry names are compared without regard to case.
QString identity(const QString& key, const QString& name) {
    return key.toCaseFolded() + QChar(0) + name.toCaseFolded();
}

} // namespace

QList<PolicyValue> catalogueValues(const XmlDocument& catalogue, const EntryValue& valueOf) {
    QList<PolicyValue> values;
    forEachEntry(catalogue, [&](const CatalogueEntry& entry, int, int) {
        if (const std::optional<PolScope> scope = scopeOfHive(entry.text("KEY")))
            values.append({*scope, entry.text("PATH"), entry.text("REGNAME"), valueOf(entry)});
    });
    return values;
}

std::optional<quint32> configuredValue(const CatalogueEntry& entry) {
    const std::optional<qint32> number = toLong(entry.currentValue().text());
    if (!number)
        return std::nullopt;
    return quint32(*number);
}

std::optional<quint32> registryValue(MSDNRegistry& registry, const CatalogueEntry& entry, QString* unread) {
    const RegDatum datum =
        registry.ReadKeyValue(GetKeyValue(entry.text("KEY")), entry.text("PATH"), entry.text("REGNAME"));
    if (unread && datum.isUnread())
        *unread = datum.unreadReason();
    if (!datum.isInteger())
        return std::nullopt;
    return quint32(datum.toInteger().value_or(0));
}

PolMerge mergePolicy(const PolFile& existing, PolScope scope, const QList<PolicyValue>& values,
                     bool deleteUnset) {
    // One record per value; where entries repeat a value the last one wins, as in the apply pass.
    QHash<QString, qsizetype> wanted;
    QList<const PolicyValue*> order;
    for (const PolicyValue& value : values) {
        if (value.scope != scope)
            continue;
        const QString id = identity(value.key, value.name);
        if (const auto found = wanted.constFind(id); found != wanted.cend()) {
            order[*found] = &value;
        } else {
            wanted.insert(id, order.size());
            order.append(&value);
        }
    }
    auto recordFor = [deleteUnset](const PolicyValue& value) -> std::optional<PolRecord> {
        if (value.value)
            return PolRecord::dwordRecord(value.key, value.name, *value.value);
        if (deleteUnset)
            return PolRecord::deletion(value.key, value.name);
        return std::nullopt;
    };

    PolMerge merge;
    merge.file.records.reserve(existing.records.size() + order.size());
    QList<bool> written(order.size(), false);
    for (const PolRecord& record : existing.records) {
        const auto found = wanted.constFind(identity(record.key, record.targetName()));
        if (found == wanted.cend()) {
            merge.file.records.append(record);
            merge.kept.append(record);
            continue;
        }
        if (written[*found])
            continue;
        written[*found] = true;
        if (std::optional<PolRecord> replacement = recordFor(*order[*found]))
            merge.file.records.append(std::move(*replacement));
    }
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (written[i])
            continue;
        if (std::optional<PolRecord> record = recordFor(*order[i]))
            merge.file.records.append(std::move(*record));
    }
    return merge;
}

void importPolicy(XmlDocument& catalogue, PolScope scope, const PolFile& file, PolImport& result,
                  const std::function<bool(const PolRecord&)>& known) {
    QSet<QString> named(result.setAddresses.cbegin(), result.setAddresses.cend());
    QHash<QString, QList<std::pair<XmlNode, QString>>> entries;
    forEachEntry(catalogue, [&](const CatalogueEntry& entry, int s, int e) {
        if (scopeOfHive(entry.text("KEY")) == scope)
            entries[identity(entry.text("PATH"), entry.text("REGNAME"))].append(
                {entry.currentValue(), entryAddress(s, e)});
    });
    for (const PolRecord& record : file.records) {
        const auto found = entries.constFind(identity(record.key, record.targetName()));
        if (found == entries.cend()) {
            if (!known || !known(record))
                result.unknown.append(record);
            continue;
        }
        if (record.isDeletion()) {
            result.deletions.append(record);
            continue;
        }
        const std::optional<quint32> value = record.dword();
        if (!value) {
            result.unusable.append(record);
            continue;
        }
        for (const auto& [current, address] : *found) {
            if (current.isNull()) {
                result.unusable.append(record);
                continue;
            }
            setCurrentValue(current, RegDatum::integer(qint32(*value)).toText());
            if (!named.contains(address)) {
                named.insert(address);
                result.setAddresses.append(address);
            }
        }
    }
}

QString recordTitle(PolScope scope, const PolRecord& record) {
    return hiveName(scope) + QLatin1Char('\\') + record.key + QLatin1Char('\\') + record.valueName;
}

} // namespace tavimor
