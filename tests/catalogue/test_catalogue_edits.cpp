// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/DriveMask.h"
#include "catalogue/EntryEdit.h"
#include "catalogue/EntryFilter.h"
#include "catalogue/Password.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/ReportPage.h"
#include "settings/Cipher.h"
#include "support/CoreFixture.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

class CatalogueEdits : public CoreFixture {
protected:
    CatalogueEdits() {
        loadBuiltin();
        RefreshCurrentValues(context, QLatin1String(kAllEntries));
        context.workingCatalogue.loadXML(context.machineCatalogue.serialize());
    }
};

TEST_F(CatalogueEdits, ListRowsShowBothStatesAndTheRestartMark) {
    const QList<ListRow> sections = listRows(context, u"TAVIMOR"_s);
    ASSERT_EQ(sections.size(), 7);
    EXPECT_EQ(sections[1].text, u"Network"_s);
    EXPECT_TRUE(sections[1].tag.isEmpty());

    applyEntryLater(context, kRunDialog, u"1"_s);
    const QList<ListRow> rows = listRows(context, u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows[3].text, u"Run Dialog"_s);
    EXPECT_EQ(rows[3].tag, kRunDialog);
    EXPECT_EQ(rows[3].workingState, u"Disabled"_s);
    EXPECT_EQ(rows[3].machineState, u"Enabled"_s);
    EXPECT_TRUE(rows[3].needsRestart);
    EXPECT_FALSE(rows[0].needsRestart);

    const QList<ListRow> network = listRows(context, u"TAVIMOR/REGISTRYSETTINGS[1]"_s);
    EXPECT_EQ(network[6].workingState, u"Null"_s);
    EXPECT_EQ(listRows(context, u"TAVIMOR/REGISTRYSETTINGS[3]"_s)[0].machineState, QString());
    EXPECT_TRUE(listRows(context, u"TAVIMOR/REGISTRYSETTINGS[9]"_s).isEmpty());
}

// The filter finds entries of every section by name or registry value name, whatever the case, and
// names the section in each row.
TEST_F(CatalogueEdits, TheFilterFindsEntriesByNameOrValueNameAcrossSections) {
    const auto found = [&](const QString& text) {
        QStringList names;
        for (const ListRow& row : matchingRows(context, text))
            names.append(row.text);
        return names;
    };
    const QStringList pages = found(u" PAGE "_s);
    EXPECT_TRUE(pages.contains(u"Background Page (Display)"_s));
    EXPECT_TRUE(pages.contains(u"Change Password Page (Security)"_s)) << pages.join(u", "_s).toStdString();
    for (const QString& text : pages)
        EXPECT_TRUE(text.contains(u"page"_s, Qt::CaseInsensitive)) << text.toStdString();
    EXPECT_EQ(found(u"norun"_s), QStringList{u"Run Dialog (Start Menu)"_s});
    EXPECT_EQ(matchingRows(context, u"norun"_s).value(0).tag, kRunDialog);
    EXPECT_TRUE(found(u" "_s).isEmpty());
}

TEST_F(CatalogueEdits, ApplyNowWritesBothCataloguesAndFlagsOnlyARealChange) {
    EXPECT_TRUE(applyEntryNow(context, kRunDialog, u"1"_s));
    EXPECT_EQ(dword(kExplorerPolicies, u"NoRun"_s), 1u);
    EXPECT_EQ(machine(kRunDialog), u"1"_s);
    EXPECT_TRUE(context.restartNeeded);
    EXPECT_FALSE(changesPending(context)); // so the working catalogue says 1 as well

    context.restartNeeded = false;
    EXPECT_TRUE(applyEntryNow(context, kRunDialog, u"1"_s));
    EXPECT_FALSE(context.restartNeeded);

    // A restart-free entry never sets the flag; the Number entry is written as a DWORD too.
    EXPECT_TRUE(applyEntryNow(context, u"TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[6]"_s, u"8"_s));
    EXPECT_FALSE(context.restartNeeded);
    const QString network =
        u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network"_s;
    EXPECT_EQ(dword(network, u"MinPwdLen"_s), 8u);
    EXPECT_FALSE(applyEntryNow(context, u"TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[99]"_s, u"1"_s));

    // Apply later touches the working catalogue alone.
    const int writes = backend.writeCount();
    EXPECT_TRUE(applyEntryLater(context, kRunDialog, QString()));
    EXPECT_EQ(backend.writeCount(), writes);
    EXPECT_EQ(machine(kRunDialog), u"1"_s);
    EXPECT_TRUE(changesPending(context));
}

TEST_F(CatalogueEdits, DriveMaskKeepsTheLow26Bits) {
    EXPECT_EQ(readDriveMask(context.registry, errors), 0u);
    writeDriveMask(context.registry, 0, errors);
    EXPECT_EQ(dword(kExplorerPolicies, u"NoDrives"_s), 0u);

    backend.putValue(kExplorerPolicies, u"NoDrives"_s, regDword(0xFC000004));
    EXPECT_EQ(readDriveMask(context.registry, errors), 4u);
    backend.putValue(kExplorerPolicies, u"NoDrives"_s,
                     RegValue{REG_BINARY, QByteArray("\xff\xff\xff\x03", 4)});
    EXPECT_EQ(readDriveMask(context.registry, errors), 0u);

    writeDriveMask(context.registry, *parseDriveLetters(u"A,z"_s), errors);
    EXPECT_EQ(dword(kExplorerPolicies, u"NoDrives"_s), 0x2000001u);
    writeDriveMask(context.registry, 0xFFFFFFFF, errors);
    EXPECT_EQ(dword(kExplorerPolicies, u"NoDrives"_s), 0x3FFFFFFu);
    EXPECT_EQ(driveLetters(0x2000005), u"ACZ"_s);
    EXPECT_EQ(parseDriveLetters(u"none"_s), 0u);
    EXPECT_EQ(parseDriveLetters(u"C: D:"_s), 12u);
    EXPECT_FALSE(parseDriveLetters(u"C1"_s).has_value());
    EXPECT_TRUE(errors.reports.isEmpty());
}

// Whether entered is the password stored now.
bool isStored(ProgramContext& context, const QString& entered) {
    const std::optional<QString> stored = MyPwdRead(context);
    return stored && passwordMatches(entered, *stored);
}

TEST_F(CatalogueEdits, PasswordIsStoredAsASaltedHashAndComparedAfterTrimming) {
    EXPECT_TRUE(isStored(context, QString()));
    ASSERT_TRUE(MyPwdWrite(context, u" Secret"_s));
    const QString stored = settings.read(u"quorvel"_s, QString()).value_or(QString());
    EXPECT_TRUE(stored.startsWith(u"$scrypt$15$8$1$"_s)) << stored.toStdString();
    EXPECT_TRUE(isStored(context, trimTrailingSpaces(u" Secret "_s)));
    for (const QString& wrong : {u"Secret"_s, u" secret"_s, QString()})
        EXPECT_FALSE(isStored(context, wrong)) << wrong.toStdString();

    // A status text of the cipher is a password like any other, stored or enciphered by an earlier version.
    ASSERT_TRUE(MyPwdWrite(context, u"-1"_s));
    EXPECT_TRUE(isStored(context, u"-1"_s) && !isStored(context, QString()));
    for (const QString& old : {u"old pw"_s, u"-2"_s}) {
        ASSERT_TRUE(settings.save(u"quorvel"_s, EncipherText(old, cataloguePassPhrase())));
        EXPECT_TRUE(isStored(context, old) && !isStored(context, QString()));
    }
    EXPECT_TRUE(errors.reports.isEmpty());

    // Neither a hash of ours (its costs included) nor a password we enciphered: damaged, never "".
    const QString salt = u"AAAAAAAAAAAAAAAAAAAAAA"_s;
    const QString hash = u"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"_s;
    for (const QString& damaged :
         {u"-3"_s, EncipherText(u"pw"_s, u"another phrase"_s), u"$scrypt$15$8$1$%1$%2x"_s.arg(salt, hash),
          u"$scrypt$31$8$1$%1$%2"_s.arg(salt, hash)}) {
        ASSERT_TRUE(settings.save(u"quorvel"_s, damaged));
        EXPECT_EQ(MyPwdRead(context), std::nullopt) << damaged.toStdString();
    }
    EXPECT_EQ(errors.reports.size(), 4);
}

// The report's text as a browser shows it, each cell ended by '|'.
QString reportText(const QByteArray& page) {
    QString text = QString::fromUtf8(page);
    text.replace(QRegularExpression(u"</t[dh]>"_s), u"|"_s).remove(QRegularExpression(u"<[^>]*>"_s));
    return text.simplified().replace(QRegularExpression(u" ?\\| ?"_s), u"|"_s);
}

// A table per section, with each entry's applied state (not a pending one), where its value lies and
// whether it needs a restart.
TEST_F(CatalogueEdits, TheReportShowsTheAppliedStateOfEveryEntry) {
    ASSERT_TRUE(QFile::copy(QStringLiteral(TAVIMOR_SOURCE_DIR "/resources/program/tavimor.xsl"),
                            ReportPage::styleSheetPath(context.programFolder)));
    ASSERT_TRUE(applyEntryNow(context, kRunDialog, u"1"_s));
    ASSERT_TRUE(applyEntryLater(context, u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s, u"1"_s));
    const auto report = [&](const QString& address) {
        return ReportPage::html(context.machineCatalogue, address, context.programFolder, {}, nullptr)
            .value_or(QByteArray());
    };
    const QByteArray start = report(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
    EXPECT_EQ(start.count("</tr>"), 1 + 8);
    EXPECT_TRUE(reportText(start).contains(u"|Run Dialog|Disabled|"_s + kExplorerPolicies +
                                           u"\\NoRun|Needs restart|Removes"_s));
    const QByteArray all = report(u"TAVIMOR"_s);
    EXPECT_EQ(all.count("<table"), 7);
    EXPECT_EQ(all.count("</tr>"), 7 + 57);
    EXPECT_EQ(reportText(all).count(u"|Disabled|"_s), 1);
    EXPECT_TRUE(reportText(all).contains(u"|Handle Drive(s)|Not set|"_s));
}

TEST(CatalogueCheck, NamesTheEntryAndTheMissingElement) {
    XmlDocument doc;
    doc.loadXML(QStringLiteral(
        "<TAVIMOR><REGISTRYSETTINGS Section=\"S\"><ENTRY><NAME>One</NAME><DESCRIPTION/>"
        "<KEY>HKEY_NOWHERE</KEY><REGNAME>R</REGNAME><VALUES Datatype=\"Boolean\">"
        "<DEFAULTVALUE>0</DEFAULTVALUE></VALUES><IMAGE/></ENTRY></REGISTRYSETTINGS></TAVIMOR>"));
    const QString one = u"Entry \"One\" (TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]) "_s;
    EXPECT_EQ(checkCatalogue(doc),
              (QStringList{one + u"has no PATH element."_s, one + u"has no VALUES/CURRENTVALUE element."_s,
                           one + u"names the unknown hive \"HKEY_NOWHERE\" in KEY."_s}));
    doc.loadXML(builtinCatalogueText());
    EXPECT_TRUE(checkCatalogue(doc).isEmpty());
    doc.loadXML(u"<CATALOGUE/>"_s);
    EXPECT_EQ(checkCatalogue(doc).size(), 1);
    doc.loadXML(u"<TAVIMOR><REGISTRYSETTINGS Section=\"Tavimor\"/></TAVIMOR>"_s);
    EXPECT_EQ(checkCatalogue(doc).size(), 1);
}

} // namespace
