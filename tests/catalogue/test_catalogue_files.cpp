// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FileUtil.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/RegistrySync.h"
#include "settings/Cipher.h"
#include "support/CoreFixture.h"
#include "support/LargeCatalogue.h"

#include <QFile>

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kNotValid = u"Not a valid tavimor file"_s;
const QString kEnterRds = u"Enter a .rds file as parameter."_s;

QString withRunDialog(const QString& value) {
    QString text = builtinCatalogueText();
    const QString marker = u"<REGNAME>NoRun</REGNAME>"_s;
    const qsizetype at = text.indexOf(u"<CURRENTVALUE>0</CURRENTVALUE>"_s, text.indexOf(marker));
    return text.replace(at, 30, u"<CURRENTVALUE>%1</CURRENTVALUE>"_s.arg(value));
}

using CatalogueStartup = CoreFixture;

// Opening the default file later takes the same road.
TEST_F(CatalogueStartup, TheDefaultFileMirrorsTheRegistryANamedOneIsTakenAsItIs) {
    writeDefaultRds(withRunDialog(u"1"_s), false);
    backend.putValue(kExplorerPolicies, u"NoFind"_s, regDword(1));
    struct CountingView : CatalogueView {
        int builds = 0;
        bool BuildTree() override { return ++builds > 0; }
    } view;
    CatalogueFiles(context, view).Startup(QString());
    EXPECT_FALSE(changesPending(context));
    // The registry is read once (the values of one refresh, and the computer name), the tree built once.
    const int startupReads = backend.readCount();
    RefreshCurrentValues(context, QLatin1String(kAllEntries));
    EXPECT_EQ(startupReads, backend.readCount() - startupReads + 1);
    EXPECT_EQ(view.builds, 1);
    // The registry wins over the file: NoRun is not set there, NoFind is.
    EXPECT_EQ(working(kRunDialog), u"0"_s);
    EXPECT_EQ(working(u"TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[4]"_s), u"1"_s);
    EXPECT_EQ(context.machineCatalogue.documentElement().attribute(u"SystemName"_s), u"TESTBOX"_s);
    EXPECT_EQ(context.currentSettingsFile, QString());
    EXPECT_EQ(context.helpFile, context.programFolder + u"/help/Tavimor4.chm"_s);

    writeRds(u"mine.RDS"_s, withRunDialog(u"1"_s));
    m_files.Startup(dir.filePath(u"mine.RDS"_s));
    EXPECT_TRUE(prompter.messages().isEmpty());
    // Both documents hold the file's values; the registry is not read.
    EXPECT_EQ(machine(kRunDialog), u"1"_s);
    EXPECT_FALSE(changesPending(context));
}

TEST_F(CatalogueStartup, AHiddenDefaultFileMeansTheBuiltInCatalogue) {
    writeDefaultRds(u"garbage that is never read"_s, true);
    backend.putValue(kExplorerPolicies, u"NoRun"_s, regDword(1));
    m_files.Startup(QString());
    EXPECT_TRUE(prompter.messages().isEmpty());
    EXPECT_EQ(working(kRunDialog), u"1"_s);
    EXPECT_FALSE(changesPending(context));

    // A dot-name is hidden as well.
    ASSERT_TRUE(writeFileAtomically(dir.filePath(u".tavimor.rds"_s), "x"));
    EXPECT_FALSE(isListedByPlainSearch(dir.filePath(u".tavimor.rds"_s)));
}

TEST_F(CatalogueStartup, CommandLineMistakesAreReportedInOrder) {
    writeDefaultRds(builtinCatalogueText(), true);
    m_files.Startup(u"settings.txt"_s);
    EXPECT_EQ(prompter.messageTexts(), QStringList{kEnterRds});
    EXPECT_EQ(context.workingCatalogue.selectNodes(QLatin1String(kAllEntries)).size(), 57);
    const auto& box = prompter.messages().first();
    EXPECT_EQ(box.title, u"Tavimor 4.0"_s);
    EXPECT_EQ(box.icon, MessageIcon::Critical);
    EXPECT_EQ(box.buttons, MessageButtons::Ok);

    // A bare name is looked for in the program folder; the default file is then not tried.
    prompter.clear();
    m_files.Startup(u"absent.rds"_s);
    EXPECT_EQ(prompter.messageTexts(),
              (QStringList{u"RDS file does not exist."_s,
                           context.programFolder + u"/absent.rds does not exist."_s}));
    EXPECT_TRUE(context.workingCatalogue.isEmpty());
    EXPECT_TRUE(context.machineCatalogue.isEmpty());
}

class SettingsFileInput : public CoreFixture {
protected:
    void expectRefused(const QByteArray& content, const char* what) {
        const QString path = dir.filePath(u"bad.rds"_s);
        ASSERT_TRUE(writeFileAtomically(path, content));
        const QByteArray before = context.workingCatalogue.serialize();
        prompter.clear();
        QString name = path;
        EXPECT_FALSE(m_files.LoadSettingsFile(name)) << what;
        EXPECT_EQ(prompter.messageTexts(), QStringList{kNotValid}) << what;
        EXPECT_EQ(context.workingCatalogue.serialize(), before) << what;
    }
};

TEST_F(SettingsFileInput, DamagedFilesAreRefusedAndChangeNothing) {
    loadBuiltin();
    const QByteArray good =
        CatalogueFiles::encipherSettingsFile(builtinCatalogueText(), cataloguePassPhrase());
    expectRefused(QByteArray(), "empty");
    expectRefused(good.left(good.size() / 2), "truncated");
    expectRefused(builtinCatalogueText().toUtf8(), "plain XML");
    expectRefused(EncipherText(u"just words"_s, cataloguePassPhrase()).toLatin1(), "cipher of non-XML");
    expectRefused(QByteArray(50 * 1024 * 1024, 'A'), "50 MB");
}

TEST_F(SettingsFileInput, BrokenXmlUnknownHivesAndMissingElementsAreSurvived) {
    // A valid envelope of broken XML loads, silently, as empty documents.
    QString broken = writeRds(u"broken.rds"_s, u"<TAVIMOR><REGISTRYSETTINGS></TAVIMOR>"_s);
    EXPECT_TRUE(m_files.LoadSettingsFile(broken));
    EXPECT_TRUE(prompter.messages().isEmpty());
    EXPECT_TRUE(context.machineCatalogue.isEmpty());
    EXPECT_TRUE(context.workingCatalogue.isEmpty());

    // One entry names a hive that does not exist, another lacks PATH and CURRENTVALUE.
    QString text = withRunDialog(u"1"_s);
    text.replace(text.indexOf(u"<KEY>HKEY_CURRENT_USER</KEY>"_s), 28, u"<KEY>HKEY_NOWHERE</KEY>"_s);
    const qsizetype path = text.lastIndexOf(u"<PATH>"_s);
    text.remove(path, text.indexOf(u"</PATH>"_s, path) + 7 - path);
    const qsizetype current = text.lastIndexOf(u"<CURRENTVALUE>"_s);
    text.remove(current, text.indexOf(u"</CURRENTVALUE>"_s, current) + 15 - current);
    const QString file = writeRds(u"odd.rds"_s, text);

    m_files.Startup(file);
    EXPECT_TRUE(prompter.messages().isEmpty());
    RefreshCurrentValues(context, QLatin1String(kAllEntries));
    // The unknown hive reads nothing, which a Boolean entry shows as 0.
    EXPECT_EQ(machine(u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s), u"0"_s);
    const QList<ListRow> rows = listRows(context, u"TAVIMOR/REGISTRYSETTINGS[6]"_s);
    ASSERT_EQ(rows.size(), 21);
    EXPECT_TRUE(rows.last().workingState.isEmpty() && rows.last().machineState.isEmpty());
    // Applying writes every other value, names the one that fails through the unknown hive with why,
    // and keeps it pending.
    prompter.queueAnswer(Answer::Yes);
    EXPECT_EQ(ConfirmPendingChanges(context), 1);
    EXPECT_EQ(dword(kExplorerPolicies, u"NoRun"_s), 1u);
    EXPECT_TRUE(errors.reports.isEmpty());
    ASSERT_EQ(prompter.messages().size(), 2);
    EXPECT_TRUE(prompter.messages()[1].text.contains(
        QStringLiteral("\r\nDisplay/Display Properties: "
                       "HKEY_NOWHERE\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\"
                       "NoDispCpl could not be written: ")))
        << prompter.messages()[1].text.toStdString();
}

class FileCommands : public CoreFixture {
protected:
    FileCommands() {
        writeDefaultRds(builtinCatalogueText(), true);
        m_files.Startup(QString());
        prompter.clear();
    }
};

TEST_F(FileCommands, OpenLoadsAnotherFileIntoTheWorkingCatalogueOnly) {
    const QString other = writeRds(u"other.rds"_s, withRunDialog(u"1"_s));
    prompter.queueFileName(other);
    EXPECT_TRUE(m_files.OpenCommand());
    ASSERT_EQ(prompter.dialogs().size(), 1);
    const FileDialogRequest& request = prompter.dialogs().first().request;
    EXPECT_FALSE(prompter.dialogs().first().save);
    EXPECT_EQ(request.filter, u"Tavimor Files (*.rds)|*.rds|All Files (*.*)|*.*"_s);
    EXPECT_EQ(request.defaultExt, u".rds"_s);
    EXPECT_EQ(request.flags, 4096u);
    EXPECT_EQ(request.fileName, QString());
    EXPECT_EQ(context.currentSettingsFile, other);
    EXPECT_EQ(working(kRunDialog), u"1"_s);
    EXPECT_EQ(machine(kRunDialog), u"0"_s);

    // Now something is pending: Open asks, and a Cancel stops it before the dialog.
    prompter.queueAnswer(Answer::Cancel);
    EXPECT_FALSE(m_files.OpenCommand());
    EXPECT_EQ(prompter.dialogs().size(), 1);

    // No, then Cancel at the load's own question: nothing read, the current file kept.
    prompter.queueAnswer(Answer::No);
    prompter.queueFileName(writeRds(u"third.rds"_s, builtinCatalogueText()));
    prompter.queueAnswer(Answer::Cancel);
    EXPECT_TRUE(m_files.OpenCommand());
    EXPECT_EQ(context.currentSettingsFile, other);
    EXPECT_EQ(working(kRunDialog), u"1"_s);
}

TEST_F(FileCommands, OpenExplainsWhatWentWrong) {
    prompter.queueFileName(QString());
    EXPECT_FALSE(m_files.OpenCommand());
    prompter.queueFileName(dir.filePath(u"upper.RDS"_s));
    EXPECT_FALSE(m_files.OpenCommand());
    const QString junk = dir.filePath(u"junk.rds"_s);
    ASSERT_TRUE(writeFileAtomically(junk, "junk"));
    prompter.queueFileName(junk);
    EXPECT_FALSE(m_files.OpenCommand());
    EXPECT_EQ(prompter.messageTexts(), (QStringList{kEnterRds, kEnterRds, kNotValid,
                                                    junk + u" does not contain tavimor information."_s}));
    EXPECT_EQ(context.currentSettingsFile, QString());
}

TEST_F(FileCommands, SaveAsksForANameUntilOneIsChosenBySaveAs) {
    const QString first = dir.filePath(u"first.rds"_s);
    prompter.queueFileName(first);
    EXPECT_TRUE(m_files.SaveCommand());
    EXPECT_EQ(prompter.dialogs().last().request.flags, 2u);
    EXPECT_TRUE(prompter.dialogs().last().save);
    EXPECT_EQ(context.currentSettingsFile, QString());
    EXPECT_FALSE(m_files.SaveCommand()); // asks again; the cancelled dialog writes nothing
    EXPECT_EQ(prompter.dialogs().size(), 2);

    const std::optional<QByteArray> saved = readWholeFile(first, kMaxSettingsFileSize);
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->endsWith("\r\n"));
    EXPECT_EQ(CatalogueFiles::decipherSettingsFile(*saved, cataloguePassPhrase()),
              context.workingCatalogue.serialize());
    EXPECT_TRUE(prompter.messages().isEmpty());

    // Save As to a name the write fails on still takes that name; each failure says why.
    const QString unwritable = dir.filePath(u"no/such/folder/x.rds"_s);
    prompter.queueFileName(unwritable);
    EXPECT_FALSE(m_files.SaveAsCommand());
    EXPECT_EQ(context.currentSettingsFile, unwritable);
    EXPECT_FALSE(m_files.SaveCommand());
    EXPECT_EQ(prompter.dialogs().size(), 3);
    ASSERT_EQ(prompter.messages().size(), 2);
    EXPECT_TRUE(
        prompter.messages()[1].text.startsWith(u"The settings file %1 was not saved: "_s.arg(unwritable)))
        << prompter.messages()[1].text.toStdString();
    EXPECT_EQ(prompter.messages()[1].icon, MessageIcon::Critical);
    // A link is not written through: what it points to keeps its bytes.
    const QString link = dir.filePath(u"link.rds"_s);
    ASSERT_TRUE(QFile::link(first, link));
    prompter.queueFileName(link);
    EXPECT_FALSE(m_files.SaveAsCommand());
    EXPECT_TRUE(prompter.messages().last().text.contains(u"it is a symbolic link"_s));
    EXPECT_EQ(readWholeFile(first, kMaxSettingsFileSize), saved);
}

// 49 MiB of catalogue make a settings file of over 65 MiB, which no reader would open again.
TEST_F(FileCommands, SaveRefusesAFileTooLargeToBeOpenedAgain) {
    ASSERT_TRUE(context.workingCatalogue.loadXML(largeCatalogueText()));
    const QString path = dir.filePath(u"large.rds"_s);
    prompter.queueFileName(path);
    EXPECT_FALSE(m_files.SaveCommand());
    prompter.queueFileName(path);
    EXPECT_FALSE(m_files.SaveAsCommand());
    const QString refused = QStringLiteral(
        "The catalogue is too large to save: the settings file would be 66.7 MiB, larger than the 64 MiB "
        "a settings file may have to be opened again. Nothing was written.");
    EXPECT_EQ(prompter.messageTexts(), (QStringList{refused, refused}));
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
