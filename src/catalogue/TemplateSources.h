// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace tavimor {

class SettingsStore;

// The program setting that lists template folders, separated by ":" (the window edits it).
inline constexpr auto kTemplateFoldersKey = "TemplateFolders";

// The folders a run reads Administrative Templates from: those given (--templates), then those of
// TAVIMOR_TEMPLATES, then those of the setting, each once. Empty when none is configured, and
// then no template is read.
QStringList configuredTemplateFolders(const QStringList& given, const QString& environment,
                                      const SettingsStore& settings);
// Those folders, and after them the domain's central stores (REALM/Policies/PolicyDefinitions)
// when sysvol names a SYSVOL folder: a GPO is edited with its domain's templates.
QStringList withCentralStores(QStringList folders, const QString& sysvol);
// The folders a run on target reads: the configured ones, and for a "gpo:" target its domain's.
QStringList templateFoldersFor(const QString& target, const QString& environment,
                               const SettingsStore& settings, const QStringList& given = {});

} // namespace tavimor
