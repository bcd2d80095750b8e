// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/regfile/RegPatch.h"

#include <QStringList>

namespace tavimor {

class RegistryBackend;
class XmlDocument;

// The policy values of catalogue entries as a .reg patch, and nothing else of the registry. An entry
// that is not configured (no value) becomes a deletion of its value.
class PolicyExport {
public:
    // What the registry holds now for the entries at the addresses, of whatever type.
    static RegPatch fromRegistry(RegistryBackend& backend, const XmlDocument& catalogue,
                                 const QStringList& addresses, QStringList* skipped);
    // What applying the catalogue would write: a number as REG_DWORD; no number is not configured.
    static RegPatch fromCatalogue(const XmlDocument& catalogue, const QStringList& addresses,
                                  QStringList* skipped);
};

} // namespace tavimor
