// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/MemoryBackend.h"
#include "templates/AdmlReader.h"
#include "templates/AdmxReader.h"
#include "templates/PolicyReader.h"
#include "templates/PolicyWriter.h"

#include <cstdint>

// A template file, read as an ADMX file and as the ADML beside it; every policy it yields is
// written in each state to a registry and read back, as a refresh after set does.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavimor;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    std::optional<AdmxFile> admx = AdmxReader::read(bytes, QStringLiteral("fuzz.admx"), &error);
    std::optional<AdmlFile> adml = AdmlReader::read(bytes, QStringLiteral("fuzz.adml"), &error);
    if (!admx)
        return 0;
    TemplateSet set;
    set.add({std::move(*admx), adml.value_or(AdmlFile{})});
    set.finish();
    set.unresolvedReferences();
    for (const PolicyInstance& policy : set.policies()) {
        set.categoryPath(policy);
        set.supportedOnText(policy);
        for (const PolicyState state :
             {PolicyState::Enabled, PolicyState::Disabled, PolicyState::NotConfigured}) {
            const std::optional<PolicySetting> setting =
                PolicyValues::fromArguments(set, policy, state, {}, {}, &error);
            if (!setting)
                continue;
            MemoryBackend registry;
            // A key the registry refuses (an empty part, say) leaves nothing to read back.
            if (registry.applyChanges(PolicyWriter::changes(policy, *setting), nullptr) != ERROR_SUCCESS)
                continue;
            BackendPolicyView view(registry);
            const PolicyReading reading = PolicyReader::read(view, policy);
            if (reading.setting.state == PolicyState::Unread)
                __builtin_trap();
        }
    }
    return 0;
}
