// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppWindows.h"
#include "base/FileUtil.h"
#include "catalogue/Password.h"
#include "catalogue/RegistrySession.h"
#include "catalogue/TemplateLibrary.h"
#include "startup/StartupSequence.h"
#include "startup/StartupWindows.h"
#include "startup/WidgetStartupWindows.h"
#include "startup/frmLogin.h"
#include "startup/frmOSConfirm.h"
#include "startup/frmSplash.h"
#include "support/WindowTest.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kFirstRunQuestion = QStringLiteral(
    "You are running Tavimor 4.0 for first time, the administrator password is set as empty. You can "
    "change the password anytime later by choosing Change Password from the File menu.\r\nWould you like "
    "to change the password now?");

// A start whose windows answer from a script and record what was opened; FirstRun "1" unless told.
struct Road : StartupWindows {
    explicit Road(bool windowsNt = false, const QString& firstRun = u"1"_s)
        : fixture(windowsNt)
        , sequence(fixture.context, *this, [this](int code) { quitCodes << code; }) {
        if (!firstRun.isNull())
            fixture.settings.save(QLatin1String(kFirstRunKey), firstRun);
    }
    void showSplash() override { calls << u"splash"_s; }
    void closeSplash() override { calls << u"close splash"_s; }
    std::optional<QString> passwordDialog(bool bSet) override {
        calls << (bSet ? u"set password"_s : u"login"_s);
        return passwords.isEmpty() ? std::optional<QString>(QString()) : passwords.takeFirst();
    }
    int osConfirmation() override {
        calls << u"os dialog"_s;
        return osAnswer;
    }
    void showMainWindow(int width, int height) override { calls << u"main %1x%2"_s.arg(width).arg(height); }
    void run() {
        sequence.load();
        sequence.tick();
    }

    ProgramHarness fixture;
    QList<std::optional<QString>> passwords;
    int osAnswer = 1;
    QStringList calls;
    QList<int> quitCodes;
    StartupSequence sequence;
};

// Writes a settings store its reader must refuse.
void damageStore(const ProgramHarness& f, const QByteArray& damaged) {
    const QString ini = f.settings.fileName(u"TAVIMOR 4.0"_s);
    if (!QDir().mkpath(QFileInfo(ini).path()) || !writeFileAtomically(ini, damaged))
        qFatal("cannot write %s", qPrintable(ini));
}

} // namespace

// The road from the splash window to the main window, and the real password and version dialogs on it.
class TestStartupSequence : public QObject {
    Q_OBJECT
private slots:
    // The first start asks, after writing FirstRun, whether to set the password; later starts ask
    // nothing, and the version dialog comes off the 95/98/Me family while OSDialog is "1". Stopping
    // there or cancelling the login ends the program without a word.
    void everyRoadFromTheSplash() {
        const QStringList straight = texts({"splash", "close splash", "login", "main 11895x7935"});
        const QStringList asked = texts({"splash", "close splash", "os dialog", "login", "main 11895x7935"});
        const QStringList setFirst =
            texts({"splash", "close splash", "set password", "login", "main 11895x7935"});
        // A null FirstRun is a first start; no passwords: the set question answered No.
        using Passwords = QList<std::optional<QString>>;
        for (const auto& [nt, firstRun, osDialog, osAnswer, passwords, calls] :
             {std::tuple<bool, const char*, const char*, int, Passwords, QStringList>{
                  false, nullptr, "1", 1, {u"secret"_s, u"secret"_s}, setFirst},
              {false, nullptr, "1", 1, {}, straight},
              {false, "yes", nullptr, 1, {}, straight},
              {true, "1", "1", 1, {}, asked},
              {true, "1", nullptr, 1, {}, asked},
              {true, "1", "0", 1, {}, straight},
              {true, "1", " 1", 1, {}, straight},
              {true, "1", nullptr, 0, {}, texts({"splash", "close splash", "os dialog"})},
              {false, "1", nullptr, 1, {std::nullopt}, texts({"splash", "close splash", "login"})}}) {
            Road road(nt, QString::fromLatin1(firstRun));
            if (osDialog)
                road.fixture.settings.save(QLatin1String(kOSDialogKey), QLatin1String(osDialog));
            road.osAnswer = osAnswer;
            road.passwords = passwords;
            road.fixture.prompter.queueAnswer(passwords.isEmpty() ? Answer::No : Answer::Yes);
            QString firstRunWhileAsked;
            road.fixture.prompter.onMessage = [&](const QString&) {
                firstRunWhileAsked = road.fixture.setting(kFirstRunKey);
            };
            road.run();
            QCOMPARE(road.calls, calls);
            QCOMPARE(road.quitCodes, calls.last().startsWith(u"main"_s) ? QList<int>() : QList<int>{0});
            if (firstRun) {
                QVERIFY(road.fixture.prompter.messages().isEmpty());
                continue;
            }
            QCOMPARE(firstRunWhileAsked, u"1"_s);
            QCOMPARE(road.fixture.prompter.messages(),
                     (QList{Message{kFirstRunQuestion, u"Tavimor 4.0"_s, MessageIcon::Question,
                                    MessageButtons::YesNo}}));
            // Answered No, the empty password is stored, and the login that follows takes an empty entry.
            if (passwords.isEmpty())
                QCOMPARE(road.fixture.setting(kPasswordKey), QString());
            else
                QVERIFY(passwordMatches(u"secret"_s, MyPwdRead(road.fixture.context).value_or(QString())));
        }
    }

    // A right password is taken at any of three tries; the close box enters the empty one, wrong here.
    void loginHasThreeTries() {
        for (int wrong = 0; wrong <= 3; ++wrong) {
            Road road;
            MyPwdWrite(road.fixture.context, u"secret"_s);
            road.passwords << u"a"_s << QString() << u"Secret"_s;
            road.passwords.resize(wrong);
            road.passwords << u"secret"_s;
            road.run();
            const bool denied = wrong == 3;
            QStringList told(wrong, u"Wrong Password. Retry"_s);
            if (denied)
                told << u"Too many tries of invalid passwords. Access Denied"_s;
            QCOMPARE(road.fixture.prompter.messageTexts(), told);
            for (const Message& m : road.fixture.prompter.messages())
                QCOMPARE(m, (Message{m.text, u"TAVIMOR 4.0"_s, MessageIcon::None, MessageButtons::Ok}));
            QCOMPARE(road.quitCodes, denied ? QList<int>{0} : QList<int>());
            QCOMPARE(road.calls.last(), denied ? u"login"_s : u"main 11895x7935"_s);
        }
    }

    void splashRunsTheRoadOnceFromItsTimer() {
        Road road;
        frmSplash splash(road.sequence);
        splash.Form_Load();
        QVERIFY(road.sequence.ready());
        QCOMPARE(road.calls, texts({"splash"}));
        QTRY_VERIFY_WITH_TIMEOUT(road.sequence.finished(), 3000);
        QVERIFY(!splash.timer()->isActive());
        QTest::qWait(600);
        QCOMPARE(road.calls.count(u"login"_s), 1);
    }

    // A store that cannot be read (never written over: test_settings_store) is reported under the
    // routine that read it and ends the start, or the open of the main window's version check.
    void aDamagedStoreEndsTheStartUntouched() {
        Road road(false, QString());
        damageStore(road.fixture, "[REGIKEY]\nFirstRun=1\nquorvel=abc\n[REGIKEY\n");
        road.run();
        QCOMPARE(road.calls, texts({"splash", "close splash"}));
        QCOMPARE(road.quitCodes, QList<int>{0});
        QCOMPARE(road.fixture.errors.reports.size(), 1);
        QCOMPARE(road.fixture.errors.reports[0].source, u"frmSplash.tmSplash_Timer"_s);

        // The version check asks nothing of a store it cannot read, and names the routine given.
        ProgramHarness f;
        damageStore(f, "[REGIKEY]\nOSDialog=1\n[REGIKEY\n");
        const QString source = u"frmRegistryExplorer.openRegistry"_s;
        QVERIFY(!checkWindowsVersion(f.context, f.context.registry.backend(), source, [] {
            qFatal("asked with an unread store");
            return 1;
        }));
        QCOMPARE(f.errors.reports.size(), 1);
        QCOMPARE(f.errors.reports[0].source, source);
    }

    // Cancel and Esc end a login as cancelled (a set dialog just closes); the close box ends neither so.
    // Logging in takes one masked box of ten characters; setting a password, two that must match.
    void loginAndSetModes() {
        ProgramHarness f;
        frmLogin dialog(f.prompter);
        for (bool bSet : {false, true}) {
            for (const Dismissal way : kDismissals) {
                dialog.prepare(bSet);
                dialog.show();
                child<QLineEdit>(&dialog, "txtPassword0")->setText(u"typed"_s);
                dismiss(&dialog, way);
                QVERIFY(!dialog.isVisible());
                QCOMPARE(dialog.enteredPassword(), QString());
                QCOMPARE(dialog.cancelledLogin(), !bSet && way != Dismissal::CloseBox);
            }
        }
        dialog.prepare(false);
        dialog.show();
        auto* box = child<QLineEdit>(&dialog, "txtPassword0");
        QVERIFY(!child<QLineEdit>(&dialog, "txtPassword1")->isVisible());
        QCOMPARE(box->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.focusWidget(), box);
        QTest::keyClicks(box, u"abcdefghijk"_s);
        QCOMPARE(box->text(), u"abcdefghij"_s);

        const QSize loginSize = dialog.size();
        dialog.prepare(true);
        auto* second = child<QLineEdit>(&dialog, "txtPassword1");
        QVERIFY(second->isVisible());
        QCOMPARE(dialog.size(), loginSize);
        QVERIFY(box->text().isEmpty());

        box->setText(u"one"_s);
        second->setText(u"One"_s);
        dialog.cmdOK_Click();
        QVERIFY(dialog.isVisible());
        QVERIFY(box->text().isEmpty() && second->text().isEmpty());
        QCOMPARE(dialog.focusWidget(), box);
        QCOMPARE(f.prompter.messageTexts(), QStringList{u"Passwords don't match"_s});

        box->setText(u"one"_s);
        second->setText(u"one"_s);
        dialog.cmdOK_Click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.enteredPassword(), u"one"_s);
        QCOMPARE(
            f.prompter.messageTexts().at(1),
            u"Password has been set.\r\nTavimor requires this password to be used everytime for login"_s);
        for (const Message& m : f.prompter.messages())
            QCOMPARE(m, (Message{m.text, u"TAVIMOR 4.0"_s, MessageIcon::Information, MessageButtons::Ok}));
    }

    void realWindowsTellCancelledLoginApart() {
        ProgramHarness f;
        WidgetStartupWindows windows(f.context, [](int, int) {});
        auto pressInActiveDialog = [](const char* name) {
            whenShown([name] { press(QApplication::activeModalWidget(), name); });
        };
        pressInActiveDialog("cmdCancel");
        QCOMPARE(windows.passwordDialog(false), std::nullopt);
        pressInActiveDialog("cmdCancel");
        QCOMPARE(windows.passwordDialog(true), std::optional<QString>(QString()));
        // Enter takes what was typed, trailing blanks cut.
        whenShown([] {
            auto* box = child<QLineEdit>(QApplication::activeModalWidget(), "txtPassword0");
            QTest::keyClicks(box, u" Ab  "_s);
            QTest::keyClick(box, Qt::Key_Return);
        });
        QCOMPARE(windows.passwordDialog(false), std::optional<QString>(u" Ab"_s));
        pressInActiveDialog("cmdOK");
        QCOMPARE(windows.osConfirmation(), 1);

        // Set Password: two empty boxes confirmed are the empty password, "Cancel" keeps the old one.
        RecordingShell shell;
        RegistrySession session(f.context, QString(), nullptr);
        TemplateLibrary templates(f.context, QString());
        AppWindows app(f.context, session, shell, templates);
        pressInActiveDialog("cmdOK");
        QCOMPARE(app.setPassword(nullptr), std::optional<QString>(QString()));
        pressInActiveDialog("cmdCancel");
        QCOMPARE(app.setPassword(nullptr), std::nullopt);
    }

    void osConfirmation() {
        for (const auto& [button, ticked, result, stored] : {std::tuple{"cmdOK", true, 1, "0"},
                                                             {"cmdOK", false, 1, "1"},
                                                             {"cmdCancel", true, 0, "-"},
                                                             {"", true, 0, "-"}}) {
            ProgramHarness f;
            frmOSConfirm dialog(f.settings, f.errors);
            QCOMPARE(child<QLabel>(&dialog, "lblMessage")->text(),
                     QStringLiteral("You are running Tavimor 4.0 on an unsupported version of Windows.\nThis "
                                    "program is designed to run only on Windows'95/98/Me.\n\nDo you want to "
                                    "continue running the program?"));
            auto* hide = child<QCheckBox>(&dialog, "chkHide");
            QVERIFY(!hide->isChecked());
            hide->setChecked(ticked);
            // No button named: the close box.
            whenShown([&, button] { *button ? press(&dialog, button) : void(dialog.close()); });
            QCOMPARE(int(dialog.ShowConfirmation()), result);
            QCOMPARE(f.setting(kOSDialogKey), QLatin1String(stored));
        }
    }
};

QTEST_MAIN(TestStartupSequence)
#include "tst_startup_sequence.moc"
