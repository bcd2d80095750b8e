// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/regfile/RegPatch.h"

namespace tavimor {

class RegistryBackend;
class XmlDocument;
struct PolicyInstance;

// Template policies in a .reg file, typed as their templates say (REG_EXPAND_SZ, REG_MULTI_SZ and
// REG_QWORD as hex(2), hex(7) and hex(b)), beside the entries' values.
class TemplateExport {
public:
    // What the registry holds now at every place the policy may write: a value there is written, one
    // that is not there is deleted; a list's entries are written as they are.
    static void fromRegistry(RegPatch& patch, RegistryBackend& backend,
                             const QList<const PolicyInstance*>& policies);
    // What applying the catalogue would write: each policy's state as its changes. A .reg file cannot
    // empty a key, so a list's entries that applying would remove are deleted by name, as the
    // registry holds them now.
    static void fromCatalogue(RegPatch& patch, RegistryBackend& backend, const XmlDocument& catalogue,
                              const QList<const PolicyInstance*>& policies);
};

} // namespace tavimor
