// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace tavimor {

class CtlOutput;
class ProgramContext;
struct PolicyInstance;
struct CtlOptions;

// Finding entries across sections: search WORDS and list --all.
class CtlSearch {
public:
    CtlSearch(ProgramContext& context, const CtlOptions& options, CtlOutput& output);

    int search();
    int listAll();

    // The entry addresses whose name, description, section or value name holds every word, any case.
    static QStringList matchingEntries(const ProgramContext& context, const QStringList& words);

private:
    // One row per entry: Section/Name, its state in the Tavimor settings and on the machine, restart.
    // Template policies follow the entries, by name. The exit status: a failure when a state could
    // not be read.
    int printEntries(const QStringList& addresses, const QList<const PolicyInstance*>& policies);

    ProgramContext& m_context;
    const CtlOptions& m_options;
    CtlOutput& m_output;
};

} // namespace tavimor
