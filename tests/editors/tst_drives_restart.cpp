// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorsHarness.h"
#include "editors/frmDrives.h"
#include "editors/frmRestart.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

namespace {
const QString kExplorer = QLatin1String(kPolicies) + u"\\Explorer"_s;
const QString kNoDrives = u"NoDrives"_s;
} // namespace

// The two dialogs that write one setting each: the drives to hide and the restart confirmation.
class TestDrivesRestart : public QObject {
    Q_OBJECT

    static QCheckBox* box(QWidget* d, int i) { return d->findChild<QCheckBox*>(u"Check1_%1"_s.arg(i)); }

private slots:
    // The boxes show the low 26 bits; Apply writes the ticked letters and stays, OK writes even unchanged.
    void boxesShowTheStoredMaskAndApplyAndOkWriteIt() {
        EditorsHarness h;
        h.backend.putValue(kExplorer, kNoDrives, regDword(0xFC000005));
        frmDrives d(h.context);
        d.show();
        // The picture is a resource of the static gui library, kept from the linker by frmDrives.
        QCOMPARE(child<QLabel>(&d, "pctScreenShot")->pixmap().size(), QSize(217, 283));
        for (int i = 0; i < 26; ++i)
            QCOMPARE(box(&d, i)->isChecked(), i == 0 || i == 2); // A: and C:
        QCOMPARE(box(&d, 25)->text(), u"Z:"_s);
        QVERIFY(!child<QPushButton>(&d, "cmdApply")->isEnabled());
        QTest::mouseClick(box(&d, 0), Qt::LeftButton);
        QTest::mouseClick(box(&d, 25), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(&d, "cmdApply"), Qt::LeftButton);
        QCOMPARE(h.dword(kExplorer, kNoDrives), std::optional<quint32>(0x2000004));
        QVERIFY(d.isVisible());
        QVERIFY(!child<QPushButton>(&d, "cmdApply")->isEnabled());
        QVERIFY(!h.context.restartNeeded);

        h.backend.putValue(kExplorer, kNoDrives, regDword(0)); // OK writes the boxes though none changed
        QVERIFY(child<QPushButton>(&d, "cmdOK")->isDefault());
        QTest::mouseClick(child<QPushButton>(&d, "cmdOK"), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(h.dword(kExplorer, kNoDrives), std::optional<quint32>(0x2000004));
    }

    // A mask that could not be read is not "none hidden": the dialog says so and OK writes nothing
    // unless a box was changed.
    void aMaskThatCouldNotBeReadIsWrittenOnlyAsChanged() {
        EditorsHarness h;
        h.backend.putValue(kExplorer, kNoDrives, regDword(4));
        h.backend.failUnder(kExplorer, u"reg timed out"_s);
        frmDrives d(h.context);
        QCOMPARE(h.prompter.messageTexts(),
                 QStringList{
                     u"The hidden drives could not be read: reg timed out\r\n\r\nNothing is written unless "
                     u"you tick or clear a box."_s});
        h.backend.failUnder(kExplorer, QString());
        d.show();
        QTest::mouseClick(child<QPushButton>(&d, "cmdOK"), Qt::LeftButton);
        QCOMPARE(h.dword(kExplorer, kNoDrives), std::optional<quint32>(4));
    }

    void cancelEscapeAndTheCloseBoxWriteNothing() {
        EditorsHarness h;
        h.backend.putValue(kExplorer, kNoDrives, regDword(4));
        const int writes = h.backend.writeCount();
        for (const Dismissal way : kDismissals) {
            frmDrives d(h.context);
            d.show();
            QTest::mouseClick(box(&d, 3), Qt::LeftButton);
            dismiss(&d, way);
            QVERIFY(!d.isVisible());
        }
        QCOMPARE(h.backend.writeCount(), writes);
        QCOMPARE(h.dword(kExplorer, kNoDrives), std::optional<quint32>(4));
    }

    void restartButtonsSaveTheChoice_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("hide");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<int>("restarts");
        QTest::newRow("now") << u"OKButton"_s << false << u"1"_s << 1;
        QTest::newRow("now, hidden") << u"OKButton"_s << true << u"0"_s << 1;
        QTest::newRow("later") << u"CancelButton"_s << false << u"1"_s << 0;
        QTest::newRow("later, hidden") << u"CancelButton"_s << true << u"0"_s << 0;
        QTest::newRow("escape, hidden") << u"esc"_s << true << u"0"_s << 0;
        QTest::newRow("enter, then the close box") << u"close"_s << true << u"absent"_s << 0;
    }
    void restartButtonsSaveTheChoice() {
        QFETCH(QString, button);
        QFETCH(bool, hide);
        QFETCH(QString, saved);
        QFETCH(int, restarts);
        EditorsHarness h;
        frmRestart d(h.context);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QCOMPARE(QApplication::focusWidget(), d.findChild<QPushButton*>(u"OKButton"_s));
        auto* hideBox = d.findChild<QCheckBox*>(u"chkHide"_s);
        if (hide)
            QTest::mouseClick(hideBox, Qt::LeftButton);
        if (button == "esc"_L1) {
            QTest::keyClick(&d, Qt::Key_Escape);
        } else if (button == "close"_L1) {
            // No button is the default, so Enter does nothing; the close box saves nothing either.
            hideBox->setFocus();
            QTest::keyClick(hideBox, Qt::Key_Return);
            QVERIFY(d.isVisible());
            d.close();
        } else {
            QTest::mouseClick(d.findChild<QPushButton*>(button), Qt::LeftButton);
        }
        QVERIFY(!d.isVisible());
        QCOMPARE(h.settings.read(u"RestartDialog"_s, u"absent"_s), std::optional<QString>(saved));
        QCOMPARE(h.backend.restartRequests(), restarts);
        QVERIFY(h.prompter.messages().isEmpty());
    }

    void aTargetThatCannotRestartSaysSo() {
        EditorsHarness h;
        h.backend.setCanRestart(false);
        frmRestart d(h.context);
        d.show();
        QTest::mouseClick(d.findChild<QPushButton*>(u"OKButton"_s), Qt::LeftButton);
        QCOMPARE(h.backend.restartRequests(), 0);
        QCOMPARE(
            h.prompter.messageTexts(),
            QStringList{QStringLiteral("The registry target memory: has no Windows that Tavimor can restart. "
                                       "The settings take effect when the Windows using this registry "
                                       "starts again.")});
        QVERIFY(!d.isVisible());
    }
};

QTEST_MAIN(TestDrivesRestart)
#include "tst_drives_restart.moc"
