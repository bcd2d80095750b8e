// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "templates/PolicySetting.h"
#include "xml/XmlDocument.h"

namespace tavimor {

class ProgramContext;

// One POLICY of a catalogue: which policy, and its state there.
struct StoredPolicy {
    QString templateNamespace;
    QString name;
    PolicyClass scope = PolicyClass::Machine;
    const PolicyInstance* policy = nullptr; // nullptr when the loaded templates do not have it
    PolicySetting setting;                  // state and element values
    QStringList found;                      // with Other, what the registry held
    XmlNode node;                           // the element in the catalogue
};

// Template policies' states in a catalogue document, kept beside the entries under the root, in an
// element the entries' roads never walk ("/TAVIMOR/REGISTRYSETTINGS/ENTRY" and the walk over the
// sections pass it by), so a reader that knows nothing of templates is not harmed by it:
//
//   <TEMPLATES>
//     <POLICY Namespace="Mozilla.Policies.Firefox" Name="HomepageURL" Class="Machine" State="Enabled">
//       <ELEMENT Id="HomepageURL" Value="https://example.com"/>
//       <ELEMENT Id="HomepageAdditional"><ITEM Value="https://example.org"/></ELEMENT>
//     </POLICY>
//   </TEMPLATES>
//
// A policy that is not configured has no POLICY, and a catalogue without any has no TEMPLATES: with
// no templates the documents are exactly what they were. The definitions stay in the template set;
// a POLICY names its policy by namespace, name and class. A refresh writes the machine catalogue's
// POLICYs in the set's order and a change puts a POLICY of the working catalogue at its place in
// that order, so equal states serialise alike and pending changes stay a comparison of texts.
// POLICYs the loaded set does not know are carried as they are.
class TemplateStates {
public:
    static QList<StoredPolicy> read(const XmlDocument& catalogue, const TemplateSet* set);
    // The policy's setting in the catalogue: Not configured when it has no POLICY for it.
    static PolicySetting settingOf(const XmlDocument& catalogue, const PolicyInstance& policy);
    // With Other, what the registry held as the catalogue keeps it; else nothing.
    static QStringList foundOf(const XmlDocument& catalogue, const PolicyInstance& policy);
    // Puts the setting in the catalogue (Not configured removes the POLICY; Unread keeps one that
    // says so, which nothing plans or writes).
    static void store(XmlDocument& catalogue, const TemplateSet& set, const PolicyInstance& policy,
                      const PolicySetting& setting, const QStringList& found = {});
    // Reads every policy of the loaded set from the registry into the machine catalogue. A policy
    // whose values could not be read is marked Unread there, never shown, planned or written as a
    // state; their names are returned.
    static QStringList refresh(ProgramContext& context);
    // The same for these policies alone; the other POLICYs stay as they are, in their places.
    static QStringList refresh(ProgramContext& context, const QList<const PolicyInstance*>& policies);

    // The element as settings files keep it.
    static void writeValue(XmlDocument& document, XmlNode element, const AdmxElement& definition,
                           const ElementValue& value);
    // nullopt when the text is not a value the element takes.
    static std::optional<ElementValue> readValue(const XmlNode& element, const AdmxElement& definition);
};

} // namespace tavimor
