// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "catalogue/EntryEdit.h"
#include "catalogue/Password.h"
#include "catalogue/RegistrySync.h"
#include "explorer/ExplorerStatusBar.h"
#include "gui/Twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>

using namespace tavimor;
using namespace Qt::StringLiterals;
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

    void startUpShowsTheSectionsInTreeAndList() {
        frmRegistryExplorer& w = f->start();
        QCOMPARE(w.windowTitle(), u"Tavimor 4.0"_s);
        QCOMPARE(f->column(0), kSections);
        QCOMPARE(w.listAddress(), u"TAVIMOR"_s);
        QTreeWidgetItem* root = f->tree()->topLevelItem(0);
        QCOMPARE(root->childCount(), 7);
        QVERIFY(root->isExpanded());
        QVERIFY(!root->icon(0).isNull() && !root->child(6)->icon(0).isNull());
        QVERIFY(f->prompter.messages().isEmpty());
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
        const int widths[] = {2500, 1500, 2234};
        for (int column = 0; column < 3; ++column) {
            QCOMPARE(f->list()->columnWidth(column), std::max(twipsToPixels(widths[column], &w),
                                                              f->list()->header()->sectionSizeHint(column)));
        }
        QCOMPARE(f->list()->header()->sectionResizeMode(0), QHeaderView::Interactive);
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
    }

    void openingARowFollowsItsKind() {
        frmRegistryExplorer& w = f->start();
        QTreeWidgetItem* before = f->tree()->currentItem();

        // A section row lists its entries; the tree keeps its selection.
        f->selectRow(1);
        emit f->list()->itemDoubleClicked(f->list()->topLevelItem(1), 0);
        QCOMPARE(w.listAddress(), u"TAVIMOR/REGISTRYSETTINGS[1]"_s);
        QCOMPARE(f->list()->topLevelItemCount(), 7);
        QCOMPARE(f->tree()->currentItem(), before);

        // Enter opens as a double click does: the Drives entry opens the drive dialog.
        f->tree()->setCurrentItem(f->tree()->topLevelItem(0)->child(3));
        emit f->tree()->itemClicked(f->tree()->currentItem(), 0);
        f->selectRow(0);
        QTest::keyClick(f->list(), Qt::Key_Return);
        QCOMPARE(f->windows.names(), QStringList{u"hideDrives"_s});

        // Other entries open the editor with their address and whether they need a restart.
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
        f->selectRow(5);
        w.openSelectedRow();
        f->selectRow(0);
        w.openSelectedRow();
        QCOMPARE(f->windows.calls[1].argument, u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[5]"_s);
        QVERIFY(f->windows.calls[1].restartNote);
        QCOMPARE(f->windows.calls[2].argument, u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s);
        QVERIFY(!f->windows.calls[2].restartNote);

        // Nothing selected: nothing opens.
        f->list()->clearSelection();
        w.openSelectedRow();
        QCOMPARE(f->windows.calls.size(), 3);
    }

    // Values that could not be read show as Unknown, with the reason told once, not at every refresh.
    void valuesThatCouldNotBeReadAreUnknownAndSaidOnce() {
        f->backend.failUnder(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies"_s,
                             u"wine reg export did not finish in time"_s);
        frmRegistryExplorer& w = f->start();
        QCOMPARE(
            f->prompter.messageTexts(),
            QStringList{u"Some values could not be read from the registry. They show as Unknown and are "
                        u"neither applied nor saved as values.\r\n\r\n3 entries under HKEY_LOCAL_MACHINE: "
                        u"wine reg export did not finish in time"_s});
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[1]"_s);
        QCOMPARE(f->list()->topLevelItem(5)->text(2), u"Unknown"_s);
        QCOMPARE(f->list()->topLevelItem(5)->toolTip(2),
                 u"Could not be read: wine reg export did not finish in time"_s);
        QCOMPARE(f->list()->topLevelItem(0)->text(2), u"Enabled"_s);
        w.RefreshList(QLatin1String(kAllEntries));
        QCOMPARE(f->prompter.messages().size(), 1);
    }

    void aNodeChosenWithTheKeysShowsItsRows() {
        frmRegistryExplorer& w = f->shown();
        f->tree()->setFocus();
        f->tree()->setCurrentItem(f->tree()->topLevelItem(0));
        QTest::keyClick(f->tree(), Qt::Key_Down);
        QCOMPARE(w.listAddress(), u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
        QCOMPARE(f->column(0).size(), 7);
    }

    void columnClicksFlipTheOrderAndSortingStaysOn() {
        frmRegistryExplorer& w = f->start();
        QHeaderView* header = f->list()->header();
        QStringList ascending = kSections;
        ascending.sort();
        QStringList descending(ascending.rbegin(), ascending.rend());

        emit header->sectionClicked(0);
        QCOMPARE(f->column(0), descending);
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
        f->context.workingCatalogue
            .selectSingleNode(u"TAVIMOR/REGISTRYSETTINGS[2]/ENTRY[1]/VALUES/CURRENTVALUE"_s)
            .setText(u"1"_s);
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[2]"_s);
        QCOMPARE(f->column(1), (QStringList{u"Enabled"_s, u"Enabled"_s, u"Disabled"_s}));
        // The root list is sorted the same way after a rebuild.
        w.BuildTree();
        QCOMPARE(f->column(0).size(), 7);
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    void theHintFollowsTheRowUnderThePointer() {
        frmRegistryExplorer& w = f->shown();
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
        auto* status = w.findChild<ExplorerStatusBar*>(u"stbTavimor"_s);
        QWidget* viewport = f->list()->viewport();
        auto moveTo = [&](int row) {
            const QPoint at = f->list()->visualItemRect(f->list()->topLevelItem(row)).center();
            QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &move);
        };
        moveTo(5);
        QCOMPARE(status->hint(),
                 u"Options in Red Color will get activated only after a restart of the system."_s);
        moveTo(0);
        QCOMPARE(status->hint(), u"Double Click to change the settings."_s);
        // Below the last row the hint stays.
        w.showHintAt(QPoint(5, viewport->height() - 2));
        QCOMPARE(status->hint(), u"Double Click to change the settings."_s);
    }

    // The editor's refresh shows the applied and the pending state and selects the row last opened,
    // in any list long enough to hold it.
    void refreshShowsStatesAndSelectsTheRowLastOpened() {
        frmRegistryExplorer& w = f->start();
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        f->selectRow(3);
        w.openSelectedRow();
        QVERIFY(applyEntryLater(f->context, kRunDialog, u"1"_s));
        f->windows.refresh(kRunDialog);
        QCOMPARE(f->list()->topLevelItem(3)->text(1), u"Disabled"_s);
        QCOMPARE(f->list()->topLevelItem(3)->text(2), u"Enabled"_s);
        QCOMPARE(f->list()->currentItem(), f->list()->topLevelItem(3));

        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
        f->selectRow(4);
        w.openSelectedRow();
        QCOMPARE(w.selectedItemPosition(), 5);

        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[2]"_s);
        w.RefreshList(QLatin1String(kAllEntries));
        QVERIFY(f->list()->selectedItems().isEmpty());

        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        w.RefreshList(QLatin1String(kAllEntries));
        QCOMPARE(f->list()->selectedItems(), QList<QTreeWidgetItem*>{f->list()->topLevelItem(4)});
    }

    void thePopUpActsOnTheRightClickedNode() {
        frmRegistryExplorer& w = f->shown();
        QTreeWidgetItem* startMenu = f->tree()->topLevelItem(0)->child(4);
        const QPoint at = f->tree()->visualItemRect(startMenu).center();
        QTest::mousePress(f->tree()->viewport(), Qt::RightButton, {}, at);
        auto* menu = w.findChild<QMenu*>(u"mnuContextMenu"_s);
        QVERIFY(menu->isVisible());
        menu->hide();
        QCOMPARE(f->tree()->currentItem(), startMenu);

        // Refresh on a section reads its entries from the registry; the list stays as it was.
        f->setRegistry(u"NoRun"_s, 1);
        f->action(u"mnuSubContextMenu1"_s)->trigger();
        QCOMPARE(w.listAddress(), u"TAVIMOR"_s);
        QCOMPARE(f->column(0), kSections);
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        QCOMPARE(f->list()->topLevelItem(3)->text(2), u"Disabled"_s);

        // On the root it only refills the list.
        f->setRegistry(u"NoRun"_s, 0);
        QVERIFY(w.popUpAt(f->tree()->visualItemRect(f->tree()->topLevelItem(0)).center()));
        menu->hide();
        f->action(u"mnuSubContextMenu1"_s)->trigger();
        QCOMPARE(f->list()->topLevelItem(3)->text(2), u"Disabled"_s);

        // Over no node there is no menu.
        QVERIFY(!w.popUpAt(QPoint(5, f->tree()->viewport()->height() - 2)));
    }

    void statusBarShowsKeysDateAndTime() {
        frmRegistryExplorer& w = f->start();
        auto* status = w.findChild<ExplorerStatusBar*>(u"stbTavimor"_s);
        QCOMPARE(status->panelText(5), QLocale().toString(QDate(2026, 3, 14), QLocale::ShortFormat));
        QCOMPARE(status->panelText(6), QLocale().toString(QTime(9, 26, 53), QLocale::ShortFormat));
        f->clock.time = QDateTime(QDate(2026, 3, 15), QTime(0, 1));
        QTRY_COMPARE_WITH_TIMEOUT(status->panelText(6), QLocale().toString(QTime(0, 1), QLocale::ShortFormat),
                                  3000);
        QCOMPARE(status->panelText(5), QLocale().toString(QDate(2026, 3, 15), QLocale::ShortFormat));

        // The lock keys start as the keyboard has them where the platform tells; off where not.
        QVERIFY(!status->findChild<QLabel*>(u"stbTavimorPanel2"_s)->isEnabled());
        LockKeys keyboard{true, false};
        ExplorerStatusBar told(f->clock, nullptr, [&keyboard] { return std::optional<LockKeys>(keyboard); });
        QVERIFY(told.findChild<QLabel*>(u"stbTavimorPanel2"_s)->isEnabled());
        QVERIFY(!told.findChild<QLabel*>(u"stbTavimorPanel3"_s)->isEnabled());
        // Keys pressed in another program are read when the program is active again.
        keyboard = {false, true};
        QApplicationStateChangeEvent active(Qt::ApplicationActive);
        QCoreApplication::sendEvent(qApp, &active);
        QVERIFY(!told.findChild<QLabel*>(u"stbTavimorPanel2"_s)->isEnabled());
        QVERIFY(told.findChild<QLabel*>(u"stbTavimorPanel3"_s)->isEnabled());
    }

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

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
