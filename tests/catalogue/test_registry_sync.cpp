// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/ApplyPlan.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/RegistrySync.h"
#include "support/CoreFixture.h"

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kQuestion = QStringLiteral(
    "Few of the changes you have made have not been applied to the system. Do you want apply them now?");
const QString kMinPwdLen = u"TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[6]"_s;
const QString kDisplayCpl = u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s;
const QString kSystemKey =
    u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"_s;

class RegistrySync : public CoreFixture {
protected:
    RegistrySync() { loadBuiltin(); }
};

TEST_F(RegistrySync, RefreshReadsTheRegistryIntoTheMachineCatalogueOnly) {
    m_backend.putValue(QLatin1String(kExplorerPolicies), u"NoRun"_s, regDword(1));
    m_backend.putValue(kSystemKey, u"NoDispCpl"_s, regSz(u"7"_s));
    m_backend.putValue(QLatin1String(kExplorerPolicies), u"NoFind"_s, RegValue{REG_BINARY, "\x01"});
    setCurrentValue(m_context.machineCatalogue, QLatin1String(kRunDialog), u"9"_s);
    RefreshCurrentValues(m_context, QLatin1String(kAllEntries));

    EXPECT_EQ(currentValue(m_context.machineCatalogue, QLatin1String(kRunDialog)), u"1"_s);
    EXPECT_EQ(currentValue(m_context.machineCatalogue, kDisplayCpl), u"7"_s);
    // REG_BINARY is not read, and a missing Boolean value reads as 0.
    EXPECT_EQ(currentValue(m_context.machineCatalogue, u"TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[4]"_s), u"0"_s);
    // The Number entry is passed over.
    EXPECT_EQ(currentValue(m_context.machineCatalogue, kMinPwdLen), u"Null"_s);
    EXPECT_EQ(currentValue(m_context.workingCatalogue, QLatin1String(kRunDialog)), u"0"_s);
    EXPECT_TRUE(changesPending(m_context));

    // A single entry address refreshes that entry alone.
    m_backend.putValue(QLatin1String(kExplorerPolicies), u"NoRun"_s, regDword(0));
    m_backend.putValue(kSystemKey, u"NoDispCpl"_s, regDword(0));
    RefreshCurrentValues(m_context, QLatin1String(kRunDialog));
    EXPECT_EQ(currentValue(m_context.machineCatalogue, QLatin1String(kRunDialog)), u"0"_s);
    EXPECT_EQ(currentValue(m_context.machineCatalogue, kDisplayCpl), u"7"_s);
}

TEST_F(RegistrySync, DatatypeAndRestartAreMatchedWithoutRegardToCase) {
    CatalogueEntry entry(m_context.machineCatalogue.selectSingleNode(kMinPwdLen));
    entry.values().setAttribute(u"Datatype"_s, u"numeric"_s);
    CatalogueEntry display(m_context.machineCatalogue.selectSingleNode(kDisplayCpl));
    display.values().setAttribute(u"Datatype"_s, u"bOOLEAN"_s);
    display.node().setAttribute(u"Restart"_s, u"yes"_s);
    RefreshCurrentValues(m_context, QLatin1String(kAllEntries));
    EXPECT_EQ(currentValue(m_context.machineCatalogue, kMinPwdLen),
              QString()); // NUMERIC reads "" when missing
    EXPECT_EQ(currentValue(m_context.machineCatalogue, kDisplayCpl), u"0"_s);
    EXPECT_TRUE(display.needsRestart());
}

TEST_F(RegistrySync, ConfirmAsksOnlyWhenTheCataloguesDiffer) {
    EXPECT_EQ(ConfirmPendingChanges(m_context), 0);
    EXPECT_TRUE(m_prompter.messages().isEmpty());

    setCurrentValue(m_context.workingCatalogue, QLatin1String(kRunDialog), u"1"_s);
    m_prompter.queueAnswer(Answer::Cancel);
    EXPECT_EQ(ConfirmPendingChanges(m_context), 1);
    ASSERT_EQ(m_prompter.messages().size(), 1);
    const auto& asked = m_prompter.messages().first();
    EXPECT_EQ(asked.text, kQuestion);
    EXPECT_EQ(asked.title, u"Tavimor 4.0"_s);
    EXPECT_EQ(asked.icon, MessageIcon::Question);
    EXPECT_EQ(asked.buttons, MessageButtons::YesNoCancel);
    EXPECT_TRUE(changesPending(m_context));

    m_prompter.queueAnswer(Answer::No);
    EXPECT_EQ(ConfirmPendingChanges(m_context), 0);
    EXPECT_EQ(m_backend.writeCount(), 0);
    EXPECT_TRUE(changesPending(m_context));
    EXPECT_FALSE(m_context.restartNeeded);
}

TEST_F(RegistrySync, YesAppliesTheWorkingCatalogueAndNotesTheRestart) {
    setCurrentValue(m_context.workingCatalogue, QLatin1String(kRunDialog), u"1"_s);
    m_prompter.queueAnswer(Answer::Yes);
    EXPECT_EQ(ConfirmPendingChanges(m_context), 0);
    EXPECT_FALSE(changesPending(m_context));
    EXPECT_EQ(dword(QLatin1String(kExplorerPolicies), u"NoRun"_s), 1u);
    // Every Boolean entry was written, with 0 where nothing was set, and their keys created.
    EXPECT_EQ(dword(QLatin1String(kExplorerPolicies), u"NoFind"_s), 0u);
    EXPECT_EQ(dword(kSystemKey, u"NoDispCpl"_s), 0u);
    // The Number ("Null") and Drives entries are not written, but their keys exist.
    EXPECT_FALSE(dword(QLatin1String(kExplorerPolicies), u"NoDrives"_s).has_value());
    EXPECT_TRUE(m_backend.hasKey(QStringLiteral(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network")));
    // Values that had no registry value ("0" against "") differ, so restart entries set the flag.
    EXPECT_TRUE(m_context.restartNeeded);

    // A second pass finds nothing different and does not set the flag by itself.
    m_context.restartNeeded = false;
    EXPECT_TRUE(planApply(m_context.registry, m_context.machineCatalogue).steps.isEmpty());
    EXPECT_TRUE(ApplyMachineCatalogue(m_context));
    EXPECT_FALSE(m_context.restartNeeded);
}

TEST_F(RegistrySync, ThePlanIsWhatThePassChangesAndItStopsAtAValueThatIsNoNumber) {
    RefreshCurrentValues(m_context, QLatin1String(kAllEntries));
    // On a fresh registry every on/off entry is written: 55 values, 0 where nothing was.
    const ApplyPlan fresh = planApply(m_context.registry, m_context.machineCatalogue);
    ASSERT_EQ(fresh.steps.size(), 55);
    EXPECT_TRUE(fresh.steps[0].before.isNothing());
    EXPECT_TRUE(fresh.restartNeeded());
    const int writesBefore = m_backend.writeCount();
    ASSERT_TRUE(ApplyMachineCatalogue(m_context));
    EXPECT_EQ(m_backend.writeCount() - writesBefore, 55);

    // A text value of the same number is still a change: the pass writes a REG_DWORD.
    m_backend.putValue(kSystemKey, u"NoDispCpl"_s, regSz(u"1"_s));
    setCurrentValue(m_context.machineCatalogue, kDisplayCpl, u"1"_s);
    const ApplyPlan one = planApply(m_context.registry, m_context.machineCatalogue);
    ASSERT_EQ(one.steps.size(), 1);
    EXPECT_EQ(one.steps[0].address, kDisplayCpl);
    EXPECT_EQ(plannedPlace(one.steps[0]), kSystemKey + u"\\NoDispCpl"_s);
    EXPECT_EQ(plannedValueText(one.steps[0].before), u"\"1\""_s);
    EXPECT_EQ(one.steps[0].after, 1);
    ASSERT_TRUE(ApplyMachineCatalogue(m_context));
    EXPECT_EQ(dword(kSystemKey, u"NoDispCpl"_s), 1u);

    // "Null" in an entry typed Numeric ends the pass: what came before is written, what follows
    // is not, and the error handler is told which entry.
    CatalogueEntry(m_context.machineCatalogue.selectSingleNode(kMinPwdLen))
        .values()
        .setAttribute(u"Datatype"_s, u"Numeric"_s);
    setCurrentValue(m_context.machineCatalogue, kMinPwdLen, u"Null"_s);
    setCurrentValue(m_context.machineCatalogue, kDisplayCpl, u"0"_s);
    setCurrentValue(m_context.machineCatalogue, QLatin1String(kRunDialog), u"1"_s);
    EXPECT_FALSE(ApplyMachineCatalogue(m_context));
    EXPECT_EQ(dword(kSystemKey, u"NoDispCpl"_s), 0u);
    EXPECT_EQ(dword(QLatin1String(kExplorerPolicies), u"NoRun"_s), 0u);
    ASSERT_EQ(m_errors.reports.size(), 1);
    EXPECT_EQ(
        m_errors.reports[0].description,
        QStringLiteral("Network/Set Minimum Password Length: \"Null\" is not a number; the entries after "
                       "it were not applied."));
}

TEST_F(RegistrySync, AFailedWriteStopsThePassAndSaysWhichEntryAndWhy) {
    RefreshCurrentValues(m_context, QLatin1String(kAllEntries));
    m_backend.setUnreadable(true);
    EXPECT_FALSE(ApplyMachineCatalogue(m_context));
    EXPECT_FALSE(m_context.restartNeeded);
    EXPECT_EQ(m_backend.writeCount(), 0);
    ASSERT_EQ(m_errors.reports.size(), 1);
    EXPECT_TRUE(m_errors.reports[0].description.startsWith(
        u"Display/Display Properties: %1\\NoDispCpl could not be written: "_s.arg(kSystemKey)))
        << m_errors.reports[0].description.toStdString();
}

TEST_F(RegistrySync, OnlySetPlansTheEntriesAFileSaysSomethingAbout) {
    RefreshCurrentValues(m_context, QLatin1String(kAllEntries));
    setCurrentValue(m_context.machineCatalogue, QLatin1String(kRunDialog), u"1"_s);
    setCurrentValue(m_context.machineCatalogue, kDisplayCpl, u"  "_s);
    // An entry whose default is empty counts with any value, also its default's.
    CatalogueEntry find(
        m_context.machineCatalogue.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[4]"_s));
    find.values().firstChildElement("DEFAULTVALUE").setText(QString());
    const ApplyPlan plan = planApply(m_context.registry, m_context.machineCatalogue, PlanScope::OnlySet);
    ASSERT_EQ(plan.steps.size(), 2);
    EXPECT_EQ(plan.steps[0].address, QLatin1String(kRunDialog));
    EXPECT_EQ(plan.steps[0].after, 1);
    EXPECT_EQ(plan.steps[1].valueName, u"NoFind"_s);
    EXPECT_EQ(plan.steps[1].after, 0);
    EXPECT_FALSE(plan.stop);
    // The Number entry's "Null" says nothing.
    EXPECT_FALSE(entryIsSet(CatalogueEntry(m_context.machineCatalogue.selectSingleNode(kMinPwdLen))));
}

TEST(StateText, BooleanValuesReadAsTheFeatureState) {
    EXPECT_EQ(StateText(u"0"_s, u"BOOLEAN"_s), u"Enabled"_s);
    EXPECT_EQ(StateText(u"1"_s, u"BOOLEAN"_s), u"Disabled"_s);
    EXPECT_EQ(StateText(u"-5"_s, u"BOOLEAN"_s), u"Disabled"_s);
    EXPECT_EQ(StateText(QString(), u"BOOLEAN"_s), u"Disabled"_s);
    EXPECT_EQ(StateText(u"abc"_s, u"BOOLEAN"_s), u"abc"_s);
    EXPECT_EQ(StateText(u"7"_s, u"NUMBER"_s), u"7"_s);
    EXPECT_EQ(StateText(u"0"_s, u"Boolean"_s), u"0"_s);
}

} // namespace
