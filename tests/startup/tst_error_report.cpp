// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartupFixture.h"
#include "startup/ErrorReport.h"
#include "startup/GuiErrorHandler.h"
#include "startup/frmErrorHandler.h"

#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tavimor;
using namespace tavimor::test;

namespace {

struct ErrorWindow {
    ErrorWindow()
        : window({fixture.prompter, shell, clock, fixture.context.programFolder,
                  fixture.dir.filePath(QStringLiteral("userdata")), [this](int code) {
                      quitCodes << code;
                  }}) {}
    QString log(const QString& folder) const {
        QFile file(folder + QStringLiteral("/errors.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("<none>");
    }
    QString report(qint32 number, const QString& description, const QString& source) const {
        return QStringLiteral(
                   "mailto:errors@quillmoor.example.com?subject=Tavimor Error Report&Body=Error Date: ") +
               QLocale().toString(clock.time, QLocale::ShortFormat) + QStringLiteral("%0DError Number: ") +
               QString::number(number) + QStringLiteral(" %0DError Description: ") + description +
               QStringLiteral(" %0DError Source: ") + source;
    }
    void press(const char* name) {
        QTest::mouseClick(window.findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
    }

    StartupFixture fixture;
    RecordingShell shell;
    FixedClock clock;
    QList<int> quitCodes;
    frmErrorHandler window;
};

} // namespace

class TestErrorReport : public QObject {
    Q_OBJECT
private slots:
    void windowTexts() {
        ErrorWindow w;
        QCOMPARE(w.window.windowTitle(), QStringLiteral("Tavimor 4.0 "));
        const QList<std::pair<const char*, QString>> labels{
            {"lblTitle1",
             QStringLiteral("Tavimor4.exe has encountered a problem and needs to close. We are sorry "
                            "for the inconvenience.")},
            {"lblInfo1", QStringLiteral("If you were in the middle of something, the information you were "
                                        "working on might be lost.")},
            {"lblInfo2", QStringLiteral("Please tell Quillmoor about this problem.")},
            {"lblInfo3",
             QStringLiteral("We have created an error report that you can send to us. We will check "
                            "the problem and get back to you.")},
        };
        for (const auto& [name, text] : labels)
            QCOMPARE(w.window.findChild<QLabel*>(QLatin1String(name))->text(), text);
        QCOMPARE(w.window.findChild<QPushButton*>(QStringLiteral("cmdSendReport"))->text(),
                 QStringLiteral("&Send Error Report"));
        QCOMPARE(w.window.findChild<QPushButton*>(QStringLiteral("cmdDontSend"))->text(),
                 QStringLiteral("&Don't Send"));
        QVERIFY(
            w.window.findChild<QPlainTextEdit*>(QStringLiteral("txtErrorReport"))->toPlainText().isEmpty());
    }

    void sendWritesTheLogOpensTheMailAndEnds() {
        ErrorWindow w;
        const QString description = QStringLiteral("Bad data & more? yes");
        w.window.setError(-2146893819, description, QStringLiteral("bGlobal.MyPwdRead"));
        w.window.show();
        w.press("cmdSendReport");
        const QString expected = w.report(-2146893819, description, QStringLiteral("bGlobal.MyPwdRead"));
        QVERIFY(expected.contains(QStringLiteral("Error Number: -2146893819 %0D")));
        QCOMPARE(w.window.findChild<QPlainTextEdit*>(QStringLiteral("txtErrorReport"))->toPlainText(),
                 expected);
        QCOMPARE(w.log(w.fixture.context.programFolder), expected + QStringLiteral("\r\n"));
        QCOMPARE(w.shell.opened, QStringList{expected});
        QCOMPARE(w.quitCodes, QList<int>{0});

        // A second report, as from a later run, replaces the first.
        frmErrorHandler window(
            {w.fixture.prompter, w.shell, w.clock, w.fixture.context.programFolder, QString(), [](int) {
             }});
        window.setError(5, QStringLiteral("Invalid procedure call"), QStringLiteral("bGlobal.Power"));
        window.cmdSendReport_Click();
        QCOMPARE(w.log(w.fixture.context.programFolder),
                 w.report(5, QStringLiteral("Invalid procedure call"), QStringLiteral("bGlobal.Power")) +
                     QStringLiteral("\r\n"));
    }

    void readOnlyProgramFolderFallsBackToTheUserFolder() {
        ErrorWindow w;
        const QString userData = w.fixture.dir.filePath(QStringLiteral("userdata"));
        // A folder under a plain file can be neither made nor written, even by root.
        const QString blocker = w.fixture.dir.filePath(QStringLiteral("plain"));
        QVERIFY(QFile(blocker).open(QIODevice::WriteOnly));
        const QString unwritable = blocker + QStringLiteral("/folder");
        QCOMPARE(writeErrorLog(QStringLiteral("r"), unwritable, userData),
                 userData + QStringLiteral("/errors.log"));
        QCOMPARE(w.log(userData), QStringLiteral("r\r\n"));
        QCOMPARE(writeErrorLog(QStringLiteral("r"), unwritable, QString()), QString());
        // A state folder not made yet is made.
        const QString state = w.fixture.dir.filePath(QStringLiteral("state/tavimor"));
        QCOMPARE(writeErrorLog(QStringLiteral("s"), state, userData), state + QStringLiteral("/errors.log"));
    }

    void unwritableLogKeepsTheWindowOpen() {
        StartupFixture f;
        RecordingShell shell;
        FixedClock clock;
        QList<int> quits;
        const QString blocker = f.dir.filePath(QStringLiteral("plain"));
        QVERIFY(QFile(blocker).open(QIODevice::WriteOnly));
        const QString unwritable = blocker + QStringLiteral("/folder");
        frmErrorHandler window({f.prompter, shell, clock, unwritable, QString(), [&](int c) {
                                    quits << c;
                                }});
        window.setError(1, QStringLiteral("d"), QStringLiteral("s"));
        window.show();
        window.cmdSendReport_Click();
        QVERIFY(quits.isEmpty());
        QVERIFY(shell.opened.isEmpty());
        QCOMPARE(f.prompter.messages().size(), 1);
        const auto& m = f.prompter.messages()[0];
        QVERIFY(m.text.startsWith(QStringLiteral("Error Occurred, please contact Quillmoor support team\r\n"
                                                 "Error Number: 75\r\nError Description: ")));
        QVERIFY(m.text.endsWith(QStringLiteral("\r\nError Source: frmErrorHandler.cmdSendReport_Click")));
        QCOMPARE(m.title, QStringLiteral("Tavimor 4.0"));
        QCOMPARE(m.icon, MessageIcon::None);
        window.cmdDontSend_Click();
        QCOMPARE(quits, QList<int>{0});
    }

    void dontSendEndsWithoutALog() {
        ErrorWindow w;
        w.window.setError(5, QStringLiteral("x"), QStringLiteral("bGlobal.MyPwdRead"));
        w.window.show();
        w.press("cmdDontSend");
        QCOMPARE(w.quitCodes, QList<int>{0});
        QCOMPARE(w.log(w.fixture.context.programFolder), QStringLiteral("<none>"));
        QVERIFY(w.shell.opened.isEmpty());
    }

    void closeBoxReturnsToTheCaller() {
        StartupFixture f;
        RecordingShell shell;
        FixedClock clock;
        QList<int> quits;
        GuiErrorHandler handler({f.prompter, shell, clock, f.context.programFolder, QString(), [&](int c) {
                                     quits << c;
                                 }});
        QString shownSource;
        QTimer::singleShot(0, [&] {
            QWidget* window = QApplication::activeModalWidget();
            shownSource = window->objectName();
            window->close();
        });
        handler.HandleError(91, QStringLiteral("Object variable not set"), QStringLiteral("bGlobal.Main"));
        QCOMPARE(shownSource, QStringLiteral("frmErrorHandler"));
        QVERIFY(quits.isEmpty());
    }
};

QTEST_MAIN(TestErrorReport)
#include "tst_error_report.moc"
