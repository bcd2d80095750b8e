// SPDX-License-Identifier: GPL-3.0-or-later
#include "WineVersions.h"

namespace tavimor {

std::optional<WindowsVersion> wineVersionOfName(const QString& name) {
    static const struct {
        const char* name;
        WindowsVersion version;
    } kVersions[] = {
        {"win11", {2, 10, 0, 22000, QStringLiteral("Windows 11")}},
        {"win10", {2, 10, 0, 18362, QStringLiteral("Windows 10")}},
        {"win81", {2, 6, 3, 9600, QStringLiteral("Windows 8.1")}},
        {"win8", {2, 6, 2, 9200, QStringLiteral("Windows 8")}},
        {"win2008r2", {2, 6, 1, 7601, QStringLiteral("Windows 2008 R2")}},
        {"win7", {2, 6, 1, 7601, QStringLiteral("Windows 7")}},
        {"win2008", {2, 6, 0, 6002, QStringLiteral("Windows 2008")}},
        {"vista", {2, 6, 0, 6002, QStringLiteral("Windows Vista")}},
        {"win2003", {2, 5, 2, 3790, QStringLiteral("Windows 2003")}},
        {"winxp64", {2, 5, 2, 3790, QStringLiteral("Windows XP")}},
        {"winxp", {2, 5, 1, 2600, QStringLiteral("Windows XP")}},
        {"win2k", {2, 5, 0, 2195, QStringLiteral("Windows 2000")}},
        {"nt40", {2, 4, 0, 1381, QStringLiteral("Windows NT 4.0")}},
        {"nt351", {2, 3, 51, 1057, QStringLiteral("Windows NT 3.51")}},
        {"winme", {1, 4, 90, 3000, QStringLiteral("Windows Me")}},
        {"win98", {1, 4, 10, 2222, QStringLiteral("Windows 98")}},
        {"win95", {1, 4, 0, 950, QStringLiteral("Windows 95")}},
        {"win31", {0, 3, 10, 0, QStringLiteral("Windows 3.1")}},
        {"win30", {0, 3, 0, 0, QStringLiteral("Windows 3.0")}},
        {"win20", {0, 2, 0, 0, QStringLiteral("Windows 2.0")}},
    };
    // Wine takes the name as written: "WinMe" or " win98" leaves it at the machine's own version.
    for (const auto& known : kVersions) {
        if (name == QLatin1String(known.name))
            return known.version;
    }
    return std::nullopt;
}

} // namespace tavimor
