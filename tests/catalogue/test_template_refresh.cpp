// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/TemplateEdit.h"
#include "catalogue/TemplateStates.h"
#include "support/ProgramHarness.h"
#include "templates/TemplateFixtures.h"

namespace tavimor::test {
namespace {

// Shared reads the value A writes; Run writes what the catalogue's Run Dialog entry shows.
const QByteArray kPolicies = admxText(R"xml(
<policy name="A" class="Machine" key="Software\Policies\Test\A" valueName="On"/>
<policy name="B" class="Machine" key="Software\Policies\Test\B" valueName="On"/>
<policy name="Shared" class="Machine" key="Software\Policies\Test\A" valueName="On">
  <enabledValue><decimal value="2"/></enabledValue>
</policy>
<policy name="C" class="Machine" key="Software\Policies\Test\C" valueName="On"/>
<policy name="Run" class="User" key="Software\Microsoft\Windows\CurrentVersion\Policies\Explorer" valueName="NoRun"/>
)xml");

class TemplateRefresh : public ::testing::Test, protected ProgramHarness {
protected:
    void SetUp() override {
        m_folder.write(u"test.admx"_s, kPolicies);
        m_folder.write(u"en-US/test.adml"_s,
                       "<policyDefinitionResources><resources/></policyDefinitionResources>");
        m_set = m_folder.load();
        ASSERT_TRUE(m_set.problems().isEmpty());
        context.templates = &m_set;
        loadBoth(builtinCatalogueText());
    }
    const PolicyInstance* policy(const char* name) const {
        return m_set.findByName(u"test:"_s + QLatin1String(name)).value(0);
    }
    void put(const char* key, quint32 value) {
        backend.putValue(u"HKEY_LOCAL_MACHINE\\Software\\Policies\\Test\\"_s + QLatin1String(key), u"On"_s,
                         regDword(value));
    }
    // The machine catalogue's POLICYs in their order.
    std::string states() const {
        QStringList lines;
        for (const StoredPolicy& stored : TemplateStates::read(context.machineCatalogue, &m_set))
            lines.append(stored.name + u' ' + policyStateWord(stored.setting.state));
        return lines.join(u", "_s).toStdString();
    }

    TemplateFolder m_folder;
    TemplateSet m_set;
};

TEST_F(TemplateRefresh, SomePoliciesAreReadAloneAndTheOthersKeepTheirPlaces) {
    put("A", 1);
    put("C", 1);
    TemplateStates::refresh(context);
    // A POLICY of templates not loaded stays last.
    context.machineCatalogue.loadXML(context.machineCatalogue.xml().replace(
        u"</TEMPLATES>"_s, u"<POLICY Namespace=\"Other\" Name=\"X\" State=\"Enabled\"/></TEMPLATES>"_s));
    ASSERT_EQ(states(), "A Enabled, Shared Other, C Enabled, X Enabled");

    // C changes too, but only B is read.
    put("B", 1);
    put("C", 0);
    TemplateStates::refresh(context, {policy("B")});
    EXPECT_EQ(states(), "A Enabled, B Enabled, Shared Other, C Enabled, X Enabled");
    TemplateStates::refresh(context, {policy("C"), policy("C")});
    EXPECT_EQ(states(), "A Enabled, B Enabled, Shared Other, C Other, X Enabled");
}

// After a write, the machine catalogue reads as a whole refresh would leave it, though only what
// the batch wrote was read: the policies written, one that reads the same value, and the entry.
TEST_F(TemplateRefresh, ApplyingReadsBackWhatTheBatchWroteAsAWholeRefreshWould) {
    put("A", 2);
    put("B", 1);
    RefreshCurrentValues(context, QLatin1String(kAllEntries));
    ASSERT_EQ(states(), "A Other, B Enabled, Shared Enabled");
    ASSERT_EQ(machine(kRunDialog), u"0"_s);

    QString why;
    const PolicySetting enabled{PolicyState::Enabled, {}};
    ASSERT_TRUE(applyPoliciesNow(context, {{policy("A"), enabled}, {policy("Run"), enabled}}, &why));
    EXPECT_EQ(states(), "A Enabled, B Enabled, Shared Other, Run Enabled");
    EXPECT_EQ(machine(kRunDialog), u"1"_s);
    const QString after = context.machineCatalogue.xml();
    RefreshCurrentValues(context, QLatin1String(kAllEntries));
    EXPECT_EQ(context.machineCatalogue.xml(), after);
    // B is not read again: a change there does not show.
    put("B", 0);
    applyPoliciesNow(context, {{policy("A"), enabled}}, &why);
    EXPECT_EQ(states(), "A Enabled, B Enabled, Shared Other, Run Enabled");
}

} // namespace
} // namespace tavimor::test
