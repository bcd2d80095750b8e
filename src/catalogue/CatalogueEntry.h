// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xml/XmlDocument.h"

namespace tavimor {

// A CURRENTVALUE the registry could not be read into (a tool failed or was cancelled, the target has
// no such hive) is empty and carries this attribute with the reason. Such a value is unknown: it is
// shown as such, never planned or written, and a settings file saved with it keeps the mark, so
// that it never passes for a value.
inline constexpr auto kUnreadAttribute = "Unread";

// Sets a CURRENTVALUE to a value read or chosen, ending any unread mark.
inline void setCurrentValue(XmlNode current, const QString& text) {
    current.removeAttribute(QLatin1String(kUnreadAttribute));
    current.setText(text);
}
// Marks a CURRENTVALUE unread: empty, with the reason.
inline void markUnread(XmlNode current, const QString& reason) {
    current.setText(QString());
    if (current.attribute(QLatin1String(kUnreadAttribute)) != reason)
        current.setAttribute(QLatin1String(kUnreadAttribute), reason);
}

// Reads the fields of one ENTRY element by walking its children, without path queries.
class CatalogueEntry {
public:
    explicit CatalogueEntry(XmlNode entry)
        : m_entry(entry) {}

    XmlNode node() const { return m_entry; }
    bool isNull() const { return m_entry.isNull(); }

    XmlNode child(const char* name) const { return m_entry.firstChildElement(name); }
    // The child's text; "" when the child is missing.
    QString text(const char* name) const { return child(name).text(); }
    XmlNode values() const { return child("VALUES"); }
    XmlNode currentValue() const { return values().firstChildElement("CURRENTVALUE"); }
    // Why CURRENTVALUE could not be read; nullopt when it holds a value.
    std::optional<QString> unreadReason() const {
        return currentValue().attribute(QLatin1String(kUnreadAttribute));
    }
    // The Datatype of VALUES, upper-cased; "" without one.
    QString datatype() const {
        return values().attribute(QStringLiteral("Datatype")).value_or(QString()).toUpper();
    }
    bool needsRestart() const {
        return m_entry.attribute(QStringLiteral("Restart")).value_or(QString()).toUpper() ==
               QLatin1String("YES");
    }
    // The Section attribute of the entry's section.
    QString section() const {
        return m_entry.parentNode().attribute(QStringLiteral("Section")).value_or(QString());
    }

private:
    XmlNode m_entry;
};

inline QString sectionAddress(int s) {
    return QStringLiteral("TAVIMOR/REGISTRYSETTINGS[%1]").arg(s);
}
inline QString entryAddress(int s, int e) {
    return sectionAddress(s) + QStringLiteral("/ENTRY[%1]").arg(e);
}

// Visits every section of a catalogue in document order with its position.
template <typename F> void forEachSection(const XmlDocument& catalogue, F visit) {
    const XmlNode root = catalogue.documentElement();
    if (root.isNull() || root.nodeName() != QLatin1String("TAVIMOR"))
        return;
    int s = 0;
    for (XmlNode section = root.firstChildElement("REGISTRYSETTINGS"); section;
         section = section.nextSiblingElement()) {
        if (section.nodeName() == QLatin1String("REGISTRYSETTINGS"))
            visit(section, s++);
    }
}

// Visits every entry ("/TAVIMOR/REGISTRYSETTINGS/ENTRY") with its section and entry positions.
template <typename F> void forEachEntry(const XmlDocument& catalogue, F visit) {
    forEachSection(catalogue, [&](const XmlNode& section, int s) {
        int e = 0;
        for (XmlNode entry = section.firstChildElement("ENTRY"); entry; entry = entry.nextSiblingElement()) {
            if (entry.nodeName() == QLatin1String("ENTRY"))
                visit(CatalogueEntry(entry), s, e++);
        }
    });
}

} // namespace tavimor
