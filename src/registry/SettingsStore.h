#pragma once

#include "TavimorVersion.h"

#include <QString>

namespace tavimor {

inline constexpr auto kAppName = "TAVIMOR " TAVIMOR_VERSION;
inline constexpr auto kSection = "REGIKEY";

// The program's own per-user settings: one INI file per application name, the section as its group.
// Nothing is cached, so every read sees what was last saved, by this run or another process.
class SettingsStore {
public:
    // folder "" means the per-user place: QStandardPaths::writableLocation(GenericConfigLocation) +
    // "/tavimor".
    explicit SettingsStore(const QString& folder = QString());

    QString GetSetting(const QString& appName, const QString& section, const QString& key,
                       const QString& defaultText) const;
    bool SaveSetting(const QString& appName, const QString& section, const QString& key, const QString& text);

    // The program's own address: kAppName / kSection.
    QString read(const QString& key, const QString& defaultText) const;
    bool save(const QString& key, const QString& text);

    // folder + "/" + appName + ".ini"
    QString fileName(const QString& appName) const;

private:
    QString m_folder;
};

} // namespace tavimor
