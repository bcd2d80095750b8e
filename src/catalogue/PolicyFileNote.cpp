// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicyFileNote.h"

#include "catalogue/CatalogueEntry.h"
#include "registry/KeyStoreBackend.h"
#include "registry/MSDNRegistry.h"

#include <QDir>
#include <QtEndian>

namespace tavimor {

std::optional<PolicyFileSetting> entryPolicyFileSetting(RegistryBackend& backend,
                                                        const CatalogueEntry& entry) {
    return backend.policyFileSetting(GetKeyValue(entry.text("KEY")), entry.text("PATH"),
                                     entry.text("REGNAME"));
}

RegDatum policyFileDatum(const RegValue& value) {
    if (value.type == REG_DWORD && value.data.size() == 4)
        return RegDatum::integer(qFromLittleEndian<qint32>(value.data.constData()));
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ)
        return RegDatum::text(regValueText(value));
    return RegDatum();
}

QString policyFileSettingText(const PolicyFileSetting& setting, const QString& name) {
    const QString file = QDir::toNativeSeparators(setting.file);
    if (!setting.unreadable.isEmpty())
        return QStringLiteral("what it sets is not known: %1").arg(setting.unreadable);
    if (!setting.value)
        return QStringLiteral("%1 deletes %2").arg(file, name);
    const RegDatum datum = policyFileDatum(*setting.value);
    const QString value =
        datum.isInteger() ? datum.toText()
        : datum.isText()
            ? QLatin1Char('"') + datum.toText() + QLatin1Char('"')
            : QStringLiteral("type %1, %2 bytes").arg(setting.value->type).arg(setting.value->data.size());
    return QStringLiteral("%1 sets %2 = %3; Windows sets it again at every policy refresh")
        .arg(file, name, value);
}

} // namespace tavimor
