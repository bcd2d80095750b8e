#pragma once

#include "RegistryBackend.h"

#include <QString>
#include <memory>

namespace tavimor {

// Opens the registry a target names: "" for the per-user default file, "file:PATH", "wine:PREFIX"
// ("wine:" for $WINEPREFIX, else ~/.wine) or "memory:".
// nullptr with *error set when the target is unknown or cannot be opened.
std::unique_ptr<RegistryBackend> openRegistryTarget(const QString& target, QString* error);

// The default per-user registry file.
QString defaultRegistryFile();
// The host name as Windows would allow it: A-Z, 0-9 and '-', at most 15 characters.
QString defaultComputerName();
// The value of TAVIMOR_TARGET.
QString registryTargetFromEnvironment();

} // namespace tavimor
