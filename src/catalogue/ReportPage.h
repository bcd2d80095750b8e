// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xml/XmlDocument.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace tavimor {

class TemplateSet;

// The HTML report of a catalogue through the style sheet in the program folder; the window and the
// command line make it here, so both give the same page.
class ReportPage {
public:
    // The document the style sheet is given: the root (with its attributes) and the one section
    // the address selects, or the whole source root for "TAVIMOR". The whole report names each
    // template policy set there as the loaded templates do: Title, Place (its class and category),
    // Key and Values on each POLICY.
    static XmlDocument reportDocument(const XmlDocument& source, const QString& address,
                                      const TemplateSet* templates = nullptr);
    static QString styleSheetPath(const QString& programFolder);
    // The report's date as the page prints it: the long date and the short time of the user's locale.
    static QString dateText(const QDateTime& when);
    // The page as the report file holds it (the transform's text and CR LF), or nullopt with *error
    // naming the style sheet and what went wrong.
    static std::optional<QByteArray> html(const XmlDocument& source, const QString& address,
                                          const QString& programFolder, const QString& dateText,
                                          QString* error, const TemplateSet* templates = nullptr);
};

} // namespace tavimor
