// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace tavimor {

// The tree's images 1 to 8: the seven sections, then the root. Numbers beyond 8 show image 8.
QIcon treeIcon(int image);

} // namespace tavimor
