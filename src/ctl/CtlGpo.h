// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tavimor {

class CtlOutput;
class ProgramContext;
struct CtlEnvironment;
struct CtlOptions;
class GpoDirectory;
struct GpoContainer;

// gpo push and gpo pull: the Registry.pol files of a Group Policy object in a domain's SYSVOL.
class CtlGpo {
public:
    CtlGpo(ProgramContext& context, const CtlOptions& options, CtlOutput& output);

    int run();

private:
    int push(const QString& guid, const QString& folder, GpoContainer* container,
             const GpoDirectory& directory);
    int pull(const QString& guid, const QString& folder);
    int fail(const QString& text, int status);
    // The GPO's folder under the SYSVOL path; "" when there is none.
    QString findFolder(const QString& guid) const;

    ProgramContext& m_context;
    const CtlOptions& m_options;
    CtlOutput& m_output;
};

} // namespace tavimor
