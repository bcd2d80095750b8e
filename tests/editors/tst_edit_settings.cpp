// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorsHarness.h"
#include "editors/frmEditSettings.h"

#include <QImage>
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
const QString kNetworkLM =
    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network"_s;

// A catalogue of one section holding an entry of our own; without PATH when noPath.
QString customCatalogue(const char* datatype, const char* current, bool noPath = false) {
    return EditorsHarness::oneEntryCatalogue(
        u"<ENTRY Restart=\"Yes\"><NAME>Custom value</NAME><DESCRIPTION>A value of our own.</DESCRIPTION>"
        "<KEY>HKEY_CURRENT_USER</KEY>%1<REGNAME>Value</REGNAME><VALUES Datatype=\"%2\"><CURRENTVALUE>%3"
        "</CURRENTVALUE></VALUES><IMAGE>\\Resources\\C001.rdi</IMAGE></ENTRY>"_s.arg(
            noPath ? QString() : u"<PATH>Software\\Custom</PATH>"_s, QLatin1String(datatype),
            QLatin1String(current)));
}
} // namespace

class TestEditSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<frmEditSettings> open(EditorsHarness& h, const QString& address, QStringList* refreshed,
                                          bool restartNote = false) {
        auto dialog = std::make_unique<frmEditSettings>(
            h.context, [refreshed](const QString& a) { refreshed->append(a); });
        dialog->setRegXPath(address);
        dialog->setRestartNoteVisible(restartNote);
        dialog->show();
        return dialog;
    }
    template <typename T> static T* child(QWidget* dialog, const char* name) {
        T* found = dialog->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    // A radio button takes clicks on its circle and caption only, not across its whole width.
    static void clickOption(QRadioButton* option) {
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(4, option->height() / 2));
    }
    static void press(QWidget* dialog, const char* button) {
        QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
    }
    static bool applyEnabled(QWidget* d) {
        return child<QPushButton>(d, "cmdApply")->isEnabled() || child<QPushButton>(d, "cmdOK")->isEnabled();
    }

private slots:
    void booleanEntryOpensWithTheOptionOfItsValue_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("enable");
        QTest::addColumn<bool>("disable");
        QTest::newRow("empty") << QString() << true << false;
        QTest::newRow("zero") << u"0"_s << true << false;
        QTest::newRow("one") << u"1"_s << false << true;
        QTest::newRow("seven") << u"7"_s << false << true;
        QTest::newRow("no number") << u"yes"_s << false << false;
    }
    void booleanEntryOpensWithTheOptionOfItsValue() {
        QFETCH(QString, value);
        QFETCH(bool, enable);
        QFETCH(bool, disable);
        EditorsHarness h;
        h.setCurrent(kRun, value);
        QStringList refreshed;
        auto d = open(h, kRun, &refreshed);
        QCOMPARE(child<QRadioButton>(d.get(), "optRegValue0")->isChecked(), enable);
        QCOMPARE(child<QRadioButton>(d.get(), "optRegValue1")->isChecked(), disable);
        QCOMPARE(child<QLabel>(d.get(), "lblMainTitle")->text(), u"Start Menu"_s);
        QCOMPARE(child<QLabel>(d.get(), "lblRegName0")->text(), u"Run Dialog"_s);
        QVERIFY(child<QWidget>(d.get(), "fraEditRegistry0")->isVisible());
        QVERIFY(!child<QWidget>(d.get(), "fraEditRegistry1")->isVisible());
        QVERIFY(!applyEnabled(d.get()));
        QVERIFY(h.prompter.messages().isEmpty());
    }

    void anyChangeEnablesBothApplyButtons() {
        EditorsHarness h;
        QStringList refreshed;
        auto boolean = open(h, kRun, &refreshed);
        clickOption(child<QRadioButton>(boolean.get(), "optRegValue0"));
        QVERIFY(child<QPushButton>(boolean.get(), "cmdApply")->isEnabled());
        QVERIFY(child<QPushButton>(boolean.get(), "cmdOK")->isEnabled());

        auto number = open(h, kMinPwdLen, &refreshed);
        QVERIFY(!applyEnabled(number.get()));
        QTest::keyClicks(child<QLineEdit>(number.get(), "txtRegValue"), u"4"_s);
        QVERIFY(child<QPushButton>(number.get(), "cmdApply")->isEnabled());
        QVERIFY(child<QPushButton>(number.get(), "cmdOK")->isEnabled());
    }

    void numberBoxTakesOnlyTwoDigits() {
        EditorsHarness h;
        QStringList refreshed;
        auto d = open(h, kMinPwdLen, &refreshed);
        auto* box = child<QLineEdit>(d.get(), "txtRegValue");
        QCOMPARE(box->text(), QString()); // the built-in "Null"
        QTest::keyClicks(box, u"a- "_s);
        QCOMPARE(box->text(), QString());
        QTest::keyClicks(box, u"1x0"_s);
        QCOMPARE(box->text(), u"10"_s);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, u"99"_s);
        QCOMPARE(box->text(), u"99"_s);
        box->clear();
        QTest::keyClicks(box, u"100"_s);
        QCOMPARE(box->text(), u"10"_s);
        box->clear();
        box->insert(u"4a"_s);
        QCOMPARE(box->text(), QString());
    }

    // What each apply writes is the core's (test_catalogue_edits); here, which button takes which road.
    void applyIsNowAndOkIsLater() {
        EditorsHarness h;
        QStringList refreshed;
        auto later = open(h, kRun, &refreshed);
        clickOption(child<QRadioButton>(later.get(), "optRegValue1"));
        press(later.get(), "cmdOK");
        QCOMPARE(h.working(kRun), u"1"_s);
        QCOMPARE(h.machine(kRun), u"0"_s);
        QVERIFY(!h.backend.value(kExplorer, u"NoRun"_s));
        QCOMPARE(refreshed, QStringList{u"/TAVIMOR/REGISTRYSETTINGS/ENTRY"_s});

        auto now = open(h, kRun, &refreshed, true);
        QVERIFY(child<QLabel>(now.get(), "lblRestartDesc")->isVisible());
        clickOption(child<QRadioButton>(now.get(), "optRegValue0"));
        clickOption(child<QRadioButton>(now.get(), "optRegValue1"));
        press(now.get(), "cmdApply");
        QCOMPARE(h.dword(kExplorer, u"NoRun"_s), std::optional<quint32>(1));
        QCOMPARE(h.machine(kRun), u"1"_s);
        QCOMPARE(refreshed.last(), kRun);
        QVERIFY(!now->isVisible());
        QCOMPARE(now->result(), int(QDialog::Accepted));
    }

    void emptyNumberIsZeroNowAndEmptyLater() {
        EditorsHarness h;
        QStringList refreshed;
        auto now = open(h, kMinPwdLen, &refreshed, true);
        QVERIFY(!child<QLabel>(now.get(), "lblRestartDesc")->isVisible());
        auto* box = child<QLineEdit>(now.get(), "txtRegValue");
        QTest::keyClicks(box, u"5"_s);
        QTest::keyClick(box, Qt::Key_Backspace);
        press(now.get(), "cmdApply");
        QCOMPARE(h.dword(kNetworkLM, u"MinPwdLen"_s), std::optional<quint32>(0));
        QCOMPARE(h.machine(kMinPwdLen), u"0"_s);
        QCOMPARE(h.working(kMinPwdLen), u"0"_s);

        auto later = open(h, kMinPwdLen, &refreshed);
        box = child<QLineEdit>(later.get(), "txtRegValue");
        QCOMPARE(box->text(), u"0"_s);
        QTest::keyClick(box, Qt::Key_Backspace);
        press(later.get(), "cmdOK");
        QCOMPARE(h.working(kMinPwdLen), QString());
        QCOMPARE(h.machine(kMinPwdLen), u"0"_s);
    }

    void cancelAndTheCloseBoxChangeNothing() {
        EditorsHarness h;
        const int writes = h.backend.writeCount();
        const QString before = h.context.workingCatalogue.xml();
        QStringList refreshed;
        auto cancelled = open(h, kRun, &refreshed);
        clickOption(child<QRadioButton>(cancelled.get(), "optRegValue1"));
        press(cancelled.get(), "cmdCancel");
        auto closed = open(h, kRun, &refreshed);
        clickOption(child<QRadioButton>(closed.get(), "optRegValue1"));
        closed->close();
        auto escaped = open(h, kRun, &refreshed);
        QTest::keyClick(escaped.get(), Qt::Key_Escape);
        QVERIFY(!cancelled->isVisible() && !closed->isVisible() && !escaped->isVisible());
        QCOMPARE(h.context.workingCatalogue.xml(), before);
        QCOMPARE(h.backend.writeCount(), writes);
        QVERIFY(refreshed.isEmpty());
    }

    void screenshotIsReadByContent() {
        EditorsHarness h;
        const QString picture = h.context.programFolder + u"/Resources/SM005.rdi"_s;
        for (const char* format : {"PNG", "BMP", "JPEG", "GIF"}) {
            QImage image(40, 30, QImage::Format_RGB32);
            image.fill(Qt::blue);
            if (!image.save(picture, format))
                continue; // a format this Qt writes not: reading it is still the reader's job
            QStringList refreshed;
            auto d = open(h, kRun, &refreshed);
            QCOMPARE(child<QLabel>(d.get(), "pctScreenShot")->pixmap().size(), QSize(40, 30));
        }
        QFile damaged(picture);
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("not a picture");
        damaged.close();
        QStringList refreshed;
        auto d = open(h, kRun, &refreshed);
        QCOMPARE(child<QLabel>(d.get(), "pctScreenShot")->text(), u"The picture SM005.rdi cannot be read."_s);
        QVERIFY(h.prompter.messages().isEmpty());
    }

    void stringEntryIsWrittenAsEveryValueIs() {
        EditorsHarness h;
        h.loadBoth(customCatalogue("String", "old"));
        const QString address = u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s;
        QStringList refreshed;
        auto d = open(h, address, &refreshed);
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
        QCOMPARE(h.machine(address), u"old"_s);

        box->setText(u"7"_s);
        press(d.get(), "cmdApply");
        QCOMPARE(h.backend.value(key, u"Value"_s)->type, REG_DWORD);
        QCOMPARE(h.backend.value(key, u"Value"_s)->data, regDword(7).data);
        QCOMPARE(h.machine(address), u"7"_s);
        QVERIFY(h.context.restartNeeded);
    }

    void catalogueFaultsAreToldNotCrashedOn() {
        EditorsHarness h;
        const QString address = u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s;
        QStringList refreshed;

        h.loadBoth(customCatalogue("Colour", "3"));
        auto unknown = open(h, address, &refreshed);
        QCOMPARE(
            h.prompter.messageTexts(),
            QStringList{QStringLiteral(
                "The entry \"Custom value\" has the data type \"COLOUR\", which this dialog cannot edit.")});
        QCOMPARE(h.prompter.messages().first().icon, MessageIcon::Exclamation);
        QCOMPARE(h.prompter.messages().first().title, u"Tavimor 4.0"_s);

        h.prompter.clear();
        h.loadBoth(customCatalogue("Boolean", "1", true));
        auto noPath = open(h, address, &refreshed);
        QCOMPARE(
            h.prompter.messageTexts(),
            QStringList{QStringLiteral("The entry \"Custom value\" lacks PATH in the catalogue, so it cannot "
                                       "be applied to the registry now.")});
        clickOption(child<QRadioButton>(noPath.get(), "optRegValue0"));
        QVERIFY(!child<QPushButton>(noPath.get(), "cmdApply")->isEnabled());
        QVERIFY(child<QPushButton>(noPath.get(), "cmdOK")->isEnabled());

        h.prompter.clear();
        auto nowhere = open(h, u"TAVIMOR/REGISTRYSETTINGS[5]/ENTRY[0]"_s, &refreshed);
        QCOMPARE(h.prompter.messageTexts(),
                 QStringList{QStringLiteral(
                     "The catalogue holds no entry at TAVIMOR/REGISTRYSETTINGS[5]/ENTRY[0].")});
        QTRY_VERIFY(!nowhere->isVisible());
        QVERIFY(refreshed.isEmpty());
    }
};

QTEST_MAIN(TestEditSettings)
#include "tst_edit_settings.moc"
