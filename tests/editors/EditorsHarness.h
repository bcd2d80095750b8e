// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/BuiltinCatalogue.h"
#include "startup/StartupFixture.h"

namespace tavimor::test {

inline constexpr auto kPolicies = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies";
inline constexpr auto kRunDialogEntry = "TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]";
inline constexpr auto kMinPwdLenEntry = "TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[6]";

// The editors' context: both catalogues hold the built-in catalogue; pictures go to Resources.
struct EditorsHarness : ProgramHarness {
    EditorsHarness() {
        QDir().mkpath(context.programFolder + u"/Resources"_s);
        loadBoth(builtinCatalogueText());
    }

    void loadBoth(const QString& xml) {
        context.machineCatalogue.loadXML(xml);
        context.workingCatalogue.loadXML(xml);
    }
};

} // namespace tavimor::test
