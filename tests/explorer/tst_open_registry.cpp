// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "explorer/frmOpenRegistry.h"
#include "registry/TargetText.h"

#include <QLineEdit>
#include <QMenu>

using namespace tavimor;
using namespace tavimor::test;

class TestOpenRegistry : public QObject {
    Q_OBJECT
    std::unique_ptr<ExplorerFixture> f;
    QStringList opened;
    bool openAnswer = true;

    std::unique_ptr<frmOpenRegistry> chooser(const QString& current = QString()) {
        const QList<RegistryChoice> choices = {
            {u"Embedded registry"_s, QString(), QString(), {}},
            {u"Wine prefixes"_s,
             std::nullopt,
             QString(),
             {{u"~/.wine"_s, u"wine:/home/ann/.wine"_s, QString(), {}},
              {u"Steam: 220"_s, u"wine:/s/pfx"_s, u"The Wine prefix /s/pfx is a arm64 prefix"_s, {}}}},
            {u"Windows installations"_s, std::nullopt, u"No Windows disk is mounted"_s, {}}};
        return std::make_unique<frmOpenRegistry>(f->prompter, choices, current, u"/home/ann"_s,
                                                 [this](const QString& target) {
                                                     opened.append(target);
                                                     return openAnswer;
                                                 });
    }
    static QTreeWidgetItem* item(frmOpenRegistry& d, const QString& label) {
        return child<QTreeWidget>(&d, "trvRegistries")
            ->findItems(label, Qt::MatchStartsWith | Qt::MatchRecursive)
            .value(0);
    }
    static QLineEdit* target(frmOpenRegistry& d) { return child<QLineEdit>(&d, "txtTarget"); }

private slots:
    void init() {
        f = std::make_unique<ExplorerFixture>();
        opened.clear();
        openAnswer = true;
    }
    void cleanup() { f.reset(); }

    void aChosenLineOrATypedTargetIsOpenedAndAFailureKeepsTheDialog() {
        auto d = chooser(u"wine:/home/ann/.wine"_s);
        QTreeWidget* tree = child<QTreeWidget>(d.get(), "trvRegistries");
        // It starts on the registry open now, which says so; one that cannot be opened is not offered.
        QCOMPARE(tree->currentItem()->text(0), u"~/.wine (open now)"_s);
        QCOMPARE(target(*d)->text(), u"wine:~/.wine"_s);
        QVERIFY(item(*d, u"Steam"_s)->isDisabled());
        QCOMPARE(item(*d, u"Steam"_s)->toolTip(0), u"The Wine prefix /s/pfx is a arm64 prefix"_s);
        QCOMPARE(item(*d, u"Windows installations"_s)->text(1), u"No Windows disk is mounted"_s);

        tree->setCurrentItem(item(*d, u"Embedded"_s));
        // The embedded default is typed as its file.
        QCOMPARE(canonicalTarget(expandTarget(target(*d)->text(), u"/home/ann"_s)), QString());
        openAnswer = false;
        tree->setCurrentItem(item(*d, u"Other"_s));
        QVERIFY(target(*d)->text().isEmpty());
        QVERIFY(!d->findChild<QPushButton*>(u"cmdOpen"_s)->isEnabled());
        QTest::keyClicks(target(*d), u"windows:~/disk?user=bo"_s);
        press(d.get(), "cmdOpen");
        QCOMPARE(opened, QStringList{u"windows:/home/ann/disk?user=bo"_s});
        QCOMPARE(d->result(), int(QDialog::Rejected));
        openAnswer = true;
        emit tree->itemActivated(item(*d, u"~/.wine"_s), 0);
        QCOMPARE(opened.last(), u"wine:/home/ann/.wine"_s);
        QCOMPARE(d->result(), int(QDialog::Accepted));
    }

    void browsingTakesWhatAFolderHoldsOrSaysWhyNot() {
        auto d = chooser();
        QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkdir(u"p"_s));
        for (const char* file : {"p/user.reg", "p/system.reg"})
            QVERIFY(writeFileAtomically(home.filePath(QLatin1String(file)), "WINE REGISTRY Version 2\n"));
        f->prompter.queueFileName(home.filePath(u"p"_s));
        f->prompter.queueFileName(home.path());
        QAction* browse =
            child<QPushButton>(d.get(), "cmdBrowse")->menu()->findChild<QAction*>(u"mnuBrowseFolder"_s);
        browse->trigger();
        QVERIFY(f->prompter.dialogs().at(0).request.folder);
        QCOMPARE(target(*d)->text(), u"wine:"_s + home.filePath(u"p"_s));
        browse->trigger();
        QCOMPARE(f->prompter.messages().size(), 1);
        QVERIFY(f->prompter.messageTexts().at(0).startsWith(home.path() + u" is none of the registries"_s));
        QCOMPARE(target(*d)->text(), u"wine:"_s + home.filePath(u"p"_s));
    }

    void theMainWindowNamesTheRegistryItOpened() {
        frmRegistryExplorer& w = f->start();
        QMenu* file = w.findChild<QMenu*>(u"mnuApplication"_s);
        QStringList items;
        for (QAction* action : file->actions())
            items.append(action->isSeparator() ? u"-"_s : action->text());
        QCOMPARE(items,
                 (QStringList{u"Open"_s, u"Open Registry..."_s, u"Save"_s, u"Save As"_s, u"Report As HTML"_s,
                              u"-"_s, u"Template Folders..."_s, u"Refresh"_s, u"Set Password"_s, u"Exit"_s}));
        f->windows.registryAnswer = [this] {
            f->context.target = u"wine:"_s + QDir::homePath() + u"/.wine"_s;
            return true;
        };
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        f->action(u"mnuOpenRegistry"_s)->trigger();
        QCOMPARE(w.windowTitle(), u"Tavimor 4.0 - wine:~/.wine"_s);
        QCOMPARE(w.listAddress(), u"TAVIMOR"_s);
        // Staying on the registry changes nothing.
        f->windows.registryAnswer = nullptr;
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        f->action(u"mnuOpenRegistry"_s)->trigger();
        QCOMPARE(w.listAddress(), u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        QCOMPARE(f->windows.calls, (QStringList{u"openRegistry"_s, u"openRegistry"_s}));
    }
};

QTEST_MAIN(TestOpenRegistry)
#include "tst_open_registry.moc"
