// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RegPatch.h"

#include <optional>

namespace tavimor {

// A value as the registry holds it, of any type; nullopt when the key or the value is not there, or
// when it could not be read: then *unread (when given) says why, and is "" otherwise.
std::optional<RegValue> readRegValue(RegistryBackend& backend, HKEY hive, const QString& keyPath,
                                     const QString& name, QString* unread = nullptr);

struct RegImportResult {
    int keys = 0;    // keys the file names (created where missing)
    int set = 0;     // values written
    int deleted = 0; // value deletions (of values that were there or not)
};

// Merges a .reg file into the registry as regedit does, and reads every value back. When a write
// does not hold, the values already changed are put back as they were and *error names the value;
// a key deletion is refused before anything is written, since the registry layer deletes values only.
std::optional<RegImportResult> importRegPatch(RegistryBackend& backend, const RegPatch& patch,
                                              QString* error);

} // namespace tavimor
