// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/BuiltinCatalogue.h"
#include "support/ProgramHarness.h"

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
    // A catalogue of one section "Custom" holding the given entry.
    static QString oneEntryCatalogue(const QString& entryXml) {
        return u"<TAVIMOR><REGISTRYSETTINGS Section=\"Custom\">"_s + entryXml +
               u"</REGISTRYSETTINGS></TAVIMOR>"_s;
    }
    void setCurrent(const QString& address, const QString& value) {
        CatalogueEntry(context.machineCatalogue.selectSingleNode(address)).currentValue().setText(value);
        CatalogueEntry(context.workingCatalogue.selectSingleNode(address)).currentValue().setText(value);
    }
};

} // namespace tavimor::test
