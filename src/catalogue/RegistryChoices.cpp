// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegistryChoices.h"

#include "grouppolicy/GroupPolicyObject.h"
#include "registry/TargetText.h"

#include <QFileInfo>

namespace tavimor {

namespace {

RegistryChoice heading(const QString& label, const QList<RegistryChoice>& children, const QString& none) {
    return {label, std::nullopt, children.isEmpty() ? none : QString(), children};
}

// A domain's SYSVOL folder with its GPOs, each by name and GUID; nullopt when it holds none.
std::optional<RegistryChoice> sysvolChoice(const QString& sysvol, const QString& home) {
    const QString folder = QFileInfo(sysvol).absoluteFilePath();
    QString note;
    const QList<GpoListing> gpos = GroupPolicyObject::list(folder, QString(), &note);
    if (gpos.isEmpty())
        return std::nullopt;
    QList<RegistryChoice> children;
    for (const GpoListing& gpo : gpos)
        children.append({gpo.name.isEmpty() ? gpo.guid : gpo.name + QLatin1Char(' ') + gpo.guid,
                         QStringLiteral("gpo:%1?gpo=%2").arg(folder, gpo.guid),
                         QString(),
                         {}});
    return RegistryChoice{displayPath(folder, home), std::nullopt, QString(), children};
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
    for (const QString& sysvol : places.sysvols)
        if (std::optional<RegistryChoice> choice = sysvolChoice(sysvol, places.home))
            policies.append(*choice);
    choices.append(heading(QStringLiteral("Group Policy"), policies,
                           QStringLiteral("Browse: a SYSVOL folder, a folder of .pol files")));
    return choices;
}

std::optional<RegistryChoice> browsedChoice(const QString& path, const QString& home, QString* error) {
    if (QFileInfo(path).isDir())
        if (std::optional<RegistryChoice> sysvol = sysvolChoice(path, home))
            return sysvol;
    return choiceForPath(path, home, error);
}

} // namespace tavimor
