// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegistryChoices.h"

#include "registry/TargetText.h"

#include <QFileInfo>

namespace tavimor {

namespace {

RegistryChoice heading(const QString& label, const QList<RegistryChoice>& children, const QString& none) {
    return {label, std::nullopt, children.isEmpty() ? none : QString(), children};
}

} // namespace

ChooserPlaces ChooserPlaces::ofThisMachine() {
    ChooserPlaces places;
    places.home = QDir::homePath();
    places.winePrefixVariable = qEnvironmentVariable("WINEPREFIX");
    places.mounts = parseMountInfo(readMountInfo());
    // Where a Samba domain controller keeps it.
    if (const QString sysvol = QStringLiteral("/var/lib/samba/sysvol"); QFileInfo(sysvol).isReadable())
        places.sysvols.append(sysvol);
    return places;
}

QList<RegistryChoice> registryChoices(const ChooserPlaces& places, const QStringList& recent) {
    QList<RegistryChoice> choices;
    QList<RegistryChoice> opened;
    for (const QString& target : recent)
        opened.append({displayTarget(target, places.home), target, QString(), {}});
    if (!opened.isEmpty())
        choices.append(heading(QStringLiteral("Recent"), opened, QString()));
    choices.append({QStringLiteral("Embedded registry"), QString(), QString(), {}});
    choices.append(heading(QStringLiteral("Wine prefixes"),
                           winePrefixChoices(places.home, places.winePrefixVariable),
                           QStringLiteral("None found; \"wineboot --init\" makes ~/.wine")));
    choices.append(heading(QStringLiteral("Windows installations"),
                           windowsChoices(places.mounts, places.home),
                           QStringLiteral("No Windows disk is mounted")));
    QList<RegistryChoice> policies;
    choices.append(heading(QStringLiteral("Group Policy"), policies,
                           QStringLiteral("Browse: a SYSVOL folder, a folder of .pol files")));
    return choices;
}

std::optional<RegistryChoice> browsedChoice(const QString& path, const QString& home, QString* error) {
    return choiceForPath(path, home, error);
}

} // namespace tavimor
