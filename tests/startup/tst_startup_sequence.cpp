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
#include "support/FaultPlace.h"
#include "support/WindowTest.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QQueue>

using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kFirstRunQuestion = QStringLiteral(
    "You are running Tavimor 4.0 for first time, the administrator password is set as empty. You can "
    "change the password anytime later by choosing Change Password from the File menu.\r\nWould you like "
    "to change the password now?");

// Answers the start-up windows from a script and records what was opened.
class FakeWindows : public StartupWindows {
public:
    void showSplash() override { calls << u"splash"_s; }
    void closeSplash() override { calls << u"close splash"_s; }
    std::optional<QString> passwordDialog(bool bSet) override {
        calls << (bSet ? u"set password"_s : u"login"_s);
        return passwords.isEmpty() ? std::optional<QString>(QString()) : passwords.dequeue();
    }
    int osConfirmation() override {
        calls << u"os dialog"_s;
        return osAnswer;
    }
    void showMainWindow(int widthTwips, int heightTwips) override {
        calls << u"main %1x%2"_s.arg(widthTwips).arg(heightTwips);
    }
    QQueue<std::optional<QString>> passwords;
    int osAnswer = 1;
    QStringList calls;
};

struct Road {
    // A later start (FirstRun "1") unless told the FirstRun text; null leaves it unset.
    explicit Road(bool windowsNt = false, const QString& firstRun = u"1"_s)
        : fixture(windowsNt)
        , sequence(fixture.context, windows, [this](int code) { quitCodes << code; }) {
        if (!firstRun.isNull())
            fixture.settings.save(QLatin1String(kFirstRunKey), firstRun);
    }
    void run() {
        sequence.load();
        sequence.tick();
    }
    ProgramHarness fixture;
    FakeWindows windows;
    QList<int> quitCodes;
    StartupSequence sequence;
};

// Writes a settings store its reader must refuse; returns the file's name.
QString damageStore(const ProgramHarness& f, const QByteArray& damaged) {
    const QString ini = f.settings.fileName(u"TAVIMOR 4.0"_s);
    if (!QDir().mkpath(QFileInfo(ini).path()) || !writeFileAtomically(ini, damaged))
        qFatal("cannot write %s", qPrintable(ini));
    return ini;
}

} // namespace

// The road from the splash window to the main window, and the real password and version dialogs on it.
class TestStartupSequence : public QObject {
    Q_OBJECT
private slots:
    void firstStartAsksAfterWritingFirstRun() {
        for (const bool yes : {true, false}) {
            Road road(false, QString());
            QString firstRunWhileAsked;
            road.fixture.prompter.onMessage = [&](const QString& text) {
                if (text == kFirstRunQuestion)
                    firstRunWhileAsked = road.fixture.setting(kFirstRunKey);
            };
            road.fixture.prompter.queueAnswer(yes ? Answer::Yes : Answer::No);
            if (yes)
                road.windows.passwords << u"secret"_s << u"secret"_s;
            road.run();

            QCOMPARE(firstRunWhileAsked, u"1"_s);
            const auto& asked = road.fixture.prompter.messages().first();
            QCOMPARE(asked.text, kFirstRunQuestion);
            QCOMPARE(asked.title, u"Tavimor 4.0"_s);
            QCOMPARE(asked.icon, MessageIcon::Question);
            QCOMPARE(asked.buttons, MessageButtons::YesNo);
            if (yes) {
                QCOMPARE(road.windows.calls,
                         texts({"splash", "close splash", "set password", "login", "main 11895x7935"}));
                QVERIFY(passwordMatches(u"secret"_s, MyPwdRead(road.fixture.context).value_or(QString())));
            } else {
                // The empty password is stored, and the login that follows takes an empty entry.
                QCOMPARE(road.windows.calls, texts({"splash", "close splash", "login", "main 11895x7935"}));
                QCOMPARE(road.fixture.setting(kPasswordKey), QString());
            }
            QVERIFY(road.quitCodes.isEmpty());
        }
    }

    // Later starts ask nothing; the version dialog comes off the 95/98/Me family while OSDialog is "1".
    // Stopping there or cancelling the login ends the program without a word.
    void laterStarts_data() {
        QTest::addColumn<bool>("windowsNt");
        QTest::addColumn<QString>("firstRun");
        QTest::addColumn<QString>("osDialog");
        QTest::addColumn<int>("osAnswer");
        QTest::addColumn<bool>("cancelLogin");
        QTest::addColumn<QStringList>("calls");
        const QStringList straight = texts({"splash", "close splash", "login", "main 11895x7935"});
        const QStringList asked = texts({"splash", "close splash", "os dialog", "login", "main 11895x7935"});
        QTest::newRow("98") << false << u"1"_s << u"1"_s << 1 << false << straight;
        QTest::newRow("98, FirstRun other text") << false << u"yes"_s << QString() << 1 << false << straight;
        QTest::newRow("NT") << true << u"1"_s << u"1"_s << 1 << false << asked;
        QTest::newRow("NT, flag missing") << true << u"1"_s << QString() << 1 << false << asked;
        QTest::newRow("NT, flag 0") << true << u"1"_s << u"0"_s << 1 << false << straight;
        QTest::newRow("NT, flag with blanks") << true << u"1"_s << u" 1"_s << 1 << false << straight;
        QTest::newRow("NT, stopped at the dialog")
            << true << u"1"_s << QString() << 0 << false << texts({"splash", "close splash", "os dialog"});
        QTest::newRow("cancelled login")
            << false << u"1"_s << QString() << 1 << true << texts({"splash", "close splash", "login"});
    }
    void laterStarts() {
        QFETCH(bool, windowsNt);
        QFETCH(QString, firstRun);
        QFETCH(QString, osDialog);
        QFETCH(int, osAnswer);
        QFETCH(bool, cancelLogin);
        QFETCH(QStringList, calls);
        Road road(windowsNt, firstRun);
        if (!osDialog.isNull())
            road.fixture.settings.save(QLatin1String(kOSDialogKey), osDialog);
        road.windows.osAnswer = osAnswer;
        if (cancelLogin)
            road.windows.passwords << std::nullopt;
        road.run();
        QVERIFY(road.fixture.prompter.messages().isEmpty());
        QCOMPARE(road.windows.calls, calls);
        QCOMPARE(road.quitCodes, calls.last().startsWith(u"main"_s) ? QList<int>() : QList<int>{0});
    }

    // A right password is taken at any of three tries; the close box enters the empty one, wrong here.
    void loginHasThreeTries() {
        for (int wrong = 0; wrong <= 3; ++wrong) {
            Road road;
            MyPwdWrite(road.fixture.context, u"secret"_s);
            road.windows.passwords << u"a"_s << QString() << u"Secret"_s;
            road.windows.passwords.resize(wrong);
            road.windows.passwords << u"secret"_s;
            road.run();
            const bool denied = wrong == 3;
            QStringList told(wrong, u"Wrong Password. Retry"_s);
            if (denied)
                told << u"Too many tries of invalid passwords. Access Denied"_s;
            QCOMPARE(road.fixture.prompter.messageTexts(), told);
            for (const auto& m : road.fixture.prompter.messages()) {
                QCOMPARE(m.title, u"TAVIMOR 4.0"_s);
                QCOMPARE(m.icon, MessageIcon::None);
                QCOMPARE(m.buttons, MessageButtons::Ok);
            }
            QCOMPARE(road.quitCodes, denied ? QList<int>{0} : QList<int>());
            QCOMPARE(road.windows.passwords.size(), denied ? 1 : 0);
            QCOMPARE(road.windows.calls.last(), denied ? u"login"_s : u"main 11895x7935"_s);
        }
    }

    void splashRunsTheRoadOnceFromItsTimer() {
        Road road;
        frmSplash splash(road.sequence);
        splash.Form_Load();
        QVERIFY(road.sequence.ready());
        QCOMPARE(road.windows.calls, texts({"splash"}));
        QTRY_VERIFY_WITH_TIMEOUT(road.sequence.finished(), 3000);
        QVERIFY(!splash.timer()->isActive());
        QTest::qWait(600);
        QCOMPARE(road.windows.calls.count(u"login"_s), 1);
    }

    // A store that cannot be read is reported under the name of the routine that read it and ends
    // the start (the splash) or the open (the main window's version check); nothing is written.
    void aDamagedStoreEndsTheStartUntouched() {
        Road road(false, QString());
        const QByteArray damaged = "[REGIKEY]\nFirstRun=1\nquorvel=abc\n[REGIKEY\n";
        const QString ini = damageStore(road.fixture, damaged);
        road.run();
        QCOMPARE(road.windows.calls, texts({"splash", "close splash"}));
        QCOMPARE(road.quitCodes, QList<int>{0});
        QCOMPARE(road.fixture.errors.reports.size(), 1);
        QCOMPARE(road.fixture.errors.reports[0].source, u"frmSplash.tmSplash_Timer"_s);
        QVERIFY(road.fixture.errors.reports[0].description.startsWith(
            u"The settings store %1 is damaged (line 4"_s.arg(ini)));
        QCOMPARE(fileBytes(ini), damaged);

        // The version check asks nothing of a store it cannot read, and names the routine given.
        ProgramHarness f;
        const QByteArray osDamaged = "[REGIKEY]\nOSDialog=1\n[REGIKEY\n";
        const QString osIni = damageStore(f, osDamaged);
        const QString source = u"frmRegistryExplorer.openRegistry"_s;
        QVERIFY(!checkWindowsVersion(f.context, f.context.registry.backend(), source, [] {
            qFatal("asked with an unread store");
            return 1;
        }));
        QCOMPARE(f.errors.reports.size(), 1);
        QCOMPARE(f.errors.reports[0].source, source);
        QCOMPARE(fileBytes(osIni), osDamaged);
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
        QVERIFY(child<QLineEdit>(&dialog, "txtPassword1")->isVisible());
        QCOMPARE(dialog.size(), loginSize);
        QVERIFY(box->text().isEmpty());

        auto* first = box;
        auto* second = child<QLineEdit>(&dialog, "txtPassword1");
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
        const struct {
            const char* button;
            bool ticked;
            int result;
            const char* stored;
        } cases[] = {{"cmdOK", true, 1, "0"},
                     {"cmdOK", false, 1, "1"},
                     {"cmdCancel", true, 0, "-"},
                     {"", true, 0, "-"}};
        for (const auto& [button, ticked, result, stored] : cases) {
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
