// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <optional>

namespace tavimor {

// What the window program prints for --help or --version, answered before any window, login or
// display is needed; nullopt for every other command line (a settings file path).
std::optional<QString> commandLineAnswer(const QStringList& arguments);

// The window program's arguments: --target TARGET (or --target=TARGET) anywhere, the rest the
// settings file text as the program always took it, its words joined by spaces.
struct WindowArguments {
    std::optional<QString> target;
    QString settingsFile;
    QString error; // a usage error for standard error; "" when the arguments can be taken
};
WindowArguments parseWindowArguments(const QStringList& arguments);

} // namespace tavimor
