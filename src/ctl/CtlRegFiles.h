// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

namespace tavimor {

class CtlOutput;
class ProgramContext;
class XmlDocument;
struct PolicyInstance;
struct CtlEnvironment;
struct CtlOptions;

// The commands that carry policies to other machines and to people: export-reg, import-reg, report.
class CtlRegFiles {
public:
    CtlRegFiles(ProgramContext& context, const CtlOptions& options, CtlEnvironment& env, CtlOutput& output);

    int exportReg();
    int importReg();
    int report();

private:
    // The entry addresses the arguments name (sections and entries), every entry without any. Template
    // policies named (or their categories) go to m_policies; without arguments, those set in the catalogue.
    std::optional<QStringList> selectedEntries(const XmlDocument& catalogue, const QStringList& given);
    // A file, or standard input for "-".
    std::optional<QByteArray> readInput(const QString& name, qint64 maxSize, QString* error);
    // A file written atomically, or standard output for "-".
    bool writeOutput(const QString& name, const QByteArray& bytes, QString* error);

    ProgramContext& m_context;
    const CtlOptions& m_options;
    CtlEnvironment& m_env;
    CtlOutput& m_output;
    QList<const PolicyInstance*> m_policies;
};

} // namespace tavimor
