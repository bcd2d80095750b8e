// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FileUtil.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/RegistrySync.h"
#include "registry/Cipher.h"
#include "support/CoreFixture.h"
#include "support/LargeCatalogue.h"

#include <QFile>
#include <QRandomGenerator>

using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kNotValid = QStringLiteral("Not a valid tavimor file");
const QString kMissing = QStringLiteral("RDS file does not exist.");
const QString kEnterRds = QStringLiteral("Enter a .rds file as parameter.");

QString withRunDialog(const QString& value) {
    QString text = builtinCatalogueText();
    const QString marker = QStringLiteral("<REGNAME>NoRun</REGNAME>");
    const qsizetype at = text.indexOf(QStringLiteral("<CURRENTVALUE>0</CURRENTVALUE>"), text.indexOf(marker));
    return text.replace(at, 30, QStringLiteral("<CURRENTVALUE>%1</CURRENTVALUE>").arg(value));
}

using CatalogueStartup = CoreFixture;

TEST_F(CatalogueStartup, ANormalDefaultFileIsLoadedAndMirrorsTheRegistry) {
    writeDefaultRds(withRunDialog(QStringLiteral("1")), false);
    m_backend.putValue(QLatin1String(kExplorerPolicies), QStringLiteral("NoFind"), regDword(1));
    m_files.Startup(QString());
    EXPECT_TRUE(m_prompter.messages().isEmpty());
    EXPECT_FALSE(changesPending(m_context));
    // The registry wins over the file: NoRun is not set there, NoFind is.
    EXPECT_EQ(currentValue(m_context.workingCatalogue, QLatin1String(kRunDialog)), QStringLiteral("0"));
    EXPECT_EQ(
        currentValue(m_context.workingCatalogue, QStringLiteral("TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[4]")),
        QStringLiteral("1"));
    EXPECT_EQ(m_context.machineCatalogue.documentElement().attribute(QStringLiteral("SystemName")),
              QStringLiteral("TESTBOX"));
    EXPECT_EQ(m_context.currentSettingsFile, QString());
    EXPECT_EQ(m_context.helpFile, m_context.programFolder + QStringLiteral("/help/Tavimor4.chm"));
}

TEST_F(CatalogueStartup, AHiddenDefaultFileMeansTheBuiltInCatalogue) {
    writeDefaultRds(QStringLiteral("garbage that is never read"), true);
    m_backend.putValue(QLatin1String(kExplorerPolicies), QStringLiteral("NoRun"), regDword(1));
    m_files.Startup(QString());
    EXPECT_TRUE(m_prompter.messages().isEmpty());
    EXPECT_EQ(m_context.workingCatalogue.selectNodes(QLatin1String(kAllEntries)).size(), 57);
    EXPECT_EQ(currentValue(m_context.workingCatalogue, QLatin1String(kRunDialog)), QStringLiteral("1"));
    EXPECT_FALSE(changesPending(m_context));

    // A dot-name is hidden as well.
    EXPECT_FALSE(isListedByPlainSearch(m_dir.filePath(QStringLiteral(".tavimor.rds"))));
}

TEST_F(CatalogueStartup, TheCommandLineNamesAFile) {
    writeRds(QStringLiteral("mine.RDS"), withRunDialog(QStringLiteral("1")));
    m_backend.putValue(QLatin1String(kExplorerPolicies), QStringLiteral("NoRun"), regDword(0));
    m_files.Startup(m_dir.filePath(QStringLiteral("mine.RDS")));
    EXPECT_TRUE(m_prompter.messages().isEmpty());
    // Both documents hold the file's values; the registry is not read.
    EXPECT_EQ(currentValue(m_context.machineCatalogue, QLatin1String(kRunDialog)), QStringLiteral("1"));
    EXPECT_FALSE(changesPending(m_context));
}

TEST_F(CatalogueStartup, CommandLineMistakesAreReportedInOrder) {
    writeDefaultRds(builtinCatalogueText(), true);
    m_files.Startup(QStringLiteral("settings.txt"));
    EXPECT_EQ(m_prompter.messageTexts(), QStringList{kEnterRds});
    EXPECT_EQ(m_context.workingCatalogue.selectNodes(QLatin1String(kAllEntries)).size(), 57);
    const auto& box = m_prompter.messages().first();
    EXPECT_EQ(box.title, QStringLiteral("Tavimor 4.0"));
    EXPECT_EQ(box.icon, MessageIcon::Critical);
    EXPECT_EQ(box.buttons, MessageButtons::Ok);

    // A bare name is looked for in the program folder; the default file is then not tried.
    m_prompter.clear();
    m_files.Startup(QStringLiteral("absent.rds"));
    EXPECT_EQ(
        m_prompter.messageTexts(),
        (QStringList{kMissing, m_context.programFolder + QStringLiteral("/absent.rds does not exist.")}));
    EXPECT_TRUE(m_context.workingCatalogue.isEmpty());
    EXPECT_TRUE(m_context.machineCatalogue.isEmpty());
}

class SettingsFileInput : public CoreFixture {
protected:
    void expectRefused(const QByteArray& content, const char* what) {
        const QString path = m_dir.filePath(QStringLiteral("bad.rds"));
        ASSERT_TRUE(writeFileAtomically(path, content));
        const QByteArray before = m_context.workingCatalogue.serialize();
        m_prompter.clear();
        QString name = path;
        EXPECT_FALSE(m_files.LoadSettingsFile(name)) << what;
        EXPECT_EQ(m_prompter.messageTexts(), QStringList{kNotValid}) << what;
        EXPECT_EQ(m_context.workingCatalogue.serialize(), before) << what;
    }
};

TEST_F(SettingsFileInput, DamagedFilesAreRefusedAndChangeNothing) {
    loadBuiltin();
    const QByteArray good =
        CatalogueFiles::encipherSettingsFile(builtinCatalogueText(), cataloguePassPhrase());
    expectRefused(QByteArray(), "empty");
    expectRefused(good.left(good.size() / 2), "truncated");
    expectRefused(builtinCatalogueText().toUtf8(), "plain XML");
    QByteArray noise(4096, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    expectRefused(noise, "random bytes");
    expectRefused(EncipherText(QStringLiteral("just words"), cataloguePassPhrase()).toLatin1(),
                  "cipher of non-XML");
    expectRefused(EncipherText(builtinCatalogueText(), QStringLiteral("another pass phrase")).toLatin1(),
                  "other key");
    QByteArray flipped = good;
    flipped[100] = flipped[100] == 'A' ? 'B' : 'A';
    expectRefused(flipped, "one character changed");
    QByteArray huge(50 * 1024 * 1024, 'A');
    expectRefused(huge, "50 MB");
}

TEST_F(SettingsFileInput, AValidEnvelopeOfBrokenXmlEmptiesTheDocuments) {
    const QString path =
        writeRds(QStringLiteral("broken.rds"), QStringLiteral("<TAVIMOR><REGISTRYSETTINGS></TAVIMOR>"));
    QString name = path;
    EXPECT_TRUE(m_files.LoadSettingsFile(name));
    EXPECT_TRUE(m_prompter.messages().isEmpty());
    EXPECT_TRUE(m_context.machineCatalogue.isEmpty());
    EXPECT_TRUE(m_context.workingCatalogue.isEmpty());
}

TEST_F(SettingsFileInput, UnknownHivesAndMissingElementsAreSurvived) {
    // One entry names a hive that does not exist, another lacks PATH and CURRENTVALUE.
    QString text = withRunDialog(QStringLiteral("1"));
    text.replace(text.indexOf(QStringLiteral("<KEY>HKEY_CURRENT_USER</KEY>")), 28,
                 QStringLiteral("<KEY>HKEY_NOWHERE</KEY>"));
    const qsizetype path = text.lastIndexOf(QStringLiteral("<PATH>"));
    text.remove(path, text.indexOf(QStringLiteral("</PATH>"), path) + 7 - path);
    const qsizetype current = text.lastIndexOf(QStringLiteral("<CURRENTVALUE>"));
    text.remove(current, text.indexOf(QStringLiteral("</CURRENTVALUE>"), current) + 15 - current);
    const QString file = writeRds(QStringLiteral("odd.rds"), text);

    m_files.Startup(file);
    EXPECT_TRUE(m_prompter.messages().isEmpty());
    RefreshCurrentValues(m_context, QLatin1String(kAllEntries));
    // The unknown hive reads nothing, which a Boolean entry shows as 0.
    EXPECT_EQ(
        currentValue(m_context.machineCatalogue, QStringLiteral("TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]")),
        QStringLiteral("0"));
    const QList<ListRow> rows = listRows(m_context, QStringLiteral("TAVIMOR/REGISTRYSETTINGS[6]"));
    ASSERT_EQ(rows.size(), 21);
    EXPECT_TRUE(rows.last().workingState.isEmpty());
    // Applying stops at the first write that fails, through the unknown hive, and says which and why.
    m_prompter.queueAnswer(Answer::Yes);
    EXPECT_EQ(ConfirmPendingChanges(m_context), 0);
    EXPECT_FALSE(dword(QLatin1String(kExplorerPolicies), QStringLiteral("NoRun")).has_value());
    ASSERT_EQ(m_errors.reports.size(), 1);
    EXPECT_TRUE(m_errors.reports[0].description.startsWith(
        QStringLiteral("Display/Display Properties: "
                       "HKEY_NOWHERE\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\"
                       "NoDispCpl could not be written: ")))
        << m_errors.reports[0].description.toStdString();
    EXPECT_EQ(m_prompter.messages().size(), 1);
}

class FileCommands : public CoreFixture {
protected:
    FileCommands() {
        writeDefaultRds(builtinCatalogueText(), true);
        m_files.Startup(QString());
        m_prompter.clear();
    }
};

TEST_F(FileCommands, OpenLoadsAnotherFileIntoTheWorkingCatalogueOnly) {
    const QString other = writeRds(QStringLiteral("other.rds"), withRunDialog(QStringLiteral("1")));
    m_prompter.queueFileName(other);
    EXPECT_TRUE(m_files.OpenCommand());
    ASSERT_EQ(m_prompter.dialogs().size(), 1);
    const FileDialogRequest& request = m_prompter.dialogs().first().request;
    EXPECT_FALSE(m_prompter.dialogs().first().save);
    EXPECT_EQ(request.filter, QStringLiteral("Tavimor Files (*.rds)|*.rds|All Files (*.*)|*.*"));
    EXPECT_EQ(request.defaultExt, QStringLiteral(".rds"));
    EXPECT_EQ(request.flags, 4096u);
    EXPECT_EQ(request.fileName, QString());
    EXPECT_EQ(m_context.currentSettingsFile, other);
    EXPECT_EQ(currentValue(m_context.workingCatalogue, QLatin1String(kRunDialog)), QStringLiteral("1"));
    EXPECT_EQ(currentValue(m_context.machineCatalogue, QLatin1String(kRunDialog)), QStringLiteral("0"));
    EXPECT_TRUE(changesPending(m_context));

    // Now something is pending: Open asks, and a Cancel stops it before the dialog.
    m_prompter.queueAnswer(Answer::Cancel);
    EXPECT_FALSE(m_files.OpenCommand());
    EXPECT_EQ(m_prompter.dialogs().size(), 1);

    // No, then Cancel at the load's own question: nothing read, the current file kept.
    m_prompter.queueAnswer(Answer::No);
    m_prompter.queueFileName(writeRds(QStringLiteral("third.rds"), builtinCatalogueText()));
    m_prompter.queueAnswer(Answer::Cancel);
    EXPECT_TRUE(m_files.OpenCommand());
    EXPECT_EQ(m_context.currentSettingsFile, other);
    EXPECT_EQ(currentValue(m_context.workingCatalogue, QLatin1String(kRunDialog)), QStringLiteral("1"));
}

TEST_F(FileCommands, OpenExplainsWhatWentWrong) {
    m_prompter.queueFileName(QString());
    EXPECT_FALSE(m_files.OpenCommand());
    m_prompter.queueFileName(m_dir.filePath(QStringLiteral("upper.RDS")));
    EXPECT_FALSE(m_files.OpenCommand());
    const QString junk = m_dir.filePath(QStringLiteral("junk.rds"));
    ASSERT_TRUE(writeFileAtomically(junk, "junk"));
    m_prompter.queueFileName(junk);
    EXPECT_FALSE(m_files.OpenCommand());
    EXPECT_EQ(m_prompter.messageTexts(),
              (QStringList{kEnterRds, kEnterRds, kNotValid,
                           junk + QStringLiteral(" does not contain tavimor information.")}));
    EXPECT_EQ(m_context.currentSettingsFile, QString());
}

TEST_F(FileCommands, SaveAsksForANameUntilOneIsChosenBySaveAs) {
    const QString first = m_dir.filePath(QStringLiteral("first.rds"));
    m_prompter.queueFileName(first);
    EXPECT_TRUE(m_files.SaveCommand());
    EXPECT_EQ(m_prompter.dialogs().last().request.flags, 2u);
    EXPECT_TRUE(m_prompter.dialogs().last().save);
    EXPECT_EQ(m_context.currentSettingsFile, QString());
    EXPECT_FALSE(m_files.SaveCommand()); // asks again; the cancelled dialog writes nothing
    EXPECT_EQ(m_prompter.dialogs().size(), 2);

    const std::optional<QByteArray> saved = readWholeFile(first, kMaxSettingsFileSize);
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->endsWith("\r\n"));
    EXPECT_EQ(CatalogueFiles::decipherSettingsFile(*saved, cataloguePassPhrase()),
              m_context.workingCatalogue.serialize());
    EXPECT_TRUE(m_prompter.messages().isEmpty());

    // Save As to a name the write fails on still takes that name.
    const QString unwritable = m_dir.filePath(QStringLiteral("no/such/folder/x.rds"));
    m_prompter.queueFileName(unwritable);
    EXPECT_FALSE(m_files.SaveAsCommand());
    EXPECT_EQ(m_context.currentSettingsFile, unwritable);
    EXPECT_FALSE(m_files.SaveCommand());
    EXPECT_EQ(m_prompter.dialogs().size(), 3);
    EXPECT_TRUE(m_prompter.messages().isEmpty());
}

// 49 MiB of catalogue make a settings file of over 65 MiB, which no reader would open again.
TEST_F(FileCommands, SaveRefusesAFileTooLargeToBeOpenedAgain) {
    ASSERT_TRUE(m_context.workingCatalogue.loadXML(largeCatalogueText()));
    const QString path = m_dir.filePath(QStringLiteral("large.rds"));
    m_prompter.queueFileName(path);
    EXPECT_FALSE(m_files.SaveCommand());
    m_prompter.queueFileName(path);
    EXPECT_FALSE(m_files.SaveAsCommand());
    const QString refused = QStringLiteral(
        "The catalogue is too large to save: the settings file would be 66.7 MiB, larger than the 64 MiB "
        "a settings file may have to be opened again. Nothing was written.");
    EXPECT_EQ(m_prompter.messageTexts(), (QStringList{refused, refused}));
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(FileCommands, OpeningTheDefaultFileCopiesTheRefreshedMachineState) {
    setCurrentValue(m_context.workingCatalogue, QLatin1String(kRunDialog), QStringLiteral("1"));
    m_backend.putValue(QLatin1String(kExplorerPolicies), QStringLiteral("NoFind"), regDword(1));
    QFile::remove(m_context.programFolder + QStringLiteral("/.hidden"));
    writeDefaultRds(builtinCatalogueText(), false);
    m_prompter.queueAnswer(Answer::No);
    QString path = QStringLiteral("tavimor.rds");
    EXPECT_TRUE(m_files.LoadSettingsFile(path));
    EXPECT_EQ(path, m_context.defaultSettingsFile());
    EXPECT_FALSE(changesPending(m_context));
    EXPECT_EQ(currentValue(m_context.workingCatalogue, QLatin1String(kRunDialog)), QStringLiteral("0"));
    EXPECT_EQ(
        currentValue(m_context.workingCatalogue, QStringLiteral("TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[4]")),
        QStringLiteral("1"));
}

} // namespace
