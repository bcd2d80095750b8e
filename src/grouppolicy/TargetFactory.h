// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/RegistryTarget.h"

namespace tavimor {

// Opens the registry any target names, for both programs: "pol:DIR" (a folder of Group Policy
// files) and "gpo:SYSVOL?gpo=NAME|GUID[&url=URL]" (a GPO in a domain's SYSVOL) here, "windows:ROOT"
// together with that Windows' own Group Policy folder, every other kind as openRegistryTarget
// opens it. nullptr with *error set when the target is unknown or cannot be opened.
std::unique_ptr<RegistryBackend> openTarget(const QString& target, QString* error,
                                            TargetUse use = TargetUse::MayCreate);

} // namespace tavimor
