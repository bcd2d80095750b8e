// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GroupPolicyObject.h"
#include "PolicyFolderBackend.h"

namespace tavimor {

// A GPO in a domain's SYSVOL as a registry (the target "gpo:SYSVOL?gpo=NAME|GUID[&url=URL]"): its
// two Registry.pol files as a policy folder is, and with every write the version in GPT.INI and in
// the directory raised for the half that changed, as "gpo push" does, so that clients fetch it.
class GpoBackend : public PolicyFolderBackend {
public:
    static std::unique_ptr<GpoBackend> open(const QString& sysvol, const QString& gpo, const QString& url,
                                            const QString& name, QString* error);

    // The GPO's name stands where a machine's name would.
    std::optional<QString> computerName() override { return m_gpo.name(); }
    // A write the clients would not see is not made: without the directory entry it is refused.
    QString writeRefusal() const override;
    const GroupPolicyObject& gpo() const { return m_gpo; }

protected:
    bool publish(PolicyCommit& commit, const std::array<bool, 2>& holdsRecords, QString* error) override;
    GptUpdate gptUpdate() const override { return GptUpdate::Required; }

private:
    GpoBackend(GroupPolicyObject gpo, const QString& name)
        : PolicyFolderBackend(gpo.folder(), name)
        , m_gpo(std::move(gpo)) {}

    GroupPolicyObject m_gpo;
};

} // namespace tavimor
