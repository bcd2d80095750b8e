// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "catalogue/EntryEdit.h"
#include "catalogue/Password.h"
#include "catalogue/RegistrySync.h"

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

class TestExplorerCommands : public QObject {
    Q_OBJECT
    std::unique_ptr<ExplorerFixture> f;

private slots:
    void init() { f = std::make_unique<ExplorerFixture>(); }
    void cleanup() { f.reset(); }

    void closingWithPendingChangesAsks_data() {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Cancel keeps the window") << Answer::Cancel << false << false;
        QTest::newRow("No closes") << Answer::No << false << true;
        QTest::newRow("Yes applies, then closes") << Answer::Yes << false << true;
        QTest::newRow("Yes that the registry refuses says so and stays") << Answer::Yes << true << false;
    }
    void closingWithPendingChangesAsks() {
        QFETCH(Answer, answer);
        QFETCH(bool, refused);
        QFETCH(bool, closes);
        frmRegistryExplorer& w = f->shown();
        QVERIFY(applyEntryLater(f->context, kRunDialog, u"1"_s));
        if (refused)
            f->backend.failUnder(QLatin1String(kExplorerKey), u"Access is denied."_s, true);
        f->prompter.queueAnswer(answer);
        // Exit goes through the same steps as the close box.
        f->action(u"mnuSubApplication7"_s)->trigger();
        // The question and what each answer does to the registry: test_registry_sync. A refused write
        // is a message, never the error report, which would end the program.
        QCOMPARE(f->prompter.messages().size(), refused ? 2 : 1);
        QVERIFY(f->errors.reports.isEmpty());
        QCOMPARE(w.isVisible(), !closes);
        QCOMPARE(changesPending(f->context), answer != Answer::Yes || refused);
        // Run Dialog applied at exit sets the restart flag in time for the restart question.
        QCOMPARE(f->windows.names(),
                 answer == Answer::Yes && !refused ? QStringList{u"confirmRestart"_s} : QStringList());
    }

    void theRestartConfirmationFollowsFlagAndSetting_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("flag");
        QTest::addColumn<bool>("asked");
        QTest::newRow("absent, flag set") << QString() << true << true;
        QTest::newRow("\"0\", flag set") << u"0"_s << true << false;
        QTest::newRow("\" 1 \", flag set") << u" 1 "_s << true << true;
        QTest::newRow("absent, flag clear") << QString() << false << false;
    }
    void theRestartConfirmationFollowsFlagAndSetting() {
        QFETCH(QString, setting);
        QFETCH(bool, flag);
        QFETCH(bool, asked);
        frmRegistryExplorer& w = f->shown();
        if (!setting.isNull())
            QVERIFY(f->settings.save(u"RestartDialog"_s, setting));
        f->context.restartNeeded = flag;
        QVERIFY(w.close());
        QVERIFY(f->prompter.messages().isEmpty()); // nothing pending, nothing to ask
        QCOMPARE(f->windows.names(), asked ? QStringList{u"confirmRestart"_s} : QStringList());
        // A second close (the session ending after Exit) runs the steps no more.
        QVERIFY(w.close());
        QCOMPARE(f->windows.names().count(u"confirmRestart"_s), asked ? 1 : 0);
    }

    // Two empty boxes confirmed are the empty password, a cancelled dialog keeps the old one.
    void setPasswordStoresWhatWasConfirmedAndKeepsItOnCancel() {
        f->start();
        for (const std::optional<QString>& answer :
             {std::optional(u"secret"_s), std::optional<QString>(), std::optional(QString())}) {
            f->windows.passwordAnswer = answer;
            f->action(u"mnuSubApplication6"_s)->trigger();
            const QString stored = answer.value_or(u"secret"_s);
            QVERIFY(passwordMatches(stored, MyPwdRead(f->context).value_or(u"unread"_s)));
        }
        QCOMPARE(f->settings.read(QLatin1String(kPasswordKey), u"unset"_s), std::optional(QString()));
    }
};

QTEST_MAIN(TestExplorerCommands)
#include "tst_explorer_commands.moc"
