// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QString>
#include <functional>

namespace tavimor {

// Each path a target text names passed through map: the one path of "file:", "wine:", "win9x:" and
// "pol:", each of the up to three of "hive:", the folder before the query of "windows:" and "gpo:".
// Other targets come back as they are.
QString mapTargetPaths(const QString& target, const std::function<QString(const QString&)>& map);
// The SYSVOL folder a "gpo:" target names, before its query; "" for every other target.
QString gpoSysvol(const QString& target);

// The target as it names the same registry from any folder: every path absolute, "wine:" alone the
// prefix it stands for, and the per-user registry file "" (the embedded default).
QString canonicalTarget(const QString& target);
// As a user reads it: the home folder written "~".
QString displayPath(const QString& path, const QString& home = QDir::homePath());
QString displayTarget(const QString& target, const QString& home = QDir::homePath());
// Back from what a user typed or read: a path "~" or "~/..." is in the home folder.
QString expandTarget(const QString& text, const QString& home = QDir::homePath());
// The window's caption: the program's title on the embedded default, else the title, " - " and the
// target as displayTarget writes it.
QString targetCaption(const QString& appTitle, const QString& target, const QString& home = QDir::homePath());

} // namespace tavimor
