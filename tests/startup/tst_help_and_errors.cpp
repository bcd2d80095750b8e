// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueListing.h"
#include "startup/ErrorReport.h"
#include "startup/GuiErrorHandler.h"
#include "startup/HelpBook.h"
#include "startup/HelpKeyFilter.h"
#include "startup/HelpViewer.h"
#include "startup/LinkLabel.h"
#include "startup/frmAbout.h"
#include "startup/frmErrorHandler.h"
#include "support/WindowTest.h"

#include <QDialog>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QUrl>
#include <QUrlQuery>

using namespace tavimor;
using namespace tavimor::test;

namespace {

// The error window and its services over the program folder, or over the folder given.
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

    ProgramHarness fixture;
    RecordingShell shell;
    FixedClock clock;
    QList<int> quitCodes;
    frmErrorHandler::Services services;
    frmErrorHandler window;
};

} // namespace

// The About box, the help book and the error report.
class TestHelpAndErrors : public QObject {
    Q_OBJECT
private slots:
    void aboutLinksAndKeys() {
        RecordingShell shell;
        frmAbout about(shell);
        about.show();
        for (const char* name : {"lblQuorvelLink", "lblQuillmoorLink", "lblQuillmoor"})
            QTest::mouseClick(child<LinkLabel>(&about, name), Qt::LeftButton);
        QCOMPARE(shell.opened,
                 texts({"https://www.quorvel.example.com/", "https://tavimor.quillmoor.example.org/",
                        "mailto:support@quillmoor.example.com"}));
        QTest::keyClick(&about, Qt::Key_Return);
        QVERIFY(!about.isVisible());
    }

    // F1 opens the topic of the window it is pressed in: by its name, a helpTopic of it or a parent, or
    // the index.
    void f1OpensHelpForTheWindowItIsPressedIn() {
        QDialog about, unnamed;
        about.setObjectName(u"frmAbout"_s);
        QWidget main;
        main.setProperty("helpTopic", u"Start Menu"_s);
        QDialog edit(&main);
        QDialog* pressedIn = nullptr;
        QStringList topics;
        HelpKeyFilter filter([&](QWidget* window, const QString& topic) {
            topics << (window == pressedIn ? topic : u"another window"_s);
        });
        qApp->installEventFilter(&filter);
        for (QDialog* dialog : {&about, &edit, &unnamed}) {
            pressedIn = dialog;
            auto* button = new QPushButton(u"x"_s, dialog);
            dialog->show();
            QTest::keyClick(button, Qt::Key_F1);
            QTest::keyClick(button, Qt::Key_A);
        }
        qApp->removeEventFilter(&filter);
        QCOMPARE(topics, texts({"about", "Start Menu", "index"}));
        QCOMPARE(HelpBook::fileNameFor(u"../x"_s), u"x.html"_s);
        QCOMPARE(HelpBook::fileNameFor(QString()), u"index.html"_s);
    }

    // The book has a page, in its contents, for every window and section; the viewer opens a topic's
    // page or the index, marks it in the contents and goes back.
    void theBookCoversEveryWindowAndTheViewerOpensIt() {
        const QString folder =
            QFileInfo(QFINDTESTDATA("../../resources/program/help/index.html")).absolutePath();
        HelpBook book(QFileInfo(folder).absolutePath());
        QStringList listed;
        for (const HelpBook::Topic& topic : book.contents())
            listed.append(topic.fileName);
        ProgramHarness f;
        f.context.workingCatalogue.loadXML(builtinCatalogueText());
        QStringList topics =
            texts({"main", "edit", "drives", "restart", "password", "startup", "error", "about"});
        for (const SectionInfo& section : catalogueSections(f.context))
            topics.append(section.name);
        for (const QString& topic : topics) {
            QVERIFY2(book.pageFor(topic).endsWith(HelpBook::fileNameFor(topic)), qPrintable(topic));
            QVERIFY2(listed.contains(HelpBook::fileNameFor(topic)), qPrintable(topic));
        }

        HelpViewer viewer(QFileInfo(folder).absolutePath());
        auto* contents = child<QListWidget>(&viewer, "lstContents");
        QCOMPARE(contents->item(3)->text(), u"The main window"_s);
        viewer.showTopic(u"edit"_s);
        QCOMPARE(viewer.currentPage(), folder + u"/edit.html"_s);
        QCOMPARE(contents->currentItem()->text(), u"Changing a restriction"_s);
        viewer.showTopic(u"no such window"_s);
        QCOMPARE(viewer.currentPage(), folder + u"/index.html"_s);
        child<QToolButton>(&viewer, "cmdBack")->click();
        QCOMPARE(viewer.currentPage(), folder + u"/edit.html"_s);
        QTest::mouseClick(contents->viewport(), Qt::LeftButton, {},
                          contents->visualItemRect(contents->item(3)).center());
        QCOMPARE(viewer.currentPage(), folder + u"/main.html"_s);
    }

    // The window and errors.log show the texts as they are; the link the mail program gets carries
    // them percent-encoded, so an entry named "x&attachment=..." cannot add parameters to it.
    void sendWritesTheLogOpensTheMailAndEnds() {
        ErrorWindow w;
        const QString description = u"Cannot read x&attachment=/etc/shadow&cc=a@b.example?#: 100% gone"_s;
        w.window.setError(-2146893819, description, u"bGlobal.MyPwdRead"_s);
        w.window.show();
        press(&w.window, "cmdSendReport");
        const QString expected =
            u"mailto:errors@quillmoor.example.com?subject=Tavimor Error Report&Body=Error Date: "_s +
            QLocale().toString(w.clock.time, QLocale::ShortFormat) +
            u"%0DError Number: -2146893819 %0DError Description: "_s + description +
            u" %0DError Source: bGlobal.MyPwdRead"_s;
        QCOMPARE(child<QPlainTextEdit>(&w.window, "txtErrorReport")->toPlainText(), expected);
        QCOMPARE(w.log(w.fixture.context.programFolder), expected + u"\r\n"_s);
        QCOMPARE(w.shell.opened.size(), 1);
        const QUrl link(w.shell.opened.first());
        QCOMPARE(link.adjusted(QUrl::RemoveQuery).toString(), u"mailto:errors@quillmoor.example.com"_s);
        const QString body = expected.section(u"&Body="_s, 1).replace(u"%0D"_s, u"\r"_s);
        QCOMPARE(QUrlQuery(link).queryItems(QUrl::FullyDecoded),
                 (QList<std::pair<QString, QString>>{{u"subject"_s, u"Tavimor Error Report"_s},
                                                     {u"Body"_s, body}}));
        QCOMPARE(w.quitCodes, QList<int>{0});

        // A second report, as from a later run, replaces the first.
        ErrorWindow later(w.fixture.context.programFolder);
        later.window.setError(5, u"Invalid procedure call"_s, u"bGlobal.Power"_s);
        later.window.cmdSendReport_Click();
        QCOMPARE(w.log(w.fixture.context.programFolder),
                 child<QPlainTextEdit>(&later.window, "txtErrorReport")->toPlainText() + u"\r\n"_s);
    }

    // An unwritable program folder falls back to the user's; where neither can be written the window
    // stays open and says why.
    void unwritableFoldersDontSendAndTheCloseBox() {
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
        QCOMPARE(m.icon, MessageIcon::None);
        w.window.cmdDontSend_Click();
        QCOMPARE(w.quitCodes, QList<int>{0});

        // Don't Send ends without a log; the close box returns to the caller.
        ErrorWindow dont;
        dont.window.setError(5, u"x"_s, u"bGlobal.MyPwdRead"_s);
        dont.window.show();
        press(&dont.window, "cmdDontSend");
        QCOMPARE(dont.quitCodes, QList<int>{0});
        QCOMPARE(dont.log(dont.fixture.context.programFolder), u"<none>"_s);
        QVERIFY(dont.shell.opened.isEmpty());

        ErrorWindow closed;
        GuiErrorHandler handler(closed.services);
        QString shownSource;
        whenShown([&] {
            shownSource = QApplication::activeModalWidget()->objectName();
            QApplication::activeModalWidget()->close();
        });
        handler.HandleError(91, u"Object variable not set"_s, u"bGlobal.Main"_s);
        QCOMPARE(shownSource, u"frmErrorHandler"_s);
        QVERIFY(closed.quitCodes.isEmpty());
    }
};

QTEST_MAIN(TestHelpAndErrors)
#include "tst_help_and_errors.moc"
