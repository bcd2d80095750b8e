// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tavimor {

class ProgramContext;

// "&Apply now": creates the key, sets the restart-needed flag when the registry held another
// value and the entry needs a restart, writes the value as REG_DWORD and sets it in both
// catalogues. The caller refreshes the entry afterwards. False when the address names no entry.
bool applyEntryNow(ProgramContext& context, const QString& entryAddress, const QString& newValue);
// "Apply &later": the working catalogue only.
bool applyEntryLater(ProgramContext& context, const QString& entryAddress, const QString& newValue);

} // namespace tavimor
