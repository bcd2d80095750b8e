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
using namespace tavimor::test;

namespace {

const QString kFirstRunQuestion = QStringLiteral(
    "You are running Tavimor 4.0 for first time, the administrator password is set as empty. You can "
    "change the password anytime later by choosing Change Password from the File menu.\r\nWould you like "
    "to change the password now?");

// Answers the start-up windows from a script and records what was opened.
class FakeWindows : public StartupWindows {
public:
    void showSplash() override { calls << QStringLiteral("splash"); }
    void closeSplash() override { calls << QStringLiteral("close splash"); }
    std::optional<QString> passwordDialog(bool bSet) override {
        calls << (bSet ? QStringLiteral("set password") : QStringLiteral("login"));
        return passwords.isEmpty() ? std::optional<QString>(QString()) : passwords.dequeue();
    }
    int osConfirmation() override {
        calls << QStringLiteral("os dialog");
        return osAnswer;
    }
    void showMainWindow(int widthTwips, int heightTwips) override {
        calls << QStringLiteral("main %1x%2").arg(widthTwips).arg(heightTwips);
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
            road.windows.passwords << QStringLiteral("secret") << QStringLiteral("secret");
        road.run();

        QCOMPARE(firstRunWhileAsked, QStringLiteral("1"));
        const auto& asked = road.fixture.prompter.messages().first();
        QCOMPARE(asked.text, kFirstRunQuestion);
        QCOMPARE(asked.title, QStringLiteral("Tavimor 4.0"));
        QCOMPARE(asked.icon, MessageIcon::Question);
        QCOMPARE(asked.buttons, MessageButtons::YesNo);
        if (yes) {
            QCOMPARE(road.windows.calls,
                     texts({"splash", "close splash", "set password", "login", "main 11895x7935"}));
            QCOMPARE(MyPwdRead(road.fixture.context).value_or(QString()), QStringLiteral("secret"));
            QVERIFY(!road.fixture.setting(kPasswordKey).contains(QStringLiteral("secret")));
        } else {
            // The empty password is stored, and the login that follows takes an empty entry.
            QCOMPARE(road.windows.calls, texts({"splash", "close splash", "login", "main 11895x7935"}));
            QCOMPARE(road.fixture.setting(kPasswordKey), QString());
        }
        QVERIFY(road.quitCodes.isEmpty());
    }

    void laterStartsAskNothing_data() {
        QTest::addColumn<QString>("firstRun");
        QTest::newRow("1") << QStringLiteral("1");
        QTest::newRow("other text") << QStringLiteral("yes");
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
        QTest::newRow("98, flag 1") << false << QStringLiteral("1") << false;
        QTest::newRow("NT, flag 1") << true << QStringLiteral("1") << true;
        QTest::newRow("NT, flag 0") << true << QStringLiteral("0") << false;
        QTest::newRow("NT, flag with blanks") << true << QStringLiteral(" 1") << false;
        QTest::newRow("NT, flag missing") << true << QString() << true;
    }
    void versionCheck() {
        QFETCH(bool, windowsNt);
        QFETCH(QString, osDialog);
        QFETCH(bool, asked);
        Road road(windowsNt);
        road.fixture.settings.save(QLatin1String(kFirstRunKey), QStringLiteral("1"));
        if (!osDialog.isNull())
            road.fixture.settings.save(QLatin1String(kOSDialogKey), osDialog);
        road.run();
        QCOMPARE(road.windows.calls.contains(QStringLiteral("os dialog")), asked);
        QVERIFY(road.windows.calls.contains(QStringLiteral("main 11895x7935")));
    }

    void stoppingAtTheVersionDialogEndsAtOnce() {
        Road road(true);
        road.fixture.settings.save(QLatin1String(kFirstRunKey), QStringLiteral("1"));
        road.windows.osAnswer = 0;
        road.run();
        QCOMPARE(road.quitCodes, QList<int>{0});
        QCOMPARE(road.windows.calls, texts({"splash", "close splash", "os dialog"}));
    }

    void cancelledLoginEndsWithoutAMessage() {
        Road road;
        road.fixture.settings.save(QLatin1String(kFirstRunKey), QStringLiteral("1"));
        road.windows.passwords << std::nullopt;
        road.run();
        QCOMPARE(road.quitCodes, QList<int>{0});
        QVERIFY(road.fixture.prompter.messages().isEmpty());
        QVERIFY(!road.windows.calls.last().startsWith(QStringLiteral("main")));
    }

    void loginTakesARightPasswordAtAnyOfThreeTries_data() {
        QTest::addColumn<int>("wrongFirst");
        for (int wrong = 0; wrong < kLoginTries; ++wrong)
            QTest::addRow("right at try %d", wrong + 1) << wrong;
    }
    void loginTakesARightPasswordAtAnyOfThreeTries() {
        QFETCH(int, wrongFirst);
        Road road;
        road.fixture.settings.save(QLatin1String(kFirstRunKey), QStringLiteral("1"));
        MyPwdWrite(road.fixture.context, QStringLiteral("Pa ss"));
        for (int i = 0; i < wrongFirst; ++i)
            road.windows.passwords << QStringLiteral("pa ss");
        road.windows.passwords << QStringLiteral("Pa ss");
        road.run();
        QVERIFY(road.quitCodes.isEmpty());
        QCOMPARE(road.fixture.prompter.messageTexts(),
                 QStringList(wrongFirst, QStringLiteral("Wrong Password. Retry")));
        QCOMPARE(road.windows.calls.last(), QStringLiteral("main 11895x7935"));
    }

    void threeWrongPasswordsDenyAccess() {
        Road road;
        road.fixture.settings.save(QLatin1String(kFirstRunKey), QStringLiteral("1"));
        MyPwdWrite(road.fixture.context, QStringLiteral("secret"));
        // The close box enters the empty password, which is wrong here.
        road.windows.passwords << QStringLiteral("a") << QString() << QStringLiteral("Secret")
                               << QStringLiteral("secret");
        road.run();
        const auto& messages = road.fixture.prompter.messages();
        QCOMPARE(road.fixture.prompter.messageTexts(),
                 texts({"Wrong Password. Retry", "Wrong Password. Retry", "Wrong Password. Retry",
                        "Too many tries of invalid passwords. Access Denied"}));
        for (const auto& m : messages) {
            QCOMPARE(m.title, QStringLiteral("TAVIMOR 4.0"));
            QCOMPARE(m.icon, MessageIcon::None);
            QCOMPARE(m.buttons, MessageButtons::Ok);
        }
        QCOMPARE(road.quitCodes, QList<int>{0});
        QCOMPARE(road.windows.passwords.size(), 1);
        QVERIFY(!road.windows.calls.last().startsWith(QStringLiteral("main")));
    }

    void splashRunsTheRoadOnceFromItsTimer() {
        Road road;
        road.fixture.settings.save(QLatin1String(kFirstRunKey), QStringLiteral("1"));
        frmSplash splash(road.sequence);
        QCOMPARE(splash.width(), twipsToPixels(7500, &splash));
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(splash.timer()->interval(), 500);
        QCOMPARE(startupPicture(QStringLiteral("splash.png")).size(), QSize(500, 376));
        QVERIFY(!road.sequence.ready());
        splash.Form_Load();
        QVERIFY(road.sequence.ready());
        QVERIFY(splash.timer()->isActive());
        QCOMPARE(road.windows.calls, texts({"splash"}));
        QTRY_VERIFY_WITH_TIMEOUT(road.sequence.finished(), 3000);
        QVERIFY(!splash.timer()->isActive());
        QTest::qWait(600);
        QCOMPARE(road.windows.calls.count(QStringLiteral("login")), 1);
    }

    // A store that cannot be read is reported and ends the start; nobody gets in, nothing is written.
    void aDamagedStoreEndsTheStartUntouched() {
        Road road;
        const QString ini = road.fixture.settings.fileName(QStringLiteral("TAVIMOR 4.0"));
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
        QCOMPARE(road.fixture.errors.reports[0].source, QStringLiteral("bGlobal.Main"));
        QVERIFY(road.fixture.errors.reports[0].description.startsWith(
            QStringLiteral("The settings store %1 is damaged (line 4").arg(ini)));
        QFile file(ini);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), damaged);
    }
};

QTEST_MAIN(TestStartupSequence)
#include "tst_startup_sequence.moc"
