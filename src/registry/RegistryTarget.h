// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RegistryBackend.h"

#include <QString>
#include <memory>

namespace tavimor {

// Whether opening a target may create a registry file that is not there. The per-user default
// file is created on first use whatever is asked.
enum class TargetUse { MayCreate, MustExist };

// Opens the registry a target names: "" for the per-user default file, "file:PATH", "wine:PREFIX"
// ("wine:" for $WINEPREFIX, else ~/.wine), "hive:NTUSER.DAT[,SOFTWARE[,SYSTEM]]" (offline hive
// files; any may be left empty), "windows:ROOT[?user=NAME]" (a mounted Windows folder),
// "win9x:FOLDER" (the WINDOWS folder of a Windows 95/98/Me disk, read-only) or "memory:".
// nullptr with *error set when the target is unknown or cannot be opened.
std::unique_ptr<RegistryBackend> openRegistryTarget(const QString& target, QString* error,
                                                    TargetUse use = TargetUse::MayCreate);

// The default per-user registry file.
QString defaultRegistryFile();
// The host name as Windows would allow it: A-Z, 0-9 and '-', at most 15 characters.
QString defaultComputerName();
// The value of TAVIMOR_TARGET.
QString registryTargetFromEnvironment();

} // namespace tavimor
