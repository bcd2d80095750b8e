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
using namespace tavimor::test;

namespace {
const QString kExplorer = QLatin1String(kPolicies) + QStringLiteral("\\Explorer");
const QString kNetworkLM =
    QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network");

QString customEntry(const QString& datatype, const QString& current, const QString& omit = QString()) {
    QString xml = QStringLiteral("<ENTRY Restart=\"Yes\">");
    const QList<std::pair<QString, QString>> children = {
        {QStringLiteral("NAME"), QStringLiteral("Custom value")},
        {QStringLiteral("DESCRIPTION"), QStringLiteral("A value of our own.")},
        {QStringLiteral("KEY"), QStringLiteral("HKEY_CURRENT_USER")},
        {QStringLiteral("PATH"), QStringLiteral("Software\\Custom")},
        {QStringLiteral("REGNAME"), QStringLiteral("Value")},
        {QStringLiteral("VALUES"), QStringLiteral("<CURRENTVALUE>%1</CURRENTVALUE>").arg(current)},
        {QStringLiteral("IMAGE"), QStringLiteral("\\Resources\\C001.rdi")}};
    for (const auto& [name, content] : children) {
        if (name == omit)
            continue;
        if (name == QLatin1String("VALUES"))
            xml += QStringLiteral("<VALUES Datatype=\"%1\">%2</VALUES>").arg(datatype, content);
        else
            xml += QStringLiteral("<%1>%2</%1>").arg(name, content);
    }
    return xml + QStringLiteral("</ENTRY>");
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
    static bool applyEnabled(QWidget* d) {
        return child<QPushButton>(d, "cmdApply")->isEnabled() || child<QPushButton>(d, "cmdOK")->isEnabled();
    }

private slots:
    void booleanEntryOpensWithTheOptionOfItsValue_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("enable");
        QTest::addColumn<bool>("disable");
        QTest::newRow("empty") << QString() << true << false;
        QTest::newRow("zero") << QStringLiteral("0") << true << false;
        QTest::newRow("one") << QStringLiteral("1") << false << true;
        QTest::newRow("seven") << QStringLiteral("7") << false << true;
        QTest::newRow("no number") << QStringLiteral("yes") << false << false;
    }
    void booleanEntryOpensWithTheOptionOfItsValue() {
        QFETCH(QString, value);
        QFETCH(bool, enable);
        QFETCH(bool, disable);
        EditorsHarness h;
        h.setCurrent(QLatin1String(kRunDialogEntry), value);
        QStringList refreshed;
        auto d = open(h, QLatin1String(kRunDialogEntry), &refreshed);
        QCOMPARE(child<QRadioButton>(d.get(), "optRegValue0")->isChecked(), enable);
        QCOMPARE(child<QRadioButton>(d.get(), "optRegValue1")->isChecked(), disable);
        QCOMPARE(child<QLabel>(d.get(), "lblMainTitle")->text(), QStringLiteral("Start Menu"));
        QCOMPARE(child<QLabel>(d.get(), "lblRegName0")->text(), QStringLiteral("Run Dialog"));
        QVERIFY(child<QWidget>(d.get(), "fraEditRegistry0")->isVisible());
        QVERIFY(!child<QWidget>(d.get(), "fraEditRegistry1")->isVisible());
        QVERIFY(!applyEnabled(d.get()));
        QVERIFY(h.prompter.messages().isEmpty());
    }

    void anyChangeEnablesBothApplyButtons() {
        EditorsHarness h;
        QStringList refreshed;
        auto boolean = open(h, QLatin1String(kRunDialogEntry), &refreshed);
        clickOption(child<QRadioButton>(boolean.get(), "optRegValue0"));
        QVERIFY(child<QPushButton>(boolean.get(), "cmdApply")->isEnabled());
        QVERIFY(child<QPushButton>(boolean.get(), "cmdOK")->isEnabled());

        auto number = open(h, QLatin1String(kMinPwdLenEntry), &refreshed);
        QVERIFY(!applyEnabled(number.get()));
        QTest::keyClicks(child<QLineEdit>(number.get(), "txtRegValue"), QStringLiteral("4"));
        QVERIFY(child<QPushButton>(number.get(), "cmdApply")->isEnabled());
        QVERIFY(child<QPushButton>(number.get(), "cmdOK")->isEnabled());
    }

    void numberBoxTakesOnlyTwoDigits() {
        EditorsHarness h;
        QStringList refreshed;
        auto d = open(h, QLatin1String(kMinPwdLenEntry), &refreshed);
        auto* box = child<QLineEdit>(d.get(), "txtRegValue");
        QCOMPARE(box->text(), QString()); // the built-in "Null"
        QTest::keyClicks(box, QStringLiteral("a- "));
        QCOMPARE(box->text(), QString());
        QTest::keyClicks(box, QStringLiteral("1x0"));
        QCOMPARE(box->text(), QStringLiteral("10"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, QStringLiteral("99"));
        QCOMPARE(box->text(), QStringLiteral("99"));
        box->clear();
        QTest::keyClicks(box, QStringLiteral("100"));
        QCOMPARE(box->text(), QStringLiteral("10"));
        box->clear();
        box->insert(QStringLiteral("4a"));
        QCOMPARE(box->text(), QString());
    }

    void applyNowWritesTheRegistryAndBothCatalogues() {
        EditorsHarness h;
        QStringList refreshed;
        auto d = open(h, QLatin1String(kRunDialogEntry), &refreshed, true);
        QVERIFY(child<QLabel>(d.get(), "lblRestartDesc")->isVisible());
        clickOption(child<QRadioButton>(d.get(), "optRegValue1"));
        QTest::mouseClick(child<QPushButton>(d.get(), "cmdApply"), Qt::LeftButton);
        QCOMPARE(h.dword(kExplorer, QStringLiteral("NoRun")), std::optional<quint32>(1));
        QCOMPARE(EditorsHarness::current(h.context.machineCatalogue, QLatin1String(kRunDialogEntry)),
                 QStringLiteral("1"));
        QCOMPARE(EditorsHarness::current(h.context.workingCatalogue, QLatin1String(kRunDialogEntry)),
                 QStringLiteral("1"));
        QVERIFY(h.context.restartNeeded);
        QCOMPARE(refreshed, QStringList{QLatin1String(kRunDialogEntry)});
        QVERIFY(!d->isVisible());
        QCOMPARE(d->result(), int(QDialog::Accepted));
    }

    void applyNowOfTheValueTheRegistryHoldsNeedsNoRestart() {
        EditorsHarness h;
        h.backend.putValue(kExplorer, QStringLiteral("NoRun"), regDword(1));
        QStringList refreshed;
        auto d = open(h, QLatin1String(kRunDialogEntry), &refreshed, true);
        clickOption(child<QRadioButton>(d.get(), "optRegValue1"));
        QTest::mouseClick(child<QPushButton>(d.get(), "cmdApply"), Qt::LeftButton);
        QCOMPARE(h.dword(kExplorer, QStringLiteral("NoRun")), std::optional<quint32>(1));
        QVERIFY(!h.context.restartNeeded);
    }

    void applyLaterChangesTheWorkingCatalogueOnly() {
        EditorsHarness h;
        QStringList refreshed;
        auto d = open(h, QLatin1String(kRunDialogEntry), &refreshed);
        clickOption(child<QRadioButton>(d.get(), "optRegValue1"));
        QTest::mouseClick(child<QPushButton>(d.get(), "cmdOK"), Qt::LeftButton);
        QCOMPARE(EditorsHarness::current(h.context.workingCatalogue, QLatin1String(kRunDialogEntry)),
                 QStringLiteral("1"));
        QCOMPARE(EditorsHarness::current(h.context.machineCatalogue, QLatin1String(kRunDialogEntry)),
                 QStringLiteral("0"));
        QVERIFY(!h.backend.value(kExplorer, QStringLiteral("NoRun")));
        QVERIFY(!h.context.restartNeeded);
        QCOMPARE(refreshed, QStringList{QStringLiteral("/TAVIMOR/REGISTRYSETTINGS/ENTRY")});
    }

    void emptyNumberIsZeroNowAndEmptyLater() {
        EditorsHarness h;
        QStringList refreshed;
        auto now = open(h, QLatin1String(kMinPwdLenEntry), &refreshed, true);
        QVERIFY(!child<QLabel>(now.get(), "lblRestartDesc")->isVisible());
        auto* box = child<QLineEdit>(now.get(), "txtRegValue");
        QTest::keyClicks(box, QStringLiteral("5"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::mouseClick(child<QPushButton>(now.get(), "cmdApply"), Qt::LeftButton);
        QCOMPARE(h.dword(kNetworkLM, QStringLiteral("MinPwdLen")), std::optional<quint32>(0));
        QCOMPARE(EditorsHarness::current(h.context.machineCatalogue, QLatin1String(kMinPwdLenEntry)),
                 QStringLiteral("0"));
        QCOMPARE(EditorsHarness::current(h.context.workingCatalogue, QLatin1String(kMinPwdLenEntry)),
                 QStringLiteral("0"));

        auto later = open(h, QLatin1String(kMinPwdLenEntry), &refreshed);
        box = child<QLineEdit>(later.get(), "txtRegValue");
        QCOMPARE(box->text(), QStringLiteral("0"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::mouseClick(child<QPushButton>(later.get(), "cmdOK"), Qt::LeftButton);
        QCOMPARE(EditorsHarness::current(h.context.workingCatalogue, QLatin1String(kMinPwdLenEntry)),
                 QString());
        QCOMPARE(EditorsHarness::current(h.context.machineCatalogue, QLatin1String(kMinPwdLenEntry)),
                 QStringLiteral("0"));
    }

    void cancelAndTheCloseBoxChangeNothing() {
        EditorsHarness h;
        const int writes = h.backend.writeCount();
        const QString before = h.context.workingCatalogue.xml();
        QStringList refreshed;
        auto cancelled = open(h, QLatin1String(kRunDialogEntry), &refreshed);
        clickOption(child<QRadioButton>(cancelled.get(), "optRegValue1"));
        QTest::mouseClick(child<QPushButton>(cancelled.get(), "cmdCancel"), Qt::LeftButton);
        auto closed = open(h, QLatin1String(kRunDialogEntry), &refreshed);
        clickOption(child<QRadioButton>(closed.get(), "optRegValue1"));
        closed->close();
        auto escaped = open(h, QLatin1String(kRunDialogEntry), &refreshed);
        QTest::keyClick(escaped.get(), Qt::Key_Escape);
        QVERIFY(!cancelled->isVisible() && !closed->isVisible() && !escaped->isVisible());
        QCOMPARE(h.context.workingCatalogue.xml(), before);
        QCOMPARE(h.backend.writeCount(), writes);
        QVERIFY(refreshed.isEmpty());
    }

    void screenshotIsReadByContent() {
        EditorsHarness h;
        const QString picture = h.context.programFolder + QStringLiteral("/Resources/SM005.rdi");
        for (const char* format : {"PNG", "BMP", "JPEG", "GIF"}) {
            QImage image(40, 30, QImage::Format_RGB32);
            image.fill(Qt::blue);
            if (!image.save(picture, format))
                continue; // a format this Qt writes not: reading it is still the reader's job
            QStringList refreshed;
            auto d = open(h, QLatin1String(kRunDialogEntry), &refreshed);
            QCOMPARE(child<QLabel>(d.get(), "pctScreenShot")->pixmap().size(), QSize(40, 30));
        }
        QFile damaged(picture);
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("not a picture");
        damaged.close();
        QStringList refreshed;
        auto d = open(h, QLatin1String(kRunDialogEntry), &refreshed);
        QCOMPARE(child<QLabel>(d.get(), "pctScreenShot")->text(),
                 QStringLiteral("The picture SM005.rdi cannot be read."));
        QVERIFY(h.prompter.messages().isEmpty());
    }

    void stringEntryIsWrittenAsEveryValueIs() {
        EditorsHarness h;
        h.loadBoth(
            EditorsHarness::oneEntryCatalogue(customEntry(QStringLiteral("String"), QStringLiteral("old"))));
        const QString address = QStringLiteral("TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]");
        QStringList refreshed;
        auto d = open(h, address, &refreshed);
        auto* box = child<QLineEdit>(d.get(), "txtRegString");
        QCOMPARE(box->text(), QStringLiteral("old"));
        // A text that is no number is refused and nothing changes.
        box->setText(QStringLiteral("new text"));
        QTest::mouseClick(child<QPushButton>(d.get(), "cmdApply"), Qt::LeftButton);
        const QString key = QStringLiteral("HKEY_CURRENT_USER\\Software\\Custom");
        QVERIFY(!h.backend.value(key, QStringLiteral("Value")));
        QCOMPARE(h.prompter.messages().size(), 1);
        QVERIFY(
            h.prompter.messages()[0].text.startsWith(QStringLiteral("\"new text\" is not a whole number.")));
        QVERIFY(d->isVisible());
        QCOMPARE(EditorsHarness::current(h.context.machineCatalogue, address), QStringLiteral("old"));

        box->setText(QStringLiteral("7"));
        QTest::mouseClick(child<QPushButton>(d.get(), "cmdApply"), Qt::LeftButton);
        QCOMPARE(h.backend.value(key, QStringLiteral("Value"))->type, REG_DWORD);
        QCOMPARE(h.backend.value(key, QStringLiteral("Value"))->data, regDword(7).data);
        QCOMPARE(EditorsHarness::current(h.context.machineCatalogue, address), QStringLiteral("7"));
        QVERIFY(h.context.restartNeeded);
    }

    void catalogueFaultsAreToldNotCrashedOn() {
        EditorsHarness h;
        const QString address = QStringLiteral("TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]");
        QStringList refreshed;

        h.loadBoth(
            EditorsHarness::oneEntryCatalogue(customEntry(QStringLiteral("Colour"), QStringLiteral("3"))));
        auto unknown = open(h, address, &refreshed);
        QCOMPARE(
            h.prompter.messageTexts(),
            QStringList{QStringLiteral(
                "The entry \"Custom value\" has the data type \"COLOUR\", which this dialog cannot edit.")});
        QCOMPARE(h.prompter.messages().first().icon, MessageIcon::Exclamation);
        QCOMPARE(h.prompter.messages().first().title, QStringLiteral("Tavimor 4.0"));

        h.prompter.clear();
        h.loadBoth(EditorsHarness::oneEntryCatalogue(
            customEntry(QStringLiteral("Boolean"), QStringLiteral("1"), QStringLiteral("PATH"))));
        auto noPath = open(h, address, &refreshed);
        QCOMPARE(
            h.prompter.messageTexts(),
            QStringList{QStringLiteral("The entry \"Custom value\" lacks PATH in the catalogue, so it cannot "
                                       "be applied to the registry now.")});
        clickOption(child<QRadioButton>(noPath.get(), "optRegValue0"));
        QVERIFY(!child<QPushButton>(noPath.get(), "cmdApply")->isEnabled());
        QVERIFY(child<QPushButton>(noPath.get(), "cmdOK")->isEnabled());

        h.prompter.clear();
        auto nowhere = open(h, QStringLiteral("TAVIMOR/REGISTRYSETTINGS[5]/ENTRY[0]"), &refreshed);
        QCOMPARE(h.prompter.messageTexts(),
                 QStringList{QStringLiteral(
                     "The catalogue holds no entry at TAVIMOR/REGISTRYSETTINGS[5]/ENTRY[0].")});
        QTRY_VERIFY(!nowhere->isVisible());
        QVERIFY(refreshed.isEmpty());
    }
};

QTEST_MAIN(TestEditSettings)
#include "tst_edit_settings.moc"
