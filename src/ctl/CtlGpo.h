// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tavimor {

class CtlOutput;
class ProgramContext;
struct CtlEnvironment;
struct CtlOptions;
class GroupPolicyObject;

// gpo push and gpo pull: the Registry.pol files of a Group Policy object in a domain's SYSVOL.
class CtlGpo {
public:
    CtlGpo(ProgramContext& context, const CtlOptions& options, CtlOutput& output);

    int run();

private:
    int push(GroupPolicyObject& gpo);
    int pull(const GroupPolicyObject& gpo);
    int fail(const QString& text, int status);

    ProgramContext& m_context;
    const CtlOptions& m_options;
    CtlOutput& m_output;
};

} // namespace tavimor
