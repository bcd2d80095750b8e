// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QTextStream>
#include <functional>
#include <optional>

namespace tavimor {

// Everything tavimorctl takes from the world outside, so that tests can run it in-process.
struct CtlEnvironment {
    CtlEnvironment(QTextStream& out_, QTextStream& err_)
        : out(out_)
        , err(err_) {}

    QTextStream& out;
    QTextStream& err;
    // An environment variable's value; "" when unset.
    std::function<QString(const QString& name)> environment;
    QString programFolder;  // "" means the folder of the executable
    QString settingsFolder; // "" means the per-user default
    // Shows the prompt and reads one line without echo; nullopt when nothing can be read.
    std::function<std::optional<QString>(const QString& prompt)> readPassword;
    // All of standard input, for "-" as a file to read; nullopt when it cannot be read or holds
    // more than maxSize bytes.
    std::function<std::optional<QByteArray>(qint64 maxSize)> readStandardInput;
    // Bytes for standard output as they are, for "-" as a file to write; false with *why set when they
    // could not all be written.
    std::function<bool(const QByteArray& bytes, QString* why)> writeStandardOutput;
    // The time reports print; the clock of the system when unset.
    std::function<QDateTime()> now;
    bool stdinIsTerminal = false;

    // The real process: its environment, its terminal, its folder.
    static CtlEnvironment system(QTextStream& out, QTextStream& err);
    // Puts /dev/null where a standard descriptor is closed, so that no file the program opens
    // takes its place and receives its output; false when the output was closed.
    static bool claimStandardDescriptors();
};

} // namespace tavimor
