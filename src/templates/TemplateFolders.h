// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TemplateSet.h"

#include <QStringList>

namespace tavimor {

// Where a run's templates come from, in this order: each --templates folder, the folders of
// TAVIMOR_TEMPLATES, the list kept in the program settings ("TemplateFolders", the same form), and
// for a Group Policy target the domain's central store. A folder holds *.admx files and one
// sub-folder of *.adml files per language ("en-US", "de-DE"), names in any case. With none of them,
// no template is read and nothing of the program changes.
class TemplateFolders {
public:
    // The setting and the variable hold folders separated by ":", as PATH does.
    static QStringList split(const QString& list);
    static QString join(const QStringList& folders);
    // The central stores under a SYSVOL folder: REALM/Policies/PolicyDefinitions of each realm.
    static QStringList centralStores(const QString& sysvol);
    // The language the texts are read in: the user's locale ("de-DE"), else "en-US".
    static QString systemLanguage();

    // Every *.admx of the folders, each with the ADML of the language from its language folder,
    // else from en-US. A file that cannot be read is a problem of the set, and the others load; a
    // folder named twice is read once.
    static TemplateSet load(const QStringList& folders, const QString& language);
};

} // namespace tavimor
