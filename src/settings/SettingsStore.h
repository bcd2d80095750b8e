// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "IniFile.h"
#include "TavimorVersion.h"

#include <QString>
#include <optional>

namespace tavimor {

inline constexpr auto kAppName = "TAVIMOR " TAVIMOR_VERSION;
inline constexpr auto kSection = "REGIKEY";

// The program's own per-user settings: one INI file per application name, the section as its group.
// Nothing is cached, so every read sees what was last saved, by this run or another process.
// A store that cannot be read or parsed is an error, never read as empty and never written over;
// lastError() then tells the file's path and what to do.
class SettingsStore {
public:
    // folder "" means the per-user place: QStandardPaths::writableLocation(GenericConfigLocation) +
    // "/tavimor".
    explicit SettingsStore(const QString& folder = QString());

    // The stored text, defaultText when the setting is missing; nullopt when the store fails.
    [[nodiscard]] std::optional<QString> GetSetting(const QString& appName, const QString& section,
                                                    const QString& key, const QString& defaultText) const;
    // true once the text is on disk and reads back; on false the file is as it was.
    bool SaveSetting(const QString& appName, const QString& section, const QString& key, const QString& text);

    // The program's own address: kAppName / kSection.
    [[nodiscard]] std::optional<QString> read(const QString& key, const QString& defaultText) const;
    bool save(const QString& key, const QString& text);

    // folder + "/" + appName + ".ini"
    QString fileName(const QString& appName) const;
    // Why the last failing read or save failed, with the file's path and what to do.
    QString lastError() const { return m_lastError; }

private:
    // The file's settings; an empty store when there is no file; nullopt on a failure.
    std::optional<IniFile> load(const QString& path) const;

    QString m_folder;
    mutable QString m_lastError;
};

// The error number the settings store's failures are reported with.
inline constexpr int kSettingsStoreError = 75;

} // namespace tavimor
