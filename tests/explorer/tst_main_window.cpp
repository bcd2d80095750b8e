// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "catalogue/EntryEdit.h"
#include "catalogue/Password.h"
#include "catalogue/RegistrySync.h"
#include "explorer/ExplorerStatusBar.h"
#include "explorer/SplitterLayout.h"
#include "explorer/frmOpenRegistry.h"
#include "gui/Twips.h"
#include "registry/TargetText.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>

using namespace tavimor;
using namespace tavimor::test;

namespace {
const QStringList kSections = {u"Display"_s,    u"Network"_s, u"Printer"_s,         u"Security"_s,
                               u"Start Menu"_s, u"System"_s,  u"InternetExplorer"_s};
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<ExplorerFixture> f;

private slots:
    void init() { f = std::make_unique<ExplorerFixture>(); }
    void cleanup() { f.reset(); }

    void startUpShowsTheSectionsAndRowsOpenByTheirKind() {
        frmRegistryExplorer& w = f->shown();
        QCOMPARE(w.windowTitle(), u"Tavimor 4.0"_s);
        QCOMPARE(f->column(0), kSections);
        QTreeWidgetItem* root = f->tree()->topLevelItem(0);
        QVERIFY(root->isExpanded());
        QVERIFY(!root->icon(0).isNull() && !root->child(6)->icon(0).isNull());
        QVERIFY(f->prompter.messages().isEmpty());

        // A section row lists its entries; the tree keeps its selection.
        QTreeWidgetItem* before = f->tree()->currentItem();
        f->selectRow(1);
        emit f->list()->itemDoubleClicked(f->list()->topLevelItem(1), 0);
        QCOMPARE(w.listAddress(), u"TAVIMOR/REGISTRYSETTINGS[1]"_s);
        QCOMPARE(f->tree()->currentItem(), before);
        // A node chosen with the keys shows its rows.
        f->tree()->setFocus();
        f->tree()->setCurrentItem(root);
        QTest::keyClick(f->tree(), Qt::Key_Down);
        QCOMPARE(w.listAddress(), u"TAVIMOR/REGISTRYSETTINGS[0]"_s);

        // Enter opens as a double click: Drives its dialog, other entries the editor; no row, nothing.
        f->tree()->setCurrentItem(root->child(3));
        emit f->tree()->itemClicked(f->tree()->currentItem(), 0);
        f->selectRow(0);
        QTest::keyClick(f->list(), Qt::Key_Return);
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
        f->selectRow(5);
        w.openSelectedRow();
        f->selectRow(0);
        w.openSelectedRow();
        f->list()->clearSelection();
        w.openSelectedRow();

        // The File menu's items in order; another registry opened is named and shown from the top.
        QStringList items;
        for (QAction* action : w.findChild<QMenu*>(u"mnuApplication"_s)->actions())
            items.append(action->isSeparator() ? u"-"_s : action->text());
        QCOMPARE(items,
                 (QStringList{u"Open"_s, u"Open Registry..."_s, u"Save"_s, u"Save As"_s, u"Report As HTML"_s,
                              u"-"_s, u"Template Folders..."_s, u"Refresh"_s, u"Set Password"_s, u"Exit"_s}));
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        f->action(u"mnuOpenRegistry"_s)->trigger();
        QCOMPARE(w.listAddress(), u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        f->windows.registryAnswer = [this] {
            f->context.target = u"wine:"_s + QDir::homePath() + u"/.wine"_s;
            return true;
        };
        f->action(u"mnuOpenRegistry"_s)->trigger();
        QCOMPARE(w.windowTitle(), u"Tavimor 4.0 - wine:~/.wine"_s);
        QCOMPARE(w.listAddress(), u"TAVIMOR"_s);
        QCOMPARE(f->windows.calls,
                 (QStringList{u"hideDrives"_s, u"editSetting TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[5] restart"_s,
                              u"editSetting TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s, u"openRegistry"_s,
                              u"openRegistry"_s}));
    }

    void theWindowKeepsTheSizesItWasGiven() {
        frmRegistryExplorer& w = f->start();
        // The size at start-up is the outer one, frame included.
        showWithOuterSize(&w, 11895, 7935);
        QCOMPARE(w.frameGeometry().size(), QSize(twipsToPixels(11895, &w), twipsToPixels(7935, &w)));
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(f->tree()->currentItem() == nullptr && f->tree()->selectedItems().isEmpty());

        // Columns keep their widths, whatever the names; a width the user chose stays.
        f->context.workingCatalogue.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[0]/NAME"_s)
            .setText(QString(200, u'W'));
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[1]"_s);
        for (const auto& [column, width] : {std::pair{0, 2500}, {1, 1500}, {2, 2234}})
            QCOMPARE(f->list()->columnWidth(column),
                     std::max(twipsToPixels(width, &w), f->list()->header()->sectionSizeHint(column)));
        f->list()->header()->resizeSection(1, 77);
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
        QCOMPARE(f->list()->columnWidth(1), 77);

        // A long hint does not widen the window.
        w.resize(560, 400);
        QTRY_COMPARE(w.width(), 560);
        w.findChild<ExplorerStatusBar*>()->setHint(QString(300, u'x'));
        QCoreApplication::processEvents();
        QCOMPARE(w.width(), 560);
        QVERIFY(w.minimumSizeHint().width() < 560);

        // The bar follows the mouse; the list keeps 300 twips from the outer right edge.
        w.resize(900, 600);
        auto* bar = w.findChild<QWidget*>(u"pctSeperator"_s);
        const int startLeft = w.splitter().geometry().barLeft;
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(1, 10));
        QTest::mouseMove(bar, QPoint(61, 10));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(61, 10));
        const int moved = w.splitter().geometry().barLeft - startLeft;
        QVERIFY2(qAbs(moved - pixelsToTwips(60, &w)) <= 15, qPrintable(QString::number(moved)));
        QCOMPARE(f->tree()->width(), twipsToPixels(w.splitter().geometry().treeWidth, &w));
        QCOMPARE(f->list()->x(), twipsToPixels(w.splitter().geometry().listLeft, &w));
        const int outer = pixelsToTwips(w.frameGeometry().width(), &w);
        QCOMPARE(f->list()->width(), twipsToPixels(outer - w.splitter().geometry().listLeft - 300, &w));
    }

    // The chooser starts on the registry open now and offers none that cannot be opened; a chosen or
    // typed target is opened, a failure keeps the dialog. Browsing takes what a folder holds.
    void theRegistryChooser() {
        QStringList opened;
        bool answer = false;
        frmOpenRegistry dialog(
            f->prompter,
            {{u"Embedded registry"_s, QString(), QString(), {}},
             {u"Wine prefixes"_s,
              std::nullopt,
              QString(),
              {{u"~/.wine"_s, u"wine:/home/ann/.wine"_s, QString(), {}},
               {u"Steam: 220"_s, u"wine:/s/pfx"_s, u"The Wine prefix /s/pfx is a arm64 prefix"_s, {}}}},
             {u"Windows installations"_s, std::nullopt, u"No Windows disk is mounted"_s, {}}},
            u"wine:/home/ann/.wine"_s, u"/home/ann"_s, [&](const QString& target) {
                opened << target;
                return answer;
            });
        auto* tree = child<QTreeWidget>(&dialog, "trvRegistries");
        auto* target = child<QLineEdit>(&dialog, "txtTarget");
        const auto item = [tree](const QString& label) {
            return tree->findItems(label, Qt::MatchStartsWith | Qt::MatchRecursive).value(0);
        };
        QCOMPARE(tree->currentItem()->text(0), u"~/.wine (open now)"_s);
        QCOMPARE(target->text(), u"wine:~/.wine"_s);
        QVERIFY(item(u"Steam"_s)->isDisabled());
        QCOMPARE(item(u"Steam"_s)->toolTip(0), u"The Wine prefix /s/pfx is a arm64 prefix"_s);
        QCOMPARE(item(u"Windows installations"_s)->text(1), u"No Windows disk is mounted"_s);
        // The embedded default is typed as its file.
        tree->setCurrentItem(item(u"Embedded"_s));
        QCOMPARE(canonicalTarget(expandTarget(target->text(), u"/home/ann"_s)), QString());
        tree->setCurrentItem(item(u"Other"_s));
        QVERIFY(target->text().isEmpty());
        QVERIFY(!child<QPushButton>(&dialog, "cmdOpen")->isEnabled());
        QTest::keyClicks(target, u"windows:~/disk?user=bo"_s);
        press(&dialog, "cmdOpen");
        QCOMPARE(opened, QStringList{u"windows:/home/ann/disk?user=bo"_s});
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        answer = true;
        emit tree->itemActivated(item(u"~/.wine"_s), 0);
        QCOMPARE(opened.last(), u"wine:/home/ann/.wine"_s);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        const QString prefix = f->dir.filePath(u"p"_s);
        QVERIFY(QDir().mkpath(prefix));
        for (const char* file : {"/user.reg", "/system.reg"})
            QVERIFY(writeFileAtomically(prefix + QLatin1String(file), "WINE REGISTRY Version 2\n"));
        f->prompter.queueFileName(prefix);
        f->prompter.queueFileName(f->dir.path());
        QAction* browse =
            child<QPushButton>(&dialog, "cmdBrowse")->menu()->findChild<QAction*>(u"mnuBrowseFolder"_s);
        browse->trigger();
        QVERIFY(f->prompter.dialogs().at(0).request.folder);
        QCOMPARE(target->text(), u"wine:"_s + prefix);
        browse->trigger();
        QCOMPARE(f->prompter.messages().size(), 1);
        QCOMPARE(target->text(), u"wine:"_s + prefix);
    }

    // Values that could not be read show as Unknown, with the reason told at start, not at every refresh
    // (what is told: test_registry_sync).
    void valuesThatCouldNotBeReadAreUnknownAndSaidOnce() {
        f->backend.failUnder(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies"_s,
                             u"wine reg export did not finish in time"_s);
        frmRegistryExplorer& w = f->start();
        QCOMPARE(f->prompter.messages().size(), 1);
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[1]"_s);
        QCOMPARE(f->cell(5, 2), u"Unknown"_s);
        QCOMPARE(f->list()->topLevelItem(5)->toolTip(2),
                 u"Could not be read: wine reg export did not finish in time"_s);
        w.RefreshList(QLatin1String(kAllEntries));
        QCOMPARE(f->prompter.messages().size(), 1);
    }

    void columnClicksFlipTheOrderAndSortingStaysOn() {
        frmRegistryExplorer& w = f->start();
        QHeaderView* header = f->list()->header();
        QStringList ascending = kSections;
        ascending.sort();
        emit header->sectionClicked(0);
        QCOMPARE(f->column(0), QStringList(ascending.rbegin(), ascending.rend()));
        emit header->sectionClicked(0);
        QCOMPARE(f->column(0), ascending);
        // Case does not count: "apple" comes first, not after "System".
        f->context.workingCatalogue.selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[1]"_s)
            .setAttribute(u"Section"_s, u"apple"_s);
        w.FillList(u"TAVIMOR"_s);
        QCOMPARE(f->column(0).first(), u"apple"_s);
        // Another column takes the order opposite to the last click.
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[2]"_s);
        emit header->sectionClicked(1);
        f->setCurrentValue(f->context.workingCatalogue, u"TAVIMOR/REGISTRYSETTINGS[2]/ENTRY[1]"_s, u"1"_s);
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[2]"_s);
        QCOMPARE(f->column(1), (QStringList{u"Enabled"_s, u"Enabled"_s, u"Disabled"_s}));
        // The root list is sorted the same way after a rebuild.
        w.BuildTree();
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    // The hint follows the row under the pointer; the pop-up acts on the node right-clicked.
    void theHintAndThePopUpFollowThePointer() {
        frmRegistryExplorer& w = f->shown();
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
        auto* status = w.findChild<ExplorerStatusBar*>(u"stbTavimor"_s);
        QWidget* viewport = f->list()->viewport();
        const QPoint at = f->list()->visualItemRect(f->list()->topLevelItem(5)).center();
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        QCOMPARE(status->hint(),
                 u"Options in Red Color will get activated only after a restart of the system."_s);
        w.showHintAt(f->list()->visualItemRect(f->list()->topLevelItem(0)).center());
        QCOMPARE(status->hint(), u"Double Click to change the settings."_s);
        // Below the last row the hint stays.
        w.showHintAt(QPoint(5, viewport->height() - 2));
        QCOMPARE(status->hint(), u"Double Click to change the settings."_s);

        QTreeWidgetItem* startMenu = f->tree()->topLevelItem(0)->child(4);
        QTest::mousePress(f->tree()->viewport(), Qt::RightButton, {},
                          f->tree()->visualItemRect(startMenu).center());
        auto* menu = w.findChild<QMenu*>(u"mnuContextMenu"_s);
        QVERIFY(menu->isVisible());
        menu->hide();
        QCOMPARE(f->tree()->currentItem(), startMenu);
        // Refresh on a section reads its entries from the registry; the list stays as it was.
        w.FillList(u"TAVIMOR"_s);
        f->setRegistry(u"NoRun"_s, 1);
        f->action(u"mnuSubContextMenu1"_s)->trigger();
        QCOMPARE(w.listAddress(), u"TAVIMOR"_s);
        QCOMPARE(f->column(0), kSections);
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        QCOMPARE(f->cell(3, 2), u"Disabled"_s);
        // On the root it only refills the list.
        f->setRegistry(u"NoRun"_s, 0);
        QVERIFY(w.popUpAt(f->tree()->visualItemRect(f->tree()->topLevelItem(0)).center()));
        menu->hide();
        f->action(u"mnuSubContextMenu1"_s)->trigger();
        QCOMPARE(f->cell(3, 2), u"Disabled"_s);
        // Over no node there is no menu.
        QVERIFY(!w.popUpAt(QPoint(5, f->tree()->viewport()->height() - 2)));
    }

    // The editor's refresh shows the states and selects the row last opened, in any list that holds it.
    void refreshShowsStatesAndSelectsTheRowLastOpened() {
        frmRegistryExplorer& w = f->start();
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        f->selectRow(3);
        w.openSelectedRow();
        QVERIFY(applyEntryLater(f->context, kRunDialog, u"1"_s));
        f->windows.refresh(kRunDialog);
        QCOMPARE(f->cell(3, 1), u"Disabled"_s);
        QCOMPARE(f->list()->currentItem(), f->list()->topLevelItem(3));

        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
        f->selectRow(4);
        w.openSelectedRow();
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[2]"_s);
        w.RefreshList(QLatin1String(kAllEntries));
        QVERIFY(f->list()->selectedItems().isEmpty());
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        w.RefreshList(QLatin1String(kAllEntries));
        QCOMPARE(f->list()->selectedItems(), QList<QTreeWidgetItem*>{f->list()->topLevelItem(4)});
    }

    // Exit takes the close box's steps (the answers' effects: test_registry_sync); a refused write is a
    // message, not the error report that ends the program. Run Dialog applied at exit sets the restart
    // flag in time for the restart question, asked when RestartDialog is absent or " 1 ".
    void closingAsksAboutPendingChangesAndTheRestart() {
        for (const auto& [pending, answer, refused, setting, flag, closes, asked] :
             {std::tuple{true, Answer::Cancel, false, QString(), false, false, false},
              {true, Answer::No, false, QString(), false, true, false},
              {true, Answer::Yes, false, QString(), false, true, true},
              {true, Answer::Yes, true, QString(), false, false, false},
              {false, Answer::No, false, QString(), true, true, true},
              {false, Answer::No, false, u"0"_s, true, true, false},
              {false, Answer::No, false, u" 1 "_s, true, true, true},
              {false, Answer::No, false, QString(), false, true, false}}) {
            init();
            frmRegistryExplorer& w = f->shown();
            if (!setting.isNull())
                QVERIFY(f->settings.save(u"RestartDialog"_s, setting));
            f->context.restartNeeded = flag;
            if (pending)
                QVERIFY(applyEntryLater(f->context, kRunDialog, u"1"_s));
            if (refused)
                f->backend.failUnder(kExplorerPolicies, u"Access is denied."_s, true);
            f->prompter.queueAnswer(answer);
            f->action(u"mnuSubApplication7"_s)->trigger();
            QCOMPARE(w.isVisible(), !closes);
            QVERIFY(!closes || w.close()); // the session's end closes it again: the steps run once
            QCOMPARE(f->prompter.messages().size(), int(pending) + int(refused));
            QVERIFY(f->errors.reports.isEmpty());
            QCOMPARE(changesPending(f->context), pending && (answer != Answer::Yes || refused));
            QCOMPARE(f->windows.calls, asked ? texts({"confirmRestart"}) : QStringList());
        }
    }

    // Two empty boxes confirmed are the empty password, a cancelled dialog keeps the old one.
    void setPasswordStoresWhatWasConfirmedAndKeepsItOnCancel() {
        f->start();
        for (const std::optional<QString>& answer :
             {std::optional(u"secret"_s), std::optional<QString>(), std::optional(QString())}) {
            f->windows.passwordAnswer = answer;
            f->action(u"mnuSubApplication6"_s)->trigger();
            QVERIFY(
                passwordMatches(answer.value_or(u"secret"_s), MyPwdRead(f->context).value_or(u"unread"_s)));
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
