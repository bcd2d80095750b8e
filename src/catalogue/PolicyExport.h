// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/regfile/RegPatch.h"

#include <QStringList>

namespace tavimor {

class RegistryBackend;
class UnreadTally;
class XmlDocument;

// The policy values of catalogue entries as a .reg patch, and nothing else of the registry. An entry
// that is not configured (no value) becomes a deletion of its value.
class PolicyExport {
public:
    // What the registry holds now for the entries at the addresses, of whatever type. A value that
    // could not be read is left out and counted in *unread, never taken for one that is not there.
    static RegPatch fromRegistry(RegistryBackend& backend, const XmlDocument& catalogue,
                                 const QStringList& addresses, QStringList* skipped, UnreadTally* unread);
    // What applying the catalogue would write: a number as REG_DWORD; no number is not configured.
    static RegPatch fromCatalogue(const XmlDocument& catalogue, const QStringList& addresses,
                                  QStringList* skipped);
};

} // namespace tavimor
