// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorsHarness.h"
#include "editors/frmEditSettings.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

namespace {
const QString kExplorer = QLatin1String(kPolicies) + u"\\Explorer"_s;
const QString kRun = QLatin1String(kRunDialogEntry);
const QString kMinPwdLen = QLatin1String(kMinPwdLenEntry);

// A catalogue of one section holding an entry of our own; without PATH when noPath.
QString customCatalogue(const char* datatype, const char* current, bool noPath = false) {
    return u"<TAVIMOR><REGISTRYSETTINGS Section=\"Custom\"><ENTRY Restart=\"Yes\"><NAME>Custom value</NAME>"
           "<DESCRIPTION>A value of our "
           "own.</DESCRIPTION><KEY>HKEY_CURRENT_USER</KEY>%1<REGNAME>Value</REGNAME>"
           "<VALUES "
           "Datatype=\"%2\"><CURRENTVALUE>%3</CURRENTVALUE></VALUES><IMAGE>\\Resources\\C001.rdi</IMAGE>"
           "</ENTRY></REGISTRYSETTINGS></TAVIMOR>"_s.arg(noPath ? QString()
                                                                : u"<PATH>Software\\Custom</PATH>"_s,
                                                         QLatin1String(datatype), QLatin1String(current));
}
const QString kCustom = u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s;

// The editors' context and the addresses the dialogs asked the main window to refresh.
struct Harness : EditorsHarness {
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
void press(QWidget* dialog, const char* button) {
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}
bool applyEnabled(QWidget* d) {
    return child<QPushButton>(d, "cmdApply")->isEnabled() || child<QPushButton>(d, "cmdOK")->isEnabled();
}
} // namespace

class TestEditSettings : public QObject {
    Q_OBJECT

private slots:
    void booleanEntryOpensWithTheOptionOfItsValue_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("enable");
        QTest::addColumn<bool>("disable");
        QTest::newRow("empty") << QString() << true << false;
        QTest::newRow("zero") << u"0"_s << true << false;
        QTest::newRow("seven") << u"7"_s << false << true;
        QTest::newRow("no number") << u"yes"_s << false << false;
    }
    void booleanEntryOpensWithTheOptionOfItsValue() {
        QFETCH(QString, value);
        QFETCH(bool, enable);
        QFETCH(bool, disable);
        Harness h;
        CatalogueEntry(h.context.workingCatalogue.selectSingleNode(kRun)).currentValue().setText(value);
        auto d = h.open(kRun);
        QCOMPARE(child<QRadioButton>(d.get(), "optRegValue0")->isChecked(), enable);
        QCOMPARE(child<QRadioButton>(d.get(), "optRegValue1")->isChecked(), disable);
        QCOMPARE(child<QLabel>(d.get(), "lblMainTitle")->text(), u"Start Menu"_s);
        QCOMPARE(child<QLabel>(d.get(), "lblRegName0")->text(), u"Run Dialog"_s);
        QVERIFY(!child<QWidget>(d.get(), "fraEditRegistry1")->isVisible());
        QVERIFY(!applyEnabled(d.get()));
        QVERIFY(h.prompter.messages().isEmpty());
    }

    // What each apply writes is the core's (test_catalogue_edits); here, which button takes which road.
    void applyIsNowAndOkIsLater() {
        Harness h;
        auto later = h.open(kRun);
        clickOption(later.get(), "optRegValue1");
        press(later.get(), "cmdOK");
        QCOMPARE(h.working(kRun), u"1"_s);
        QVERIFY(!h.backend.value(kExplorer, u"NoRun"_s));
        QCOMPARE(h.refreshed, QStringList{u"/TAVIMOR/REGISTRYSETTINGS/ENTRY"_s});

        auto now = h.open(kRun, true);
        QVERIFY(child<QLabel>(now.get(), "lblRestartDesc")->isVisible());
        clickOption(now.get(), "optRegValue0");
        clickOption(now.get(), "optRegValue1");
        press(now.get(), "cmdApply");
        QCOMPARE(h.dword(kExplorer, u"NoRun"_s), std::optional<quint32>(1));
        QCOMPARE(h.refreshed.last(), kRun);
        QVERIFY(!now->isVisible());
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

    void cancelAndTheCloseBoxChangeNothing() {
        Harness h;
        const int writes = h.backend.writeCount();
        const QString before = h.context.workingCatalogue.xml();
        for (const Dismissal way : kDismissals) {
            auto d = h.open(kRun);
            clickOption(d.get(), "optRegValue1");
            dismiss(d.get(), way);
            QVERIFY(!d->isVisible());
        }
        QCOMPARE(h.context.workingCatalogue.xml(), before);
        QCOMPARE(h.backend.writeCount(), writes);
        QVERIFY(h.refreshed.isEmpty());
    }

    // The pictures the program ships, drawn at the size the dialog shows them so they are never scaled.
    void everyEntryHasAPictureReadByContent() {
        const QString folder = QFINDTESTDATA("../../resources/program/Resources");
        QVERIFY(!folder.isEmpty());
        Harness h;
        frmEditSettings edit(h.context, {});
        const QSize shown = edit.findChild<QLabel*>(u"pctScreenShot"_s)->contentsRect().size();
        int entries = 0;
        forEachEntry(h.context.workingCatalogue, [&](const CatalogueEntry& entry, int, int) {
            ++entries;
            const QString name = entry.text("IMAGE").section(u'\\', -1);
            QImageReader reader(QDir(folder).filePath(name));
            reader.setDecideFormatFromContent(true);
            const QImage image = reader.read();
            QVERIFY2(!image.isNull(), qPrintable(name));
            QCOMPARE(image.size(), shown);
            QVERIFY2(QFileInfo(reader.fileName()).size() < 16 * 1024, qPrintable(name));
        });
        QCOMPARE(entries, 57);
    }

    // The picture is read by its content whatever its name says; a damaged one is told in its place.
    void screenshotIsReadByContent() {
        Harness h;
        const QString picture = h.context.programFolder + u"/Resources/SM005.rdi"_s;
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QVERIFY(image.save(picture, "BMP"));
        QCOMPARE(child<QLabel>(h.open(kRun).get(), "pctScreenShot")->pixmap().size(), QSize(40, 30));

        QFile damaged(picture);
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("not a picture");
        damaged.close();
        auto d = h.open(kRun);
        QCOMPARE(child<QLabel>(d.get(), "pctScreenShot")->text(), u"The picture SM005.rdi cannot be read."_s);
        QVERIFY(h.prompter.messages().isEmpty());
    }

    void stringEntryIsWrittenAsEveryValueIs() {
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
    }

    void catalogueFaultsAreToldNotCrashedOn() {
        Harness h;
        h.loadBoth(customCatalogue("Colour", "3"));
        auto unknown = h.open(kCustom);
        QCOMPARE(
            h.prompter.messageTexts(),
            QStringList{QStringLiteral(
                "The entry \"Custom value\" has the data type \"COLOUR\", which this dialog cannot edit.")});
        QCOMPARE(h.prompter.messages().first().icon, MessageIcon::Exclamation);
        QCOMPARE(h.prompter.messages().first().title, u"Tavimor 4.0"_s);

        h.prompter.clear();
        h.loadBoth(customCatalogue("Boolean", "1", true));
        auto noPath = h.open(kCustom);
        QCOMPARE(
            h.prompter.messageTexts(),
            QStringList{QStringLiteral("The entry \"Custom value\" lacks PATH in the catalogue, so it cannot "
                                       "be applied to the registry now.")});
        clickOption(noPath.get(), "optRegValue0");
        QVERIFY(!child<QPushButton>(noPath.get(), "cmdApply")->isEnabled());
        QVERIFY(child<QPushButton>(noPath.get(), "cmdOK")->isEnabled());

        h.prompter.clear();
        auto nowhere = h.open(u"TAVIMOR/REGISTRYSETTINGS[5]/ENTRY[0]"_s);
        QCOMPARE(h.prompter.messageTexts(),
                 QStringList{QStringLiteral(
                     "The catalogue holds no entry at TAVIMOR/REGISTRYSETTINGS[5]/ENTRY[0].")});
        QTRY_VERIFY(!nowhere->isVisible());
        QVERIFY(h.refreshed.isEmpty());
    }
};

QTEST_MAIN(TestEditSettings)
#include "tst_edit_settings.moc"
