// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/ApplyPlan.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueListing.h"
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
const QString kNotApplied =
    u"Not every change could be applied; those not applied are still pending.\r\n\r\n"_s;

class RegistrySync : public CoreFixture {
protected:
    RegistrySync() { loadBuiltin(); }
};

TEST_F(RegistrySync, RefreshReadsTheRegistryIntoTheMachineCatalogueOnly) {
    backend.putValue(kExplorerPolicies, u"NoRun"_s, regDword(1));
    backend.putValue(kSystemKey, u"NoDispCpl"_s, regSz(u"7"_s));
    backend.putValue(kExplorerPolicies, u"NoFind"_s, RegValue{REG_BINARY, "\x01"});
    setCurrentValue(context.machineCatalogue, kRunDialog, u"9"_s);
    RefreshCurrentValues(context, QLatin1String(kAllEntries));

    EXPECT_EQ(machine(kRunDialog), u"1"_s);
    EXPECT_EQ(machine(kDisplayCpl), u"7"_s);
    // REG_BINARY is not read, and a missing Boolean value reads as 0.
    EXPECT_EQ(machine(u"TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[4]"_s), u"0"_s);
    // The Number entry is passed over.
    EXPECT_EQ(machine(kMinPwdLen), u"Null"_s);
    EXPECT_EQ(working(kRunDialog), u"0"_s);
    EXPECT_TRUE(changesPending(context));

    // A single entry address refreshes that entry alone.
    backend.putValue(kExplorerPolicies, u"NoRun"_s, regDword(0));
    backend.putValue(kSystemKey, u"NoDispCpl"_s, regDword(0));
    RefreshCurrentValues(context, kRunDialog);
    EXPECT_EQ(machine(kRunDialog), u"0"_s);
    EXPECT_EQ(machine(kDisplayCpl), u"7"_s);
}

TEST_F(RegistrySync, DatatypeAndRestartAreMatchedWithoutRegardToCase) {
    CatalogueEntry entry(context.machineCatalogue.selectSingleNode(kMinPwdLen));
    entry.values().setAttribute(u"Datatype"_s, u"numeric"_s);
    CatalogueEntry display(context.machineCatalogue.selectSingleNode(kDisplayCpl));
    display.values().setAttribute(u"Datatype"_s, u"bOOLEAN"_s);
    display.node().setAttribute(u"Restart"_s, u"yes"_s);
    RefreshCurrentValues(context, QLatin1String(kAllEntries));
    EXPECT_EQ(machine(kMinPwdLen), QString()); // NUMERIC reads "" when missing
    EXPECT_EQ(machine(kDisplayCpl), u"0"_s);
    EXPECT_TRUE(display.needsRestart());
}

TEST_F(RegistrySync, ConfirmAsksOnlyWhenTheCataloguesDifferAndYesApplies) {
    EXPECT_EQ(ConfirmPendingChanges(context), 0);
    EXPECT_TRUE(prompter.messages().isEmpty());

    setCurrentValue(context.workingCatalogue, kRunDialog, u"1"_s);
    prompter.queueAnswer(Answer::Cancel);
    EXPECT_EQ(ConfirmPendingChanges(context), 1);
    ASSERT_EQ(prompter.messages().size(), 1);
    const auto& asked = prompter.messages().first();
    EXPECT_EQ(asked.text, kQuestion);
    EXPECT_EQ(asked.title, u"Tavimor 4.0"_s);
    EXPECT_EQ(asked.icon, MessageIcon::Question);
    EXPECT_EQ(asked.buttons, MessageButtons::YesNoCancel);
    EXPECT_TRUE(changesPending(context));

    prompter.queueAnswer(Answer::No);
    EXPECT_EQ(ConfirmPendingChanges(context), 0);
    EXPECT_EQ(backend.writeCount(), 0);
    EXPECT_TRUE(changesPending(context));
    EXPECT_FALSE(context.restartNeeded);

    prompter.queueAnswer(Answer::Yes);
    EXPECT_EQ(ConfirmPendingChanges(context), 0);
    EXPECT_FALSE(changesPending(context));
    EXPECT_EQ(dword(kExplorerPolicies, u"NoRun"_s), 1u);
    // Every Boolean entry was written, with 0 where nothing was set, and their keys created.
    EXPECT_EQ(dword(kExplorerPolicies, u"NoFind"_s), 0u);
    EXPECT_EQ(dword(kSystemKey, u"NoDispCpl"_s), 0u);
    // The Number ("Null") and Drives entries are not written, but their keys exist.
    EXPECT_FALSE(dword(kExplorerPolicies, u"NoDrives"_s).has_value());
    EXPECT_TRUE(backend.hasKey(QStringLiteral(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network")));
    // Values that had no registry value ("0" against "") differ, so restart entries set the flag.
    EXPECT_TRUE(context.restartNeeded);

    // A second pass finds nothing different and does not set the flag by itself.
    context.restartNeeded = false;
    EXPECT_TRUE(ApplyMachineCatalogue(context));
    EXPECT_FALSE(context.restartNeeded);
}

TEST_F(RegistrySync, ThePlanIsWhatThePassChangesAndItStopsAtAValueThatIsNoNumber) {
    RefreshCurrentValues(context, QLatin1String(kAllEntries));
    // On a fresh registry every on/off entry is written: 55 values, 0 where nothing was.
    const ApplyPlan fresh = planApply(context.registry, context.machineCatalogue);
    ASSERT_EQ(fresh.steps.size(), 55);
    EXPECT_TRUE(fresh.steps[0].before.isNothing());
    EXPECT_TRUE(fresh.restartNeeded());
    const int writesBefore = backend.writeCount();
    ASSERT_TRUE(ApplyMachineCatalogue(context));
    EXPECT_EQ(backend.writeCount() - writesBefore, 55);

    // A text value of the same number is still a change: the pass writes a REG_DWORD.
    backend.putValue(kSystemKey, u"NoDispCpl"_s, regSz(u"1"_s));
    setCurrentValue(context.machineCatalogue, kDisplayCpl, u"1"_s);
    const ApplyPlan one = planApply(context.registry, context.machineCatalogue);
    ASSERT_EQ(one.steps.size(), 1);
    EXPECT_EQ(one.steps[0].address, kDisplayCpl);
    EXPECT_EQ(plannedPlace(one.steps[0]), kSystemKey + u"\\NoDispCpl"_s);
    EXPECT_EQ(plannedValueText(one.steps[0].before), u"\"1\""_s);
    EXPECT_EQ(one.steps[0].after, 1);
    ASSERT_TRUE(ApplyMachineCatalogue(context));
    EXPECT_EQ(dword(kSystemKey, u"NoDispCpl"_s), 1u);

    // "Null" in an entry typed Numeric ends the pass: what came before is written, what follows
    // is not, and a message (never the error report, which ends the program) says which entry.
    CatalogueEntry(context.machineCatalogue.selectSingleNode(kMinPwdLen))
        .values()
        .setAttribute(u"Datatype"_s, u"Numeric"_s);
    setCurrentValue(context.machineCatalogue, kMinPwdLen, u"Null"_s);
    setCurrentValue(context.machineCatalogue, kDisplayCpl, u"0"_s);
    setCurrentValue(context.machineCatalogue, kRunDialog, u"1"_s);
    EXPECT_FALSE(ApplyMachineCatalogue(context));
    EXPECT_EQ(dword(kSystemKey, u"NoDispCpl"_s), 0u);
    EXPECT_EQ(dword(kExplorerPolicies, u"NoRun"_s), 0u);
    EXPECT_TRUE(errors.reports.isEmpty());
    EXPECT_EQ(prompter.messageTexts(),
              QStringList{kNotApplied + u"Network/Set Minimum Password Length: \"Null\" is not a number; the "
                                        u"entries after it were not applied"_s});
}

// Every other value is written, each refused one named with the system's reason, and the refused
// ones stay pending: the window stays open.
TEST_F(RegistrySync, AWriteTheRegistryRefusesIsNamedAndEveryOtherValueIsWritten) {
    ApplyMachineCatalogue(context);
    RefreshCurrentValues(context, QLatin1String(kAllEntries));
    context.workingCatalogue.copyFrom(context.machineCatalogue);
    setCurrentValue(context.workingCatalogue, kDisplayCpl, u"1"_s);
    setCurrentValue(context.workingCatalogue, kRunDialog, u"1"_s);
    backend.failUnder(kSystemKey, u"Access is denied."_s, true);
    prompter.queueAnswer(Answer::Yes);
    EXPECT_EQ(ConfirmPendingChanges(context), 1);
    EXPECT_EQ(prompter.messageTexts().last(),
              kNotApplied +
                  u"Display/Display Properties: %1\\NoDispCpl could not be written: Access is denied"_s.arg(
                      kSystemKey));
    EXPECT_EQ(dword(kExplorerPolicies, u"NoRun"_s), 1u);
    EXPECT_TRUE(context.restartNeeded);
    EXPECT_TRUE(errors.reports.isEmpty());
    EXPECT_EQ(machine(kDisplayCpl), u"0"_s);
    EXPECT_EQ(machine(kRunDialog), u"1"_s);
    EXPECT_TRUE(changesPending(context));
}

// A value that could not be read is not "absent": it is unknown, left out of every plan and never
// written back, and a later read that succeeds ends the mark.
TEST_F(RegistrySync, AValueThatCouldNotBeReadIsUnknownAndNeverWrittenBack) {
    const QString machinePolicies =
        u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies"_s;
    const QString sharing = u"TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[5]"_s;
    const QString timedOut = u"wine reg export did not finish in time"_s;
    backend.putValue(machinePolicies + u"\\Network"_s, u"NoFileSharing"_s, regDword(1));
    backend.failUnder(machinePolicies, timedOut);
    const UnreadTally unread = RefreshCurrentValues(context, QLatin1String(kAllEntries));
    EXPECT_EQ(unread.lines(), QStringList{u"3 entries under HKEY_LOCAL_MACHINE: "_s + timedOut});
    const CatalogueEntry entry(context.machineCatalogue.selectSingleNode(sharing));
    ASSERT_EQ(entry.text("REGNAME"), u"NoFileSharing"_s);
    EXPECT_EQ(entry.unreadReason(), timedOut);
    EXPECT_EQ(entryStateText(entry), u"Unknown"_s);
    EXPECT_EQ(machine(kRunDialog), u"0"_s);
    const QList<ListRow> rows = listRows(context, u"TAVIMOR/REGISTRYSETTINGS[1]"_s);
    EXPECT_EQ(rows[5].machineState, u"Unknown"_s);
    EXPECT_EQ(rows[5].machineUnread, timedOut);
    // Said once, not at every refresh.
    sayUnreadOnce(context);
    sayUnreadOnce(context);
    EXPECT_EQ(
        prompter.messageTexts(),
        QStringList{u"Some values could not be read from the registry. They show as Unknown and are "
                    u"neither applied nor saved as values.\r\n\r\n3 entries under HKEY_LOCAL_MACHINE: "_s +
                    timedOut});

    // As at start-up, the settings are what was read; a change to another entry is applied, the unknown
    // ones are named once and left as they are.
    context.workingCatalogue.copyFrom(context.machineCatalogue);
    EXPECT_FALSE(changesPending(context));
    setCurrentValue(context.workingCatalogue, kRunDialog, u"1"_s);
    prompter.queueAnswer(Answer::Yes);
    EXPECT_EQ(ConfirmPendingChanges(context), 1);
    EXPECT_EQ(prompter.messageTexts().last(),
              kNotApplied + u"4 entries under HKEY_LOCAL_MACHINE: "_s + timedOut);
    EXPECT_EQ(dword(kExplorerPolicies, u"NoRun"_s), 1u);
    EXPECT_EQ(dword(machinePolicies + u"\\Network"_s, u"NoFileSharing"_s), 1u);
    EXPECT_FALSE(planApply(context.registry, context.workingCatalogue).leftOut.isEmpty());

    backend.failUnder(machinePolicies, QString());
    EXPECT_TRUE(RefreshCurrentValues(context, QLatin1String(kAllEntries)).isEmpty());
    EXPECT_EQ(machine(sharing), u"1"_s);
    EXPECT_FALSE(CatalogueEntry(context.machineCatalogue.selectSingleNode(sharing)).unreadReason());
    // The mark is gone without a trace.
    EXPECT_FALSE(context.machineCatalogue.xml().contains(u"Unread"_s));
}

TEST_F(RegistrySync, OnlySetPlansTheEntriesAFileSaysSomethingAbout) {
    RefreshCurrentValues(context, QLatin1String(kAllEntries));
    setCurrentValue(context.machineCatalogue, kRunDialog, u"1"_s);
    setCurrentValue(context.machineCatalogue, kDisplayCpl, u"  "_s);
    // An entry whose default is empty counts with any value, also its default's.
    CatalogueEntry find(context.machineCatalogue.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[4]"_s));
    find.values().firstChildElement("DEFAULTVALUE").setText(QString());
    const ApplyPlan plan = planApply(context.registry, context.machineCatalogue, PlanScope::OnlySet);
    ASSERT_EQ(plan.steps.size(), 2);
    EXPECT_EQ(plan.steps[0].address, kRunDialog);
    EXPECT_EQ(plan.steps[0].after, 1);
    EXPECT_EQ(plan.steps[1].valueName, u"NoFind"_s);
    EXPECT_EQ(plan.steps[1].after, 0);
    EXPECT_FALSE(plan.stop);
    // The Number entry's "Null" says nothing.
    EXPECT_FALSE(entryIsSet(CatalogueEntry(context.machineCatalogue.selectSingleNode(kMinPwdLen))));
}

TEST(StateText, BooleanValuesReadAsTheFeatureState) {
    EXPECT_EQ(StateText(u"0"_s, u"BOOLEAN"_s), u"Enabled"_s);
    EXPECT_EQ(StateText(u"1"_s, u"BOOLEAN"_s), u"Disabled"_s);
    EXPECT_EQ(StateText(QString(), u"BOOLEAN"_s), u"Disabled"_s);
    EXPECT_EQ(StateText(u"abc"_s, u"BOOLEAN"_s), u"abc"_s);
    EXPECT_EQ(StateText(u"7"_s, u"NUMBER"_s), u"7"_s);
    EXPECT_EQ(StateText(u"0"_s, u"Boolean"_s), u"0"_s);
}

} // namespace
