// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace tavimor {

class CtlOutput;
class ProgramContext;
struct PolicyInstance;
struct CtlEnvironment;
struct CtlOptions;

// The commands that look at entries and change the registry: list, show, set, drives, password.
class CtlCommands {
public:
    CtlCommands(ProgramContext& context, const CtlOptions& options, CtlEnvironment& env, CtlOutput& output);

    int list();
    int show();
    int set();
    int unset();
    int drives();
    int password();

    // The first line of a password file without its line end; nullopt when it cannot be read.
    static std::optional<QString> readPasswordFile(const QString& path, QString* error);

private:
    int fail(const QString& text, int status);
    // The template policy the command's first argument names; nullptr when none, with *error
    // replaced where the name is a policy's that needs its class.
    const PolicyInstance* findPolicy(QString* error) const;
    // list CATEGORY: a template category's policies with their states.
    int listCategory(const QString& given);
    // "VALUE could not be written to TARGET: why".
    QString notWritten(const QString& valueName) const;
    std::optional<QString> newPassword(int* status);

    ProgramContext& m_context;
    const CtlOptions& m_options;
    CtlEnvironment& m_env;
    CtlOutput& m_output;
};

} // namespace tavimor
