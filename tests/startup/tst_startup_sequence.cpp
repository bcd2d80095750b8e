// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartupFixture.h"
#include "catalogue/Password.h"
#include "gui/Twips.h"
#include "startup/StartupPictures.h"
#include "startup/StartupSequence.h"
#include "startup/StartupWindows.h"
#include "startup/frmSplash.h"

#include <QFile>
#include <QFileInfo>
#include <QQueue>
#include <QTest>
#include <QTimer>

using namespace tavimor;
using namespace Qt::StringLiterals;
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
    explicit Road(bool windowsNt = false)
        : fixture(windowsNt)
        , sequence(fixture.context, windows, [this](int code) { quitCodes << code; }) {}
    void run() {
        sequence.load();
        sequence.tick();
    }
    StartupFixture fixture;
    FakeWindows windows;
    QList<int> quitCodes;
    StartupSequence sequence;
};

} // namespace

class TestStartupSequence : public QObject {
    Q_OBJECT
private slots:
    void firstStartAsksAfterWritingFirstRun_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void firstStartAsksAfterWritingFirstRun() {
        QFETCH(bool, yes);
        Road road;
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
            QCOMPARE(MyPwdRead(road.fixture.context).value_or(QString()), u"secret"_s);
            QVERIFY(!road.fixture.setting(kPasswordKey).contains(u"secret"_s));
        } else {
            // The empty password is stored, and the login that follows takes an empty entry.
            QCOMPARE(road.windows.calls, texts({"splash", "close splash", "login", "main 11895x7935"}));
            QCOMPARE(road.fixture.setting(kPasswordKey), QString());
        }
        QVERIFY(road.quitCodes.isEmpty());
    }

    void laterStartsAskNothing_data() {
        QTest::addColumn<QString>("firstRun");
        QTest::newRow("1") << u"1"_s;
        QTest::newRow("other text") << u"yes"_s;
    }
    void laterStartsAskNothing() {
        QFETCH(QString, firstRun);
        Road road;
        road.fixture.settings.save(QLatin1String(kFirstRunKey), firstRun);
        road.run();
        QVERIFY(road.fixture.prompter.messages().isEmpty());
        QCOMPARE(road.windows.calls, texts({"splash", "close splash", "login", "main 11895x7935"}));
    }

    void versionCheck_data() {
        QTest::addColumn<bool>("windowsNt");
        QTest::addColumn<QString>("osDialog");
        QTest::addColumn<bool>("asked");
        QTest::newRow("98, flag 1") << false << u"1"_s << false;
        QTest::newRow("NT, flag 1") << true << u"1"_s << true;
        QTest::newRow("NT, flag 0") << true << u"0"_s << false;
        QTest::newRow("NT, flag with blanks") << true << u" 1"_s << false;
        QTest::newRow("NT, flag missing") << true << QString() << true;
    }
    void versionCheck() {
        QFETCH(bool, windowsNt);
        QFETCH(QString, osDialog);
        QFETCH(bool, asked);
        Road road(windowsNt);
        road.fixture.settings.save(QLatin1String(kFirstRunKey), u"1"_s);
        if (!osDialog.isNull())
            road.fixture.settings.save(QLatin1String(kOSDialogKey), osDialog);
        road.run();
        QCOMPARE(road.windows.calls.contains(u"os dialog"_s), asked);
        QVERIFY(road.windows.calls.contains(u"main 11895x7935"_s));
    }

    void stoppingAtTheVersionDialogEndsAtOnce() {
        Road road(true);
        road.fixture.settings.save(QLatin1String(kFirstRunKey), u"1"_s);
        road.windows.osAnswer = 0;
        road.run();
        QCOMPARE(road.quitCodes, QList<int>{0});
        QCOMPARE(road.windows.calls, texts({"splash", "close splash", "os dialog"}));
    }

    void cancelledLoginEndsWithoutAMessage() {
        Road road;
        road.fixture.settings.save(QLatin1String(kFirstRunKey), u"1"_s);
        road.windows.passwords << std::nullopt;
        road.run();
        QCOMPARE(road.quitCodes, QList<int>{0});
        QVERIFY(road.fixture.prompter.messages().isEmpty());
        QVERIFY(!road.windows.calls.last().startsWith(u"main"_s));
    }

    void loginTakesARightPasswordAtAnyOfThreeTries_data() {
        QTest::addColumn<int>("wrongFirst");
        for (int wrong = 0; wrong < kLoginTries; ++wrong)
            QTest::addRow("right at try %d", wrong + 1) << wrong;
    }
    void loginTakesARightPasswordAtAnyOfThreeTries() {
        QFETCH(int, wrongFirst);
        Road road;
        road.fixture.settings.save(QLatin1String(kFirstRunKey), u"1"_s);
        MyPwdWrite(road.fixture.context, u"Pa ss"_s);
        for (int i = 0; i < wrongFirst; ++i)
            road.windows.passwords << u"pa ss"_s;
        road.windows.passwords << u"Pa ss"_s;
        road.run();
        QVERIFY(road.quitCodes.isEmpty());
        QCOMPARE(road.fixture.prompter.messageTexts(), QStringList(wrongFirst, u"Wrong Password. Retry"_s));
        QCOMPARE(road.windows.calls.last(), u"main 11895x7935"_s);
    }

    void threeWrongPasswordsDenyAccess() {
        Road road;
        road.fixture.settings.save(QLatin1String(kFirstRunKey), u"1"_s);
        MyPwdWrite(road.fixture.context, u"secret"_s);
        // The close box enters the empty password, which is wrong here.
        road.windows.passwords << u"a"_s << QString() << u"Secret"_s << u"secret"_s;
        road.run();
        const auto& messages = road.fixture.prompter.messages();
        QCOMPARE(road.fixture.prompter.messageTexts(),
                 texts({"Wrong Password. Retry", "Wrong Password. Retry", "Wrong Password. Retry",
                        "Too many tries of invalid passwords. Access Denied"}));
        for (const auto& m : messages) {
            QCOMPARE(m.title, u"TAVIMOR 4.0"_s);
            QCOMPARE(m.icon, MessageIcon::None);
            QCOMPARE(m.buttons, MessageButtons::Ok);
        }
        QCOMPARE(road.quitCodes, QList<int>{0});
        QCOMPARE(road.windows.passwords.size(), 1);
        QVERIFY(!road.windows.calls.last().startsWith(u"main"_s));
    }

    void splashRunsTheRoadOnceFromItsTimer() {
        Road road;
        road.fixture.settings.save(QLatin1String(kFirstRunKey), u"1"_s);
        frmSplash splash(road.sequence);
        QCOMPARE(splash.width(), twipsToPixels(7500, &splash));
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(splash.timer()->interval(), 500);
        QCOMPARE(startupPicture(u"splash.png"_s).size(), QSize(500, 376));
        QVERIFY(!road.sequence.ready());
        splash.Form_Load();
        QVERIFY(road.sequence.ready());
        QVERIFY(splash.timer()->isActive());
        QCOMPARE(road.windows.calls, texts({"splash"}));
        QTRY_VERIFY_WITH_TIMEOUT(road.sequence.finished(), 3000);
        QVERIFY(!splash.timer()->isActive());
        QTest::qWait(600);
        QCOMPARE(road.windows.calls.count(u"login"_s), 1);
    }

    // A store that cannot be read is reported and ends the start; nobody gets in, nothing is written.
    void aDamagedStoreEndsTheStartUntouched() {
        Road road;
        const QString ini = road.fixture.settings.fileName(u"TAVIMOR 4.0"_s);
        QVERIFY(QDir().mkpath(QFileInfo(ini).path()));
        const QByteArray damaged = "[REGIKEY]\nFirstRun=1\nquorvel=abc\n[REGIKEY\n";
        {
            QFile file(ini);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
        }
        road.run();
        QCOMPARE(road.windows.calls, texts({"splash", "close splash"}));
        QCOMPARE(road.quitCodes, QList<int>{0});
        QCOMPARE(road.fixture.errors.reports.size(), 1);
        QCOMPARE(road.fixture.errors.reports[0].source, u"bGlobal.Main"_s);
        QVERIFY(road.fixture.errors.reports[0].description.startsWith(
            u"The settings store %1 is damaged (line 4"_s.arg(ini)));
        QFile file(ini);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), damaged);
    }
};

QTEST_MAIN(TestStartupSequence)
#include "tst_startup_sequence.moc"
