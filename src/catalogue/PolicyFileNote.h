// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/RegDatum.h"
#include "registry/RegistryBackend.h"

namespace tavimor {

class CatalogueEntry;

// What the target's own Group Policy file says of an entry's value; nullopt when no file speaks of it.
std::optional<PolicyFileSetting> entryPolicyFileSetting(RegistryBackend& backend,
                                                        const CatalogueEntry& entry);
// A policy record's value as the catalogue reads one: a DWORD as a number, a string as text,
// anything else as nothing.
RegDatum policyFileDatum(const RegValue& value);
// The sentence both programs show for it: "FILE sets NAME = 1; Windows sets it again at every
// policy refresh", "FILE deletes NAME", or why what it sets is not known.
QString policyFileSettingText(const PolicyFileSetting& setting, const QString& name);

} // namespace tavimor
