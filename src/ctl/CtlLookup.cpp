// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlLookup.h"

#include "catalogue/CatalogueEntry.h"

#include <QRegularExpression>

namespace tavimor {

namespace {

// Positions rather than addresses: the address is written for the one entry found.
struct EntryName {
    int s = 0;
    int e = 0;
    QString section;
    QString name;
    QString regname;
    QString address() const { return entryAddress(s, e); }
};

QList<EntryName> entryNames(const XmlDocument& catalogue) {
    QList<EntryName> names;
    names.reserve(64);
    QString section;
    int sectionAt = -1;
    forEachEntry(catalogue, [&](const CatalogueEntry& entry, int s, int e) {
        // Every entry of a section shares its section's name.
        if (s != sectionAt) {
            section = entry.section();
            sectionAt = s;
        }
        names.append({s, e, section, entry.text("NAME"), entry.text("REGNAME")});
    });
    return names;
}

// Positions are matched by pattern, so that user text never reaches the path language.
std::optional<QString> canonicalAddress(const QString& given, const QList<EntryName>& names) {
    // Names and value names have no brackets: no pattern to run for them.
    if (!given.endsWith(QLatin1Char(']')))
        return std::nullopt;
    static const QRegularExpression pattern(
        QStringLiteral("^/?TAVIMOR/REGISTRYSETTINGS\\[(\\d{1,6})\\]/ENTRY\\[(\\d{1,6})\\]$"));
    const QRegularExpressionMatch match = pattern.match(given);
    if (!match.hasMatch())
        return std::nullopt;
    const int s = match.captured(1).toInt();
    const int e = match.captured(2).toInt();
    for (const EntryName& name : names)
        if (name.s == s && name.e == e)
            return name.address();
    return QString();
}

const EntryName* bySectionAndName(const QString& given, const QList<EntryName>& names,
                                  Qt::CaseSensitivity cs) {
    for (qsizetype slash = given.indexOf(QLatin1Char('/')); slash > 0;
         slash = given.indexOf(QLatin1Char('/'), slash + 1)) {
        const QString section = given.left(slash);
        const QString name = given.mid(slash + 1);
        bool sectionFound = false;
        for (const EntryName& entry : names)
            sectionFound = sectionFound || entry.section.compare(section, cs) == 0;
        if (!sectionFound)
            continue;
        for (Qt::CaseSensitivity nameCs : {Qt::CaseSensitive, Qt::CaseInsensitive})
            for (const EntryName& entry : names)
                if (entry.section.compare(section, cs) == 0 && entry.name.compare(name, nameCs) == 0)
                    return &entry;
        return nullptr;
    }
    return nullptr;
}

} // namespace

std::optional<QString> CtlLookup::entry(const QString& given, QString* error) const {
    const QList<EntryName> names = entryNames(m_catalogue);
    const auto notFound = [&]() -> std::optional<QString> {
        if (error)
            *error = QStringLiteral("no entry \"%1\"").arg(given);
        return std::nullopt;
    };
    if (const std::optional<QString> address = canonicalAddress(given, names))
        return address->isEmpty() ? notFound() : address;
    for (Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive})
        if (const EntryName* found = bySectionAndName(given, names, cs))
            return found->address();
    QList<const EntryName*> matches;
    for (const EntryName& entry : names)
        if (!entry.regname.isEmpty() && entry.regname.compare(given, Qt::CaseInsensitive) == 0)
            matches.append(&entry);
    if (matches.size() == 1)
        return matches.first()->address();
    if (matches.isEmpty())
        return notFound();
    QStringList titles;
    for (const EntryName* match : matches)
        titles.append(match->section + QLatin1Char('/') + match->name);
    if (error)
        *error = QStringLiteral("\"%1\" is the value name of %2 entries: %3; name one as Section/Name")
                     .arg(given)
                     .arg(matches.size())
                     .arg(titles.join(QStringLiteral(", ")));
    return std::nullopt;
}

std::optional<QString> CtlLookup::section(const QString& given) const {
    static const QRegularExpression addressPattern(
        QStringLiteral("^/?TAVIMOR/REGISTRYSETTINGS\\[(\\d{1,6})\\]$"));
    static const QRegularExpression positionPattern(QStringLiteral("^(\\d{1,6})$"));
    QList<std::pair<QString, QString>> sections; // name, address
    forEachSection(m_catalogue, [&](const XmlNode& node, int s) {
        sections.append({node.attribute(QStringLiteral("Section")).value_or(QString()), sectionAddress(s)});
    });
    QRegularExpressionMatch match = addressPattern.match(given);
    if (!match.hasMatch())
        match = positionPattern.match(given);
    if (match.hasMatch()) {
        const int s = match.captured(1).toInt();
        if (s < sections.size())
            return sections[s].second;
    }
    for (Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive})
        for (const auto& [name, address] : sections)
            if (name.compare(given, cs) == 0)
                return address;
    return std::nullopt;
}

QString CtlLookup::title(const QString& entryAddress) const {
    const CatalogueEntry entry(m_catalogue.selectSingleNode(entryAddress));
    return entry.section() + QLatin1Char('/') + entry.text("NAME");
}

} // namespace tavimor
