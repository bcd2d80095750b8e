// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace tavimor {

class XmlDocument;

// Finds entries and sections of a catalogue by the names a user types.
class CtlLookup {
public:
    explicit CtlLookup(const XmlDocument& catalogue)
        : m_catalogue(catalogue) {}

    // An entry address, "Section/Name" or a REGNAME only one entry has. nullopt with *error set
    // (one line, no prefix) when nothing or more than one entry matches.
    std::optional<QString> entry(const QString& given, QString* error) const;
    // A section's name (any case), address or position from 0.
    std::optional<QString> section(const QString& given) const;
    // "Section/Name" of an entry address, as users write it.
    QString title(const QString& entryAddress) const;

private:
    const XmlDocument& m_catalogue;
};

} // namespace tavimor
