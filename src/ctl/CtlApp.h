// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace tavimor {

class ErrorHandler;
class ProgramContext;
class SettingsStore;
class XmlDocument;
struct CtlEnvironment;
struct CtlOptions;
struct PolicyInstance;
class CtlOutput;

// tavimorctl: opens the target registry and the catalogue as the program does at start-up,
// checks the administrator password, and runs one command.
class CtlApp {
public:
    explicit CtlApp(CtlEnvironment& env)
        : m_env(env) {}

    // args without the program's own name; returns the exit status.
    int run(const QStringList& args);

private:
    int runParsed(const CtlOptions& options, CtlOutput& output);
    int checkPassword(const SettingsStore& settings, ErrorHandler& errors, const CtlOptions& options,
                      CtlOutput& output);
    // The entries the command shows or changes, which start-up reads from the registry: one entry
    // for set, unset and show, a section for list; "" for apply, which reads its file's entries.
    static QString refreshScope(const CtlOptions& options, const XmlDocument& catalogue);
    // The template policy that set, unset or show names, when it names no entry; the only thing
    // such a command reads at start-up.
    static const PolicyInstance* onePolicy(const CtlOptions& options, const ProgramContext& context);
    int dispatch(ProgramContext& context, const CtlOptions& options, CtlOutput& output);
    QString environment(const char* name) const;

    CtlEnvironment& m_env;
};

} // namespace tavimor
