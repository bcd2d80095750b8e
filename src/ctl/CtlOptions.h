// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <optional>

namespace tavimor {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPassword = 3;
// diff: something to do is 1, so its failures are 2 (as diff(1)).
inline constexpr int kExitDiffers = 1;
inline constexpr int kExitTrouble = 2;

// The command line of tavimorctl: one command, its arguments, and options before or after it.
struct CtlOptions {
    QString command;
    QStringList arguments;
    QString target;
    QString file;
    QString passwordFile;
    QString newPasswordFile;
    QString programFolder;
    QString settingsFolder;
    QString from;   // export-pol, export-reg, gpo push: the settings file whose values are written
    QString format; // export-reg: "4" or "5"
    QString gpo;
    QString sysvol;
    QString url;
    QStringList templates; // --templates, in the order given
    bool deleteUnset = false;
    bool json = false;
    bool onlySet = false; // apply, diff: only the entries the settings file says something about
    bool all = false;     // list: every entry of every section; unset: every entry
    bool help = false;
    bool version = false;

    // nullopt with *error set (one line, no prefix) when the command line is not usable.
    static std::optional<CtlOptions> parse(const QStringList& args, QString* error);
    // The usage of one command, or of the whole tool for "".
    static QString usage(const QString& command);
    static bool isCommand(const QString& name);
    // The command changes the registry, so it may create a missing file: target; the others
    // refuse one.
    bool writesTarget() const;
    // The command reads or writes the registry or the loaded catalogue; those that only turn
    // one file into another (export-xml, import-xml) or set the password need neither.
    bool needsRegistry() const;
    // The status of a failure of this command: 1, but 2 for diff, whose 1 means "something to do".
    static int failureStatus(const QString& command);
};

} // namespace tavimor
