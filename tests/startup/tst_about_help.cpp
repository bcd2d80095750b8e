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
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

using namespace tavimor;
using namespace tavimor::test;

namespace {

void writePage(const QString& folder, const QString& name, const QString& body) {
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(body.toUtf8());
}

QString bookFolder() {
    return QFileInfo(QFINDTESTDATA("../../resources/program/help/index.html")).absolutePath();
}

} // namespace

class TestAboutHelp : public QObject {
    Q_OBJECT
private slots:
    void aboutTextsAndLinks() {
        RecordingShell shell;
        frmAbout about(shell);
        about.show();
        QCOMPARE(about.windowTitle(), QStringLiteral("About Tavimor 4.0"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(), QStringLiteral("Tavimor 4.0"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(),
                 QStringLiteral("Version 4.0"));
        for (const char* name : {"lblQuorvelLink", "lblQuillmoorLink", "lblQuillmoor"}) {
            auto* link = about.findChild<LinkLabel*>(QLatin1String(name));
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
            QTest::mouseClick(link, Qt::LeftButton);
        }
        QCOMPARE(shell.opened,
                 texts({"https://www.quorvel.example.com/", "https://tavimor.quillmoor.example.org/",
                        "mailto:support@quillmoor.example.com"}));
        auto* ok = about.findChild<QPushButton*>(QStringLiteral("cmdOK"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
        QTest::keyClick(&about, Qt::Key_Escape);
        QVERIFY(!about.isVisible());
        about.show();
        QTest::keyClick(&about, Qt::Key_Return);
        QVERIFY(!about.isVisible());
    }

    void topicsNameTheirPages() {
        QCOMPARE(HelpBook::fileNameFor(QStringLiteral("main")), QStringLiteral("main.html"));
        QCOMPARE(HelpBook::fileNameFor(QStringLiteral("Start Menu")), QStringLiteral("start-menu.html"));
        QCOMPARE(HelpBook::fileNameFor(QStringLiteral("InternetExplorer")),
                 QStringLiteral("internetexplorer.html"));
        QCOMPARE(HelpBook::fileNameFor(QStringLiteral("../x")), QStringLiteral("x.html"));
        QCOMPARE(HelpBook::fileNameFor(QString()), QStringLiteral("index.html"));

        QWidget main;
        main.setObjectName(QStringLiteral("frmRegistryExplorer"));
        QDialog edit(&main);
        edit.setObjectName(QStringLiteral("frmEditSettings"));
        QDialog unnamed(&main);
        QCOMPARE(HelpBook::topicOf(&edit), QStringLiteral("edit"));
        QCOMPARE(HelpBook::topicOf(&unnamed), QStringLiteral("main"));
        main.setProperty("helpTopic", QStringLiteral("Start Menu"));
        QCOMPARE(HelpBook::topicOf(&unnamed), QStringLiteral("Start Menu"));
        QCOMPARE(HelpBook::topicOf(nullptr), QStringLiteral("index"));
    }

    void viewerOpensTheTopicWithContentsAndHistory() {
        QTemporaryDir dir;
        const QString help = dir.filePath(QStringLiteral("help"));
        writePage(
            help, QStringLiteral("index.html"),
            QStringLiteral("<a href=\"main.html\">The main window</a> <a href=\"edit.html\">Editing</a>"));
        writePage(help, QStringLiteral("main.html"), QStringLiteral("<h1>Main</h1>"));
        writePage(help, QStringLiteral("edit.html"), QStringLiteral("<h1>Edit</h1>"));
        HelpViewer viewer(dir.path());
        auto* contents = viewer.findChild<QListWidget*>(QStringLiteral("lstContents"));
        QCOMPARE(contents->count(), 3);
        QCOMPARE(contents->item(1)->text(), QStringLiteral("The main window"));

        viewer.showTopic(QStringLiteral("edit"));
        QCOMPARE(viewer.currentPage(), help + QStringLiteral("/edit.html"));
        QCOMPARE(contents->currentItem()->text(), QStringLiteral("Editing"));
        viewer.showTopic(QStringLiteral("no such window"));
        QCOMPARE(viewer.currentPage(), help + QStringLiteral("/index.html"));
        auto* back = viewer.findChild<QToolButton*>(QStringLiteral("cmdBack"));
        QVERIFY(back->isEnabled());
        back->click();
        QCOMPARE(viewer.currentPage(), help + QStringLiteral("/edit.html"));
        viewer.findChild<QToolButton*>(QStringLiteral("cmdForward"))->click();
        QCOMPARE(viewer.currentPage(), help + QStringLiteral("/index.html"));
        QTest::mouseClick(contents->viewport(), Qt::LeftButton, {},
                          contents->visualItemRect(contents->item(1)).center());
        QCOMPARE(viewer.currentPage(), help + QStringLiteral("/main.html"));
    }

    void f1OpensHelpForTheWindowItIsPressedIn() {
        QList<std::pair<QWidget*, QString>> opened;
        HelpKeyFilter filter([&](QWidget* from, const QString& topic) { opened.append({from, topic}); });
        qApp->installEventFilter(&filter);
        QDialog about;
        about.setObjectName(QStringLiteral("frmAbout"));
        auto* button = new QPushButton(QStringLiteral("x"), &about);
        about.show();
        QTest::keyClick(button, Qt::Key_F1);
        QTest::keyClick(button, Qt::Key_A);
        qApp->removeEventFilter(&filter);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0].first, &about);
        QCOMPARE(opened[0].second, QStringLiteral("about"));
    }

    void theBookHasAPageForEveryWindowAndSection() {
        const QString folder = bookFolder();
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
        QFile password(folder + QStringLiteral("/password.html"));
        QVERIFY(password.open(QIODevice::ReadOnly));
        QVERIFY(password.readAll().contains("three"));
    }
};

QTEST_MAIN(TestAboutHelp)
#include "tst_about_help.moc"
