#pragma once

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
    bool stdinIsTerminal = false;

    // The real process: its environment, its terminal, its folder.
    static CtlEnvironment system(QTextStream& out, QTextStream& err);
};

} // namespace tavimor
