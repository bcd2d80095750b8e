#pragma once

#include <QStringList>
#include <optional>

namespace tavimor {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPassword = 3;

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
    bool deleteUnset = false;
    bool json = false;
    bool all = false; // list: every entry of every section
    bool help = false;
    bool version = false;

    // nullopt with *error set (one line, no prefix) when the command line is not usable.
    static std::optional<CtlOptions> parse(const QStringList& args, QString* error);
    // The usage of one command, or of the whole tool for "".
    static QString usage(const QString& command);
    static bool isCommand(const QString& name);
};

} // namespace tavimor
