// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorsHarness.h"
#include "editors/frmRestart.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

class TestRestart : public QObject {
    Q_OBJECT

    static QString restartDialog(EditorsHarness& h) {
        return h.settings.read(u"RestartDialog"_s, u"absent"_s).value_or(u"failed"_s);
    }

private slots:
    void eachButtonSavesTheChoice_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("hide");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<int>("restarts");
        QTest::newRow("now") << u"OKButton"_s << false << u"1"_s << 1;
        QTest::newRow("now, hidden") << u"OKButton"_s << true << u"0"_s << 1;
        QTest::newRow("later") << u"CancelButton"_s << false << u"1"_s << 0;
        QTest::newRow("later, hidden") << u"CancelButton"_s << true << u"0"_s << 0;
        QTest::newRow("escape, hidden") << QString() << true << u"0"_s << 0;
    }
    void eachButtonSavesTheChoice() {
        QFETCH(QString, button);
        QFETCH(bool, hide);
        QFETCH(QString, saved);
        QFETCH(int, restarts);
        EditorsHarness h;
        frmRestart d(h.context);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QCOMPARE(QApplication::focusWidget(), d.findChild<QPushButton*>(u"OKButton"_s));
        if (hide)
            QTest::mouseClick(d.findChild<QCheckBox*>(u"chkHide"_s), Qt::LeftButton);
        if (button.isEmpty())
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            QTest::mouseClick(d.findChild<QPushButton*>(button), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(restartDialog(h), saved);
        QCOMPARE(h.backend.restartRequests(), restarts);
    }

    void enterAndTheCloseBoxSaveAndRestartNothing() {
        EditorsHarness h;
        frmRestart d(h.context);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        auto* hide = d.findChild<QCheckBox*>(u"chkHide"_s);
        QTest::mouseClick(hide, Qt::LeftButton);
        hide->setFocus();
        QTest::keyClick(hide, Qt::Key_Return);
        QVERIFY(d.isVisible());
        QCOMPARE(restartDialog(h), u"absent"_s);
        d.close();
        QCOMPARE(restartDialog(h), u"absent"_s);
        QCOMPARE(h.backend.restartRequests(), 0);
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

QTEST_MAIN(TestRestart)
#include "tst_restart.moc"
