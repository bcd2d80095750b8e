// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateSources.h"

#include "registry/TargetText.h"
#include "settings/SettingsStore.h"
#include "templates/TemplateFolders.h"

namespace tavimor {

QStringList configuredTemplateFolders(const QStringList& given, const QString& environment,
                                      const SettingsStore& settings) {
    QStringList folders = given;
    folders += TemplateFolders::split(environment);
    // A store that cannot be read has been reported where it was read first.
    folders += TemplateFolders::split(
        settings.read(QLatin1String(kTemplateFoldersKey), QString()).value_or(QString()));
    folders.removeDuplicates();
    return folders;
}

QStringList withCentralStores(QStringList folders, const QString& sysvol) {
    if (sysvol.isEmpty())
        return folders;
    for (const QString& store : TemplateFolders::centralStores(sysvol))
        if (!folders.contains(store))
            folders.append(store);
    return folders;
}

QStringList templateFoldersFor(const QString& target, const QString& environment,
                               const SettingsStore& settings, const QStringList& given) {
    return withCentralStores(configuredTemplateFolders(given, environment, settings), gpoSysvol(target));
}

} // namespace tavimor
