// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/RegistryBackend.h"

#include <optional>

namespace tavimor {

// The version a name of Wine's "Version" setting stands for ("win98", "win10"...), as Wine
// reports it to programs; nullopt for a name Wine does not know.
std::optional<WindowsVersion> wineVersionOfName(const QString& name);

} // namespace tavimor
