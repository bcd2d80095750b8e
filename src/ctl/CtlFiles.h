#pragma once

#include <QString>

namespace tavimor {

class ProgramContext;
struct CtlEnvironment;
struct CtlOptions;

// The commands that read and write settings files: apply, diff, save, export-xml, import-xml.
class CtlFiles {
public:
    CtlFiles(ProgramContext& context, const CtlOptions& options, CtlEnvironment& env);

    int apply();
    int diff();
    int save();
    int exportXml();
    int importXml();

private:
    int fail(const QString& text);
    // Loads the settings file of the first argument into the working catalogue.
    bool loadIntoWorking();
    // "Section/Name: reason" for the first entry the apply pass cannot write.
    QString firstUnwritableEntry() const;

    ProgramContext& m_context;
    const CtlOptions& m_options;
    CtlEnvironment& m_env;
};

} // namespace tavimor
