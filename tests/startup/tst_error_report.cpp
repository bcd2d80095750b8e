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
#include <QUrl>
#include <QUrlQuery>

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

namespace {

// The window and its services over the program folder, or over the folder given.
struct ErrorWindow {
    explicit ErrorWindow(const QString& folder = {})
        : services(fixture.prompter, shell, clock, folder.isEmpty() ? fixture.context.programFolder : folder,
                   folder.isEmpty() ? fixture.dir.filePath(u"userdata"_s) : QString(),
                   [this](int code) { quitCodes << code; })
        , window(services) {}
    QString log(const QString& folder) const {
        QFile file(folder + u"/errors.log"_s);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : u"<none>"_s;
    }
    QString report(qint32 number, const QString& description, const QString& source) const {
        return QStringLiteral(
                   "mailto:errors@quillmoor.example.com?subject=Tavimor Error Report&Body=Error Date: ") +
               QLocale().toString(clock.time, QLocale::ShortFormat) + u"%0DError Number: "_s +
               QString::number(number) + u" %0DError Description: "_s + description +
               u" %0DError Source: "_s + source;
    }

    StartupFixture fixture;
    RecordingShell shell;
    FixedClock clock;
    QList<int> quitCodes;
    frmErrorHandler::Services services;
    frmErrorHandler window;
};

} // namespace

class TestErrorReport : public QObject {
    Q_OBJECT
private slots:
    // The window and errors.log show the texts as they are; the link the mail program gets carries
    // them percent-encoded, so an entry named "x&attachment=..." cannot add parameters to it.
    void sendWritesTheLogOpensTheMailAndEnds() {
        ErrorWindow w;
        const QString description = u"Cannot read x&attachment=/etc/shadow&cc=a@b.example?#: 100% gone"_s;
        w.window.setError(-2146893819, description, u"bGlobal.MyPwdRead"_s);
        w.window.show();
        QTest::mouseClick(w.window.findChild<QPushButton*>(u"cmdSendReport"_s), Qt::LeftButton);
        const QString expected = w.report(-2146893819, description, u"bGlobal.MyPwdRead"_s);
        QCOMPARE(w.window.findChild<QPlainTextEdit*>(u"txtErrorReport"_s)->toPlainText(), expected);
        QCOMPARE(w.log(w.fixture.context.programFolder), expected + u"\r\n"_s);
        QCOMPARE(w.shell.opened.size(), 1);
        const QUrl link(w.shell.opened.first());
        QVERIFY(link.isValid());
        QCOMPARE(link.scheme(), u"mailto"_s);
        QCOMPARE(link.path(), u"errors@quillmoor.example.com"_s);
        QCOMPARE(link.fragment(), QString());
        const QUrlQuery query(link);
        QCOMPARE(query.queryItems(QUrl::FullyDecoded),
                 (QList<std::pair<QString, QString>>{
                     {u"subject"_s, u"Tavimor Error Report"_s},
                     {u"Body"_s, u"Error Date: "_s + QLocale().toString(w.clock.time, QLocale::ShortFormat) +
                                     u"\rError Number: -2146893819 \rError Description: "_s + description +
                                     u" \rError Source: bGlobal.MyPwdRead"_s}}));
        QCOMPARE(w.quitCodes, QList<int>{0});

        // A second report, as from a later run, replaces the first.
        ErrorWindow later(w.fixture.context.programFolder);
        later.window.setError(5, u"Invalid procedure call"_s, u"bGlobal.Power"_s);
        later.window.cmdSendReport_Click();
        QCOMPARE(w.log(w.fixture.context.programFolder),
                 w.report(5, u"Invalid procedure call"_s, u"bGlobal.Power"_s) + u"\r\n"_s);
    }

    // An unwritable program folder falls back to the user's; where neither can be written the window
    // stays open and says why.
    void unwritableFoldersForTheLog() {
        QTemporaryDir dir;
        // A folder under a plain file can be neither made nor written, even by root.
        QVERIFY(QFile(dir.filePath(u"plain"_s)).open(QIODevice::WriteOnly));
        ErrorWindow w(dir.filePath(u"plain/folder"_s));
        const QString userData = w.fixture.dir.filePath(u"userdata"_s);
        QCOMPARE(writeErrorLog(u"r"_s, w.services.programFolder, userData), userData + u"/errors.log"_s);
        QCOMPARE(w.log(userData), u"r\r\n"_s);
        // A state folder not made yet is made.
        const QString state = w.fixture.dir.filePath(u"state/tavimor"_s);
        QCOMPARE(writeErrorLog(u"s"_s, state, userData), state + u"/errors.log"_s);

        w.window.setError(1, u"d"_s, u"s"_s);
        w.window.show();
        w.window.cmdSendReport_Click();
        QVERIFY(w.quitCodes.isEmpty());
        QVERIFY(w.shell.opened.isEmpty());
        QCOMPARE(w.fixture.prompter.messages().size(), 1);
        const auto& m = w.fixture.prompter.messages()[0];
        QVERIFY(m.text.startsWith(QStringLiteral("Error Occurred, please contact Quillmoor support team\r\n"
                                                 "Error Number: 75\r\nError Description: ")));
        QVERIFY(m.text.endsWith(u"\r\nError Source: frmErrorHandler.cmdSendReport_Click"_s));
        QCOMPARE(m.title, u"Tavimor 4.0"_s);
        QCOMPARE(m.icon, MessageIcon::None);
        w.window.cmdDontSend_Click();
        QCOMPARE(w.quitCodes, QList<int>{0});
    }

    void windowTextsAndDontSendEndsWithoutALog() {
        ErrorWindow w;
        const QList<std::pair<const char*, QString>> labels{
            {"lblTitle1",
             QStringLiteral("Tavimor4.exe has encountered a problem and needs to close. We are sorry "
                            "for the inconvenience.")},
            {"lblInfo1", QStringLiteral("If you were in the middle of something, the information you were "
                                        "working on might be lost.")},
            {"lblInfo2", u"Please tell Quillmoor about this problem."_s},
            {"lblInfo3",
             QStringLiteral("We have created an error report that you can send to us. We will check "
                            "the problem and get back to you.")},
        };
        for (const auto& [name, text] : labels)
            QCOMPARE(w.window.findChild<QLabel*>(QLatin1String(name))->text(), text);

        w.window.setError(5, u"x"_s, u"bGlobal.MyPwdRead"_s);
        w.window.show();
        QTest::mouseClick(w.window.findChild<QPushButton*>(u"cmdDontSend"_s), Qt::LeftButton);
        QCOMPARE(w.quitCodes, QList<int>{0});
        QCOMPARE(w.log(w.fixture.context.programFolder), u"<none>"_s);
        QVERIFY(w.shell.opened.isEmpty());
    }

    void closeBoxReturnsToTheCaller() {
        ErrorWindow w;
        GuiErrorHandler handler(w.services);
        QString shownSource;
        QTimer::singleShot(0, [&] {
            QWidget* window = QApplication::activeModalWidget();
            shownSource = window->objectName();
            window->close();
        });
        handler.HandleError(91, u"Object variable not set"_s, u"bGlobal.Main"_s);
        QCOMPARE(shownSource, u"frmErrorHandler"_s);
        QVERIFY(w.quitCodes.isEmpty());
    }
};

QTEST_MAIN(TestErrorReport)
#include "tst_error_report.moc"
