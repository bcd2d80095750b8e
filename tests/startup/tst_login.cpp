// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartupFixture.h"
#include "gui/AppWindows.h"
#include "startup/StartupSequence.h"
#include "startup/WidgetStartupWindows.h"
#include "startup/frmAbout.h"
#include "startup/frmLogin.h"
#include "startup/frmOSConfirm.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

namespace {

template <typename T> T* child(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// Runs f on the next turn of the event loop, once the modal dialog is up.
void whenShown(std::function<void()> f) {
    QTimer::singleShot(0, std::move(f));
}

} // namespace

class TestLogin : public QObject {
    Q_OBJECT
private slots:
    void loginModeShowsOneMaskedBoxOfTenCharacters() {
        StartupFixture f;
        frmLogin dialog(f.prompter);
        dialog.prepare(false);
        dialog.show();
        auto* box = child<QLineEdit>(dialog, "txtPassword0");
        QCOMPARE(dialog.windowTitle(), u"Tavimor 4.0"_s);
        QCOMPARE(child<QLabel>(dialog, "lblLabels0")->text(), u"&Password:"_s);
        QVERIFY(!child<QLineEdit>(dialog, "txtPassword1")->isVisible());
        QVERIFY(!child<QLabel>(dialog, "lblLabels1")->isVisible());
        QCOMPARE(box->echoMode(), QLineEdit::Password);
        QVERIFY(child<QPushButton>(dialog, "cmdOK")->isDefault());
        QCOMPARE(child<QPushButton>(dialog, "cmdOK")->text(), u"&OK"_s);
        QCOMPARE(child<QPushButton>(dialog, "cmdCancel")->text(), u"Cancel"_s);
        QCOMPARE(dialog.focusWidget(), box);
        QTest::keyClicks(box, u"abcdefghijk"_s);
        QCOMPARE(box->text(), u"abcdefghij"_s);

        const QSize loginSize = dialog.size();
        dialog.prepare(true);
        QVERIFY(child<QLineEdit>(dialog, "txtPassword1")->isVisible());
        QCOMPARE(child<QLabel>(dialog, "lblLabels1")->text(), u"&Verify Password:"_s);
        QCOMPARE(dialog.size(), loginSize);
        QVERIFY(box->text().isEmpty());
    }

    void okReturnsTheRightTrimmedPassword() {
        StartupFixture f;
        frmLogin dialog(f.prompter);
        whenShown([&] {
            QTest::keyClicks(child<QLineEdit>(dialog, "txtPassword0"), u" Ab  "_s);
            QTest::keyClick(child<QLineEdit>(dialog, "txtPassword0"), Qt::Key_Return);
        });
        QCOMPARE(dialog.Start(false), u" Ab"_s);
        QVERIFY(!dialog.cancelledLogin());
        QVERIFY(f.prompter.messages().isEmpty());
    }

    void setModeChecksTheTwoBoxes() {
        StartupFixture f;
        frmLogin dialog(f.prompter);
        dialog.prepare(true);
        dialog.show();
        auto* first = child<QLineEdit>(dialog, "txtPassword0");
        auto* second = child<QLineEdit>(dialog, "txtPassword1");
        first->setText(u"one"_s);
        second->setText(u"One"_s);
        dialog.cmdOK_Click();
        QVERIFY(dialog.isVisible());
        QVERIFY(first->text().isEmpty() && second->text().isEmpty());
        QCOMPARE(dialog.focusWidget(), first);
        QCOMPARE(f.prompter.messages().size(), 1);
        QCOMPARE(f.prompter.messages()[0].text, u"Passwords don't match"_s);
        QCOMPARE(f.prompter.messages()[0].title, u"TAVIMOR 4.0"_s);
        QCOMPARE(f.prompter.messages()[0].icon, MessageIcon::Information);

        first->setText(u"one"_s);
        second->setText(u"one"_s);
        dialog.cmdOK_Click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.enteredPassword(), u"one"_s);
        QCOMPARE(
            f.prompter.messages()[1].text,
            QStringLiteral("Password has been set.\r\nTavimor requires this password to be used everytime "
                           "for login"));
        QCOMPARE(f.prompter.messages()[1].icon, MessageIcon::Information);

        // Two empty boxes set the empty password, with the same message.
        dialog.prepare(true);
        dialog.show();
        dialog.cmdOK_Click();
        QCOMPARE(dialog.enteredPassword(), QString());
        QCOMPARE(f.prompter.messages().size(), 3);
    }

    void cancelEscAndCloseBox() {
        StartupFixture f;
        frmLogin dialog(f.prompter);
        for (bool bSet : {false, true}) {
            dialog.prepare(bSet);
            dialog.show();
            child<QLineEdit>(dialog, "txtPassword0")->setText(u"typed"_s);
            QTest::mouseClick(child<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.enteredPassword(), QString());
            QCOMPARE(dialog.cancelledLogin(), !bSet);

            dialog.prepare(bSet);
            dialog.show();
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.cancelledLogin(), !bSet);

            // The close box ends neither mode's dialog as "Cancel" does; the entry stays empty.
            dialog.prepare(bSet);
            dialog.show();
            child<QLineEdit>(dialog, "txtPassword0")->setText(u"typed"_s);
            dialog.close();
            QVERIFY(!dialog.isVisible());
            QVERIFY(!dialog.cancelledLogin());
            QCOMPARE(dialog.enteredPassword(), QString());
        }
    }

    void realWindowsTellCancelledLoginApart() {
        StartupFixture f;
        WidgetStartupWindows windows(f.context, [](int, int) {});
        auto pressInActiveDialog = [](const char* name) {
            whenShown([name] {
                QWidget* dialog = QApplication::activeModalWidget();
                QTest::mouseClick(child<QPushButton>(*dialog, name), Qt::LeftButton);
            });
        };
        pressInActiveDialog("cmdCancel");
        QCOMPARE(windows.passwordDialog(false), std::nullopt);
        pressInActiveDialog("cmdCancel");
        QCOMPARE(windows.passwordDialog(true), std::optional<QString>(QString()));
        pressInActiveDialog("cmdOK");
        QCOMPARE(windows.passwordDialog(false), std::optional<QString>(QString()));
        pressInActiveDialog("cmdOK");
        QCOMPARE(windows.osConfirmation(), 1);

        // Set Password: two empty boxes confirmed are the empty password, "Cancel" keeps the old one.
        RecordingShell shell;
        AppWindows app(f.context, shell);
        pressInActiveDialog("cmdOK");
        QCOMPARE(app.setPassword(nullptr), std::optional<QString>(QString()));
        pressInActiveDialog("cmdCancel");
        QCOMPARE(app.setPassword(nullptr), std::nullopt);
    }

    void fixedDialogsOfferNoMinimiseOrMaximise() {
        StartupFixture f;
        RecordingShell shell;
        frmLogin login(f.prompter);
        frmOSConfirm os(f.settings, f.errors);
        frmAbout about(shell);
        for (QDialog* dialog :
             {static_cast<QDialog*>(&login), static_cast<QDialog*>(&os), static_cast<QDialog*>(&about)}) {
            dialog->show();
            const Qt::WindowFlags flags = dialog->windowHandle()->flags();
            QVERIFY2(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)),
                     qPrintable(dialog->objectName()));
            QVERIFY(flags & Qt::WindowCloseButtonHint);
            QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        }
    }

    void osConfirmation_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("stored");
        QTest::newRow("yes ticked") << u"cmdOK"_s << true << 1 << u"0"_s;
        QTest::newRow("yes unticked") << u"cmdOK"_s << false << 1 << u"1"_s;
        QTest::newRow("no ticked") << u"cmdCancel"_s << true << 0 << u"-"_s;
        QTest::newRow("esc") << u"esc"_s << true << 0 << u"-"_s;
        QTest::newRow("close box") << u"close"_s << true << 0 << u"-"_s;
    }
    void osConfirmation() {
        QFETCH(QString, button);
        QFETCH(bool, ticked);
        QFETCH(int, result);
        QFETCH(QString, stored);
        StartupFixture f;
        frmOSConfirm dialog(f.settings, f.errors);
        QCOMPARE(dialog.windowTitle(), u"Tavimor 4.0 for 95/98/Me"_s);
        QCOMPARE(child<QLabel>(dialog, "lblMessage")->text(),
                 QStringLiteral("You are running Tavimor 4.0 on an unsupported version of Windows.\nThis "
                                "program is designed to run only on Windows'95/98/Me.\n\nDo you want to "
                                "continue running the program?"));
        auto* hide = child<QCheckBox>(dialog, "chkHide");
        QCOMPARE(hide->text(), u"Don't display this dialog again."_s);
        QVERIFY(!hide->isChecked());
        QCOMPARE(child<QPushButton>(dialog, "cmdOK")->text(), u"Yes"_s);
        QCOMPARE(child<QPushButton>(dialog, "cmdCancel")->text(), u"No"_s);
        hide->setChecked(ticked);
        whenShown([&] {
            if (button == "esc"_L1)
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else if (button == "close"_L1)
                dialog.close();
            else
                QTest::mouseClick(child<QPushButton>(dialog, button.toLatin1().constData()), Qt::LeftButton);
        });
        QCOMPARE(int(dialog.ShowConfirmation()), result);
        QCOMPARE(f.setting(kOSDialogKey), stored);
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
