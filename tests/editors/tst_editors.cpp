// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FileUtil.h"
#include "catalogue/BuiltinCatalogue.h"
#include "editors/frmDrives.h"
#include "editors/frmEditSettings.h"
#include "editors/frmRestart.h"
#include "support/WindowTest.h"

#include <QCheckBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

using namespace tavimor;
using namespace tavimor::test;

namespace {
const QString kMinPwdLen = u"TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[6]"_s;
const QString kCustom = u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s;
const QString kNoDrives = u"NoDrives"_s;

// A catalogue of one section holding an entry of our own; without PATH when noPath.
QString customCatalogue(const char* datatype, const char* current, bool noPath = false) {
    return QStringLiteral(
               "<TAVIMOR><REGISTRYSETTINGS Section=\"Custom\"><ENTRY Restart=\"Yes\"><NAME>Custom value"
               "</NAME><DESCRIPTION>Ours.</DESCRIPTION><KEY>HKEY_CURRENT_USER</KEY>%1<REGNAME>Value"
               "</REGNAME><VALUES Datatype=\"%2\"><CURRENTVALUE>%3</CURRENTVALUE></VALUES>"
               "<IMAGE>\\Resources\\C001.rdi</IMAGE></ENTRY></REGISTRYSETTINGS></TAVIMOR>")
        .arg(noPath ? QString() : u"<PATH>Software\\Custom</PATH>"_s, QLatin1String(datatype),
             QLatin1String(current));
}

// Both catalogues hold the built-in one; records the addresses the dialogs ask to refresh.
struct Harness : ProgramHarness {
    Harness() {
        QDir().mkpath(context.programFolder + u"/Resources"_s);
        loadBoth(builtinCatalogueText());
    }
    std::unique_ptr<frmEditSettings> open(const QString& address, bool restartNote = false) {
        auto dialog =
            std::make_unique<frmEditSettings>(context, [this](const QString& a) { refreshed << a; });
        dialog->setRegXPath(address);
        dialog->setRestartNoteVisible(restartNote);
        dialog->show();
        return dialog;
    }
    QStringList refreshed;
};

// A radio button takes clicks on its circle and caption only, not across its whole width.
void clickOption(QWidget* dialog, const char* name) {
    auto* option = child<QRadioButton>(dialog, name);
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(4, option->height() / 2));
}
bool applyEnabled(QWidget* d) {
    return child<QPushButton>(d, "cmdApply")->isEnabled() || child<QPushButton>(d, "cmdOK")->isEnabled();
}
QCheckBox* driveBox(QWidget* d, int i) {
    return d->findChild<QCheckBox*>(u"Check1_%1"_s.arg(i));
}
} // namespace

// The edit setting dialog, and the two dialogs that write one setting each: drives and restart.
class TestEditors : public QObject {
    Q_OBJECT

private slots:
    // What each apply writes is the core's (test_catalogue_edits); here, which button takes which road.
    void booleanEntryOpensOnItsValueAndEachButtonTakesItsRoad() {
        Harness h;
        for (const auto& [value, option] :
             {std::pair{QString(), 0}, {u"0"_s, 0}, {u"7"_s, 1}, {u"yes"_s, -1}}) {
            h.setCurrentValue(h.context.workingCatalogue, kRunDialog, value);
            auto d = h.open(kRunDialog);
            QCOMPARE(child<QRadioButton>(d.get(), "optRegValue0")->isChecked(), option == 0);
            QCOMPARE(child<QRadioButton>(d.get(), "optRegValue1")->isChecked(), option == 1);
            QCOMPARE(child<QLabel>(d.get(), "lblRegName0")->text(), u"Run Dialog"_s);
            QVERIFY(!child<QWidget>(d.get(), "fraEditRegistry1")->isVisible());
            QVERIFY(!applyEnabled(d.get()));
        }
        // Cancel, Esc and the close box change nothing.
        const int writes = h.backend.writeCount();
        const QString before = h.context.workingCatalogue.xml();
        for (const Dismissal way : kDismissals) {
            auto d = h.open(kRunDialog);
            clickOption(d.get(), "optRegValue1");
            dismiss(d.get(), way);
            QVERIFY(!d->isVisible());
        }
        QCOMPARE(h.context.workingCatalogue.xml(), before);
        QCOMPARE(h.backend.writeCount(), writes);

        auto later = h.open(kRunDialog);
        clickOption(later.get(), "optRegValue1");
        press(later.get(), "cmdOK");
        QCOMPARE(h.working(kRunDialog), u"1"_s);
        QVERIFY(!h.backend.value(kExplorerPolicies, u"NoRun"_s));
        QCOMPARE(h.refreshed, QStringList{u"/TAVIMOR/REGISTRYSETTINGS/ENTRY"_s});

        auto now = h.open(kRunDialog, true);
        QVERIFY(child<QLabel>(now.get(), "lblRestartDesc")->isVisible());
        clickOption(now.get(), "optRegValue0");
        clickOption(now.get(), "optRegValue1");
        press(now.get(), "cmdApply");
        QCOMPARE(h.dword(kExplorerPolicies, u"NoRun"_s), std::optional<quint32>(1));
        QCOMPARE(h.refreshed.last(), kRunDialog);
        QVERIFY(!now->isVisible());
        QVERIFY(h.prompter.messages().isEmpty());
    }

    // The box takes two digits; left empty it is 0 with Apply (now) and stays empty with OK (later).
    void numberBoxTakesTwoDigitsAndEmptyIsZeroNowOnly() {
        Harness h;
        auto now = h.open(kMinPwdLen, true);
        QVERIFY(!child<QLabel>(now.get(), "lblRestartDesc")->isVisible());
        QVERIFY(!applyEnabled(now.get()));
        auto* box = child<QLineEdit>(now.get(), "txtRegValue");
        QCOMPARE(box->text(), QString()); // the built-in "Null"
        for (const auto& [typed, shown] :
             {std::pair{u"a- 1x0"_s, u"10"_s}, {u"99"_s, u"99"_s}, {u"100"_s, u"10"_s}}) {
            box->clear();
            QTest::keyClicks(box, typed);
            QCOMPARE(box->text(), shown);
        }
        box->clear();
        box->insert(u"4a"_s);
        QCOMPARE(box->text(), QString());
        press(now.get(), "cmdApply");
        const QString network =
            u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network"_s;
        QCOMPARE(h.dword(network, u"MinPwdLen"_s), std::optional<quint32>(0));

        auto later = h.open(kMinPwdLen);
        box = child<QLineEdit>(later.get(), "txtRegValue");
        QCOMPARE(box->text(), u"0"_s);
        QTest::keyClick(box, Qt::Key_Backspace);
        press(later.get(), "cmdOK");
        QCOMPARE(h.working(kMinPwdLen), QString());
    }

    // The pictures the program ships, drawn at the size the dialog shows them so they are never
    // scaled; a picture is read by its content whatever its name says, a damaged one told in its place.
    void picturesAreReadByContent() {
        const QString folder = QFINDTESTDATA("../../resources/program/Resources");
        Harness h;
        frmEditSettings edit(h.context, {});
        const QSize shown = edit.findChild<QLabel*>(u"pctScreenShot"_s)->contentsRect().size();
        forEachEntry(h.context.workingCatalogue, [&](const CatalogueEntry& entry, int, int) {
            const QString name = entry.text("IMAGE").section(u'\\', -1);
            QImageReader reader(QDir(folder).filePath(name));
            reader.setDecideFormatFromContent(true);
            const QImage image = reader.read();
            QVERIFY2(!image.isNull(), qPrintable(name));
            QCOMPARE(image.size(), shown);
            QVERIFY2(QFileInfo(reader.fileName()).size() < 16 * 1024, qPrintable(name));
        });

        const QString picture = h.context.programFolder + u"/Resources/SM005.rdi"_s;
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QVERIFY(image.save(picture, "BMP"));
        QCOMPARE(child<QLabel>(h.open(kRunDialog).get(), "pctScreenShot")->pixmap().size(), QSize(40, 30));
        QVERIFY(writeFileAtomically(picture, "not a picture"));
        QCOMPARE(child<QLabel>(h.open(kRunDialog).get(), "pctScreenShot")->text(),
                 u"The picture SM005.rdi cannot be read."_s);
        QVERIFY(h.prompter.messages().isEmpty());
    }

    // A String entry is written as every value is; faults of the catalogue are told, not crashed on.
    void customEntriesAndCatalogueFaults() {
        Harness h;
        h.loadBoth(customCatalogue("String", "old"));
        auto d = h.open(kCustom);
        auto* box = child<QLineEdit>(d.get(), "txtRegString");
        QCOMPARE(box->text(), u"old"_s);
        // A text that is no number is refused and nothing changes.
        box->setText(u"new text"_s);
        press(d.get(), "cmdApply");
        const QString key = u"HKEY_CURRENT_USER\\Software\\Custom"_s;
        QVERIFY(!h.backend.value(key, u"Value"_s));
        QCOMPARE(h.prompter.messages().size(), 1);
        QVERIFY(h.prompter.messages()[0].text.startsWith(u"\"new text\" is not a whole number."_s));
        QVERIFY(d->isVisible());
        QCOMPARE(h.machine(kCustom), u"old"_s);
        box->setText(u"7"_s);
        press(d.get(), "cmdApply");
        QCOMPARE(h.dword(key, u"Value"_s), std::optional<quint32>(7));

        // Without PATH an entry can still be kept for later; one that is not there closes its dialog.
        for (const auto& [datatype, noPath, address, told] :
             {std::tuple{"Colour", false, kCustom,
                         u"The entry \"Custom value\" has the data type \"COLOUR\", which this dialog "
                         u"cannot edit."_s},
              {"Boolean", true, kCustom,
               u"The entry \"Custom value\" lacks PATH in the catalogue, so it cannot be applied to the "
               u"registry now."_s},
              {"Boolean", false, u"TAVIMOR/REGISTRYSETTINGS[5]/ENTRY[0]"_s,
               u"The catalogue holds no entry at TAVIMOR/REGISTRYSETTINGS[5]/ENTRY[0]."_s}}) {
            h.prompter.clear();
            h.loadBoth(customCatalogue(datatype, "1", noPath));
            auto fault = h.open(address);
            QCOMPARE(h.prompter.messageTexts(), QStringList{told});
            QCOMPARE(h.prompter.messages().first().icon, MessageIcon::Exclamation);
            QTRY_COMPARE(fault->isVisible(), address == kCustom);
            if (noPath) {
                clickOption(fault.get(), "optRegValue0");
                QVERIFY(!child<QPushButton>(fault.get(), "cmdApply")->isEnabled());
                QVERIFY(child<QPushButton>(fault.get(), "cmdOK")->isEnabled());
            }
        }
        QCOMPARE(h.refreshed, QStringList{kCustom});
    }

    // The boxes show the low 26 bits; Apply writes the ticked letters and stays, OK writes even
    // unchanged; turned down, nothing is written.
    void drivesShowTheStoredMaskAndWriteIt() {
        Harness h;
        h.backend.putValue(kExplorerPolicies, kNoDrives, regDword(0xFC000005));
        const int writes = h.backend.writeCount();
        for (const Dismissal way : kDismissals) {
            frmDrives d(h.context);
            d.show();
            QTest::mouseClick(driveBox(&d, 3), Qt::LeftButton);
            dismiss(&d, way);
            QVERIFY(!d.isVisible());
        }
        QCOMPARE(h.backend.writeCount(), writes);

        frmDrives d(h.context);
        d.show();
        // The picture is a resource of the static gui library, kept from the linker by frmDrives.
        QCOMPARE(child<QLabel>(&d, "pctScreenShot")->pixmap().size(), QSize(217, 283));
        for (int i = 0; i < 26; ++i)
            QCOMPARE(driveBox(&d, i)->isChecked(), i == 0 || i == 2); // A: and C:
        QVERIFY(!child<QPushButton>(&d, "cmdApply")->isEnabled());
        QTest::mouseClick(driveBox(&d, 0), Qt::LeftButton);
        QTest::mouseClick(driveBox(&d, 25), Qt::LeftButton);
        press(&d, "cmdApply");
        QCOMPARE(h.dword(kExplorerPolicies, kNoDrives), std::optional<quint32>(0x2000004));
        QVERIFY(d.isVisible());
        QVERIFY(!child<QPushButton>(&d, "cmdApply")->isEnabled());
        QVERIFY(!h.context.restartNeeded);
        h.backend.putValue(kExplorerPolicies, kNoDrives, regDword(0));
        QVERIFY(child<QPushButton>(&d, "cmdOK")->isDefault());
        press(&d, "cmdOK");
        QVERIFY(!d.isVisible());
        QCOMPARE(h.dword(kExplorerPolicies, kNoDrives), std::optional<quint32>(0x2000004));

        // A mask that could not be read is not "none hidden": OK writes nothing unless a box changed.
        h.backend.putValue(kExplorerPolicies, kNoDrives, regDword(4));
        h.backend.failUnder(kExplorerPolicies, u"reg timed out"_s);
        frmDrives unread(h.context);
        QCOMPARE(h.prompter.messageTexts(),
                 QStringList{
                     u"The hidden drives could not be read: reg timed out\r\n\r\nNothing is written unless "
                     u"you tick or clear a box."_s});
        h.backend.failUnder(kExplorerPolicies, QString());
        unread.show();
        press(&unread, "cmdOK");
        QCOMPARE(h.dword(kExplorerPolicies, kNoDrives), std::optional<quint32>(4));
    }

    // Enter does nothing, as no button is the default; the close box saves nothing, the others save
    // whether to ask again, and OK restarts.
    void restartButtonsSaveTheChoice() {
        for (const auto& [button, hide, saved] : {std::tuple{"OKButton", false, "1"},
                                                  {"CancelButton", true, "0"},
                                                  {"Escape", true, "0"},
                                                  {"", true, "absent"}}) {
            Harness h;
            frmRestart d(h.context);
            d.show();
            QVERIFY(QTest::qWaitForWindowActive(&d));
            QCOMPARE(QApplication::focusWidget(), d.findChild<QPushButton*>(u"OKButton"_s));
            auto* hideBox = child<QCheckBox>(&d, "chkHide");
            if (hide)
                QTest::mouseClick(hideBox, Qt::LeftButton);
            hideBox->setFocus();
            QTest::keyClick(hideBox, Qt::Key_Return);
            QVERIFY(d.isVisible());
            if (qstrcmp(button, "Escape") == 0)
                QTest::keyClick(&d, Qt::Key_Escape);
            else if (*button)
                press(&d, button);
            else
                d.close();
            QVERIFY(!d.isVisible());
            QCOMPARE(h.settings.read(u"RestartDialog"_s, u"absent"_s),
                     std::optional(QString::fromLatin1(saved)));
            QCOMPARE(h.backend.restartRequests(), qstrcmp(button, "OKButton") == 0 ? 1 : 0);
            QVERIFY(h.prompter.messages().isEmpty());
        }

        Harness h;
        h.backend.setCanRestart(false);
        frmRestart d(h.context);
        d.show();
        press(&d, "OKButton");
        QCOMPARE(h.backend.restartRequests(), 0);
        QCOMPARE(
            h.prompter.messageTexts(),
            QStringList{QStringLiteral("The registry target memory: has no Windows that Tavimor can restart. "
                                       "The settings take effect when the Windows using this registry "
                                       "starts again.")});
        QVERIFY(!d.isVisible());
    }
};

QTEST_MAIN(TestEditors)
#include "tst_editors.moc"
