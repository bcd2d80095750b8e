// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tavimor::test {

// A catalogue of sections x perSection on/off entries for Group Policy files: every fourth entry in
// HKEY_LOCAL_MACHINE, every seventh not set ("Null"), values spread over the 32 bits.
inline QString largePolicyCatalogue(int sections = 20, int perSection = 500) {
    QString xml = QStringLiteral("<?xml version=\"1.0\"?>\r\n<TAVIMOR SystemName=\"\">\r\n");
    xml.reserve(sections * perSection * 360);
    for (int s = 0; s < sections; ++s) {
        xml += QStringLiteral("<REGISTRYSETTINGS Section=\"S%1\">").arg(s);
        for (int e = 0; e < perSection; ++e)
            xml += QStringLiteral("<ENTRY Restart=\"No\"><NAME>E%1.%2</NAME><DESCRIPTION/><KEY>%3</KEY>"
                                  "<PATH>Software\\Policies\\Tavimor\\S%1</PATH><REGNAME>V%2 é</REGNAME>"
                                  "<VALUES Datatype=\"Boolean\"><DEFAULTVALUE>0</DEFAULTVALUE>"
                                  "<CURRENTVALUE>%4</CURRENTVALUE></VALUES><IMAGE/></ENTRY>")
                       .arg(s)
                       .arg(e)
                       .arg(e % 4 == 0 ? QStringLiteral("HKEY_LOCAL_MACHINE")
                                       : QStringLiteral("HKEY_CURRENT_USER"))
                       .arg(e % 7 == 0 ? QStringLiteral("Null") : QString::number(e * 4099 - 1000000));
        xml += QStringLiteral("</REGISTRYSETTINGS>\r\n");
    }
    return xml + QStringLiteral("</TAVIMOR>");
}

} // namespace tavimor::test
