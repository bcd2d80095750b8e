// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateSources.h"

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

} // namespace tavimor
