// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

namespace tavimor {

struct LockKeys {
    bool capsLock = false;
    bool numLock = false;
};

// The keyboard's lock state as the platform tells it: on X11 through the X keyboard extension;
// nullopt where it cannot tell (Wayland, the offscreen platform, a build without X11).
std::optional<LockKeys> platformLockKeys();

} // namespace tavimor
