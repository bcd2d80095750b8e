// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace tavimor {

// The largest Windows 95/98/Me registry file read; Windows itself stops far below.
inline constexpr qint64 kMaxCregFileSize = 64 * 1024 * 1024;

// Why the bytes of a Windows 95/98/Me registry file must not be handed to libcreg: a block that
// runs past the end, a key offset outside the key tree, a key reached twice (a loop, which libcreg
// follows while it allocates without end). "" when the layout holds.
QString cregLayoutFault(const QByteArray& bytes);

} // namespace tavimor
