// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace tavimor {

class CtlOutput;
class ProgramContext;
class XmlDocument;
struct CtlEnvironment;
struct CtlOptions;

// The commands that read and write settings files: apply, diff, save, export-xml, import-xml.
class CtlFiles {
public:
    CtlFiles(ProgramContext& context, const CtlOptions& options, CtlEnvironment& env, CtlOutput& output);

    int apply();
    int diff();
    int save();
    int exportXml();
    int importXml();

    // A file's whole content, or standard input for "-"; nullopt after telling why.
    std::optional<QByteArray> readInput(const QString& given, qint64 maxSize);
    // Writes a file whole or not at all, or standard output for "-"; false after telling why.
    bool writeOutput(const QString& given, const QByteArray& content);
    // The catalogue of a settings file (or "-"); false after telling why.
    bool loadSettingsFile(const QString& given, XmlDocument& catalogue);

private:
    int fail(const QString& text);

    ProgramContext& m_context;
    const CtlOptions& m_options;
    CtlEnvironment& m_env;
    CtlOutput& m_output;
    // A folder of Group Policy files sets these entries and no others.
    std::optional<QStringList> m_policyEntries;
};

} // namespace tavimor
