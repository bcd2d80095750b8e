// SPDX-License-Identifier: GPL-3.0-or-later
#include "CatalogueCheck.h"

#include "catalogue/CatalogueEntry.h"
#include "registry/MSDNRegistry.h"

#include <QSet>

namespace tavimor {

QStringList checkCatalogue(const XmlDocument& catalogue) {
    QStringList problems;
    const XmlNode root = catalogue.documentElement();
    if (root.isNull()) {
        if (!catalogue.loadError().isEmpty())
            return {QStringLiteral("The catalogue cannot be read: %1.").arg(catalogue.loadError())};
        return {QStringLiteral("The text is not a well-formed XML document.")};
    }
    if (root.nodeName() != QLatin1String("TAVIMOR"))
        return {QStringLiteral("The root element is <%1>, not <TAVIMOR>.").arg(root.nodeName())};
    QSet<QString> sectionNames{QStringLiteral("Tavimor")};
    forEachSection(catalogue, [&](const XmlNode& section, int s) {
        const std::optional<QString> name = section.attribute(QStringLiteral("Section"));
        if (!name || name->isEmpty())
            problems.append(
                QStringLiteral("Section %1 (%2) has no Section attribute.").arg(s).arg(sectionAddress(s)));
        else if (sectionNames.contains(*name))
            problems.append(
                QStringLiteral("Section %1 (%2) repeats the name \"%3\"; section names must differ.")
                    .arg(s)
                    .arg(sectionAddress(s), *name));
        else
            sectionNames.insert(*name);
    });
    if (sectionNames.size() == 1 && problems.isEmpty())
        problems.append(QStringLiteral("The catalogue has no REGISTRYSETTINGS section."));
    forEachEntry(catalogue, [&](const CatalogueEntry& entry, int s, int e) {
        const QString name = entry.text("NAME");
        const QString where = QStringLiteral("Entry \"%1\" (%2)")
                                  .arg(name.isEmpty() ? QStringLiteral("?") : name, entryAddress(s, e));
        for (const char* element : {"NAME", "DESCRIPTION", "KEY", "PATH", "REGNAME", "VALUES", "IMAGE"}) {
            if (entry.child(element).isNull())
                problems.append(where + QStringLiteral(" has no %1 element.").arg(QLatin1String(element)));
        }
        const XmlNode values = entry.values();
        if (values.isNull())
            return;
        if (!values.attribute(QStringLiteral("Datatype")))
            problems.append(where + QStringLiteral(" has no Datatype attribute on VALUES."));
        for (const char* element : {"DEFAULTVALUE", "CURRENTVALUE"}) {
            if (values.firstChildElement(element).isNull())
                problems.append(where +
                                QStringLiteral(" has no VALUES/%1 element.").arg(QLatin1String(element)));
        }
        const XmlNode key = entry.child("KEY");
        if (!key.isNull() && GetKeyValue(key.text()) == 0)
            problems.append(where + QStringLiteral(" names the unknown hive \"%1\" in KEY.").arg(key.text()));
    });
    return problems;
}

} // namespace tavimor
