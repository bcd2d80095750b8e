// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/CatalogueListing.h"

namespace tavimor {

// The entries of every section whose name or registry value name holds text, case ignored, in
// catalogue order. Rows of several sections stand together, so each row's text names its section.
QList<ListRow> matchingRows(const ProgramContext& context, const QString& text);

} // namespace tavimor
