// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <optional>

namespace tavimor {

// What the window program prints for --help or --version, answered before any window, login or
// display is needed; nullopt for every other command line (a settings file path).
std::optional<QString> commandLineAnswer(const QStringList& arguments);

} // namespace tavimor
