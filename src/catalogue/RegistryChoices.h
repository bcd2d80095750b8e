// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/TargetDiscovery.h"

#include <QStringList>

namespace tavimor {

// Where the registry chooser looks.
struct ChooserPlaces {
    QString home;
    QString winePrefixVariable;
    QList<MountEntry> mounts;
    QStringList sysvols; // SYSVOL folders whose GPOs are listed
    // The places of this machine and user.
    static ChooserPlaces ofThisMachine();
};

// The chooser's lines: the registries opened last, the embedded default, then a heading for Wine
// prefixes, Windows installations and Group Policy each; a heading with nothing under it says so.
QList<RegistryChoice> registryChoices(const ChooserPlaces& places, const QStringList& recent);

// What a folder or file the user browsed to opens, a domain's SYSVOL folder with its GPOs included.
std::optional<RegistryChoice> browsedChoice(const QString& path, const QString& home, QString* error);

} // namespace tavimor
