// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartupFixture.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueListing.h"
#include "startup/HelpBook.h"
#include "startup/HelpKeyFilter.h"
#include "startup/HelpViewer.h"
#include "startup/LinkLabel.h"
#include "startup/frmAbout.h"

#include <QDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

namespace {

void writePage(const QString& folder, const QString& name, const QString& body) {
    QDir().mkpath(folder);
    QFile file(folder + u'/' + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(body.toUtf8());
}

} // namespace

class TestAboutHelp : public QObject {
    Q_OBJECT
private slots:
    void aboutLinksAndKeys() {
        RecordingShell shell;
        frmAbout about(shell);
        about.show();
        for (const char* name : {"lblQuorvelLink", "lblQuillmoorLink", "lblQuillmoor"})
            QTest::mouseClick(about.findChild<LinkLabel*>(QLatin1String(name)), Qt::LeftButton);
        QCOMPARE(shell.opened,
                 texts({"https://www.quorvel.example.com/", "https://tavimor.quillmoor.example.org/",
                        "mailto:support@quillmoor.example.com"}));
        QTest::keyClick(&about, Qt::Key_Escape);
        QVERIFY(!about.isVisible());
        about.show();
        QTest::keyClick(&about, Qt::Key_Return);
        QVERIFY(!about.isVisible());
    }

    void viewerOpensTheTopicWithContentsAndHistory() {
        QTemporaryDir dir;
        const QString help = dir.filePath(u"help"_s);
        writePage(help, u"index.html"_s,
                  u"<a href=\"main.html\">The main window</a> <a href=\"edit.html\">Editing</a>"_s);
        writePage(help, u"main.html"_s, u"<h1>Main</h1>"_s);
        writePage(help, u"edit.html"_s, u"<h1>Edit</h1>"_s);
        HelpViewer viewer(dir.path());
        auto* contents = viewer.findChild<QListWidget*>(u"lstContents"_s);
        QCOMPARE(contents->count(), 3);
        QCOMPARE(contents->item(1)->text(), u"The main window"_s);

        viewer.showTopic(u"edit"_s);
        QCOMPARE(viewer.currentPage(), help + u"/edit.html"_s);
        QCOMPARE(contents->currentItem()->text(), u"Editing"_s);
        viewer.showTopic(u"no such window"_s);
        QCOMPARE(viewer.currentPage(), help + u"/index.html"_s);
        auto* back = viewer.findChild<QToolButton*>(u"cmdBack"_s);
        QVERIFY(back->isEnabled());
        back->click();
        QCOMPARE(viewer.currentPage(), help + u"/edit.html"_s);
        viewer.findChild<QToolButton*>(u"cmdForward"_s)->click();
        QCOMPARE(viewer.currentPage(), help + u"/index.html"_s);
        QTest::mouseClick(contents->viewport(), Qt::LeftButton, {},
                          contents->visualItemRect(contents->item(1)).center());
        QCOMPARE(viewer.currentPage(), help + u"/main.html"_s);
    }

    // F1 opens the topic of the window it is pressed in: by its name, a helpTopic of it or a parent, or
    // the index. Every window's and section's page: theBookHasAPageForEveryWindowAndSection.
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

    void theBookHasAPageForEveryWindowAndSection() {
        const QString folder =
            QFileInfo(QFINDTESTDATA("../../resources/program/help/index.html")).absolutePath();
        QVERIFY(!folder.isEmpty());
        HelpBook book(QFileInfo(folder).absolutePath());
        QStringList listed;
        for (const HelpBook::Topic& topic : book.contents())
            listed.append(topic.fileName);
        StartupFixture f;
        f.context.workingCatalogue.loadXML(builtinCatalogueText());
        QStringList topics =
            texts({"main", "edit", "drives", "restart", "password", "startup", "error", "about"});
        for (const SectionInfo& section : catalogueSections(f.context))
            topics.append(section.name);
        QCOMPARE(topics.size(), 15);
        for (const QString& topic : topics) {
            const QString page = book.pageFor(topic);
            QVERIFY2(page.endsWith(HelpBook::fileNameFor(topic)), qPrintable(topic));
            QVERIFY2(listed.contains(HelpBook::fileNameFor(topic)), qPrintable(topic));
        }
        // The login's limit of tries is written down for administrators.
        QFile password(folder + u"/password.html"_s);
        QVERIFY(password.open(QIODevice::ReadOnly));
        QVERIFY(password.readAll().contains("three"));
    }
};

QTEST_MAIN(TestAboutHelp)
#include "tst_about_help.moc"
