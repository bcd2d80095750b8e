// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "catalogue/EntryEdit.h"
#include "catalogue/Password.h"
#include "catalogue/RegistrySync.h"
#include "explorer/ExplorerStatusBar.h"
#include "explorer/SplitterLayout.h"
#include "gui/Twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>

using namespace tavimor;
using namespace tavimor::test;
using Move = SplitterLayout::MoveResult;

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
        QCOMPARE(root->childCount(), 7);
        QVERIFY(root->isExpanded());
        QVERIFY(!root->icon(0).isNull() && !root->child(6)->icon(0).isNull());
        QVERIFY(f->prompter.messages().isEmpty());

        // A section row lists its entries; the tree keeps its selection.
        QTreeWidgetItem* before = f->tree()->currentItem();
        f->selectRow(1);
        emit f->list()->itemDoubleClicked(f->list()->topLevelItem(1), 0);
        QCOMPARE(w.listAddress(), u"TAVIMOR/REGISTRYSETTINGS[1]"_s);
        QCOMPARE(f->list()->topLevelItemCount(), 7);
        QCOMPARE(f->tree()->currentItem(), before);
        // A node chosen with the keys shows its rows.
        f->tree()->setFocus();
        f->tree()->setCurrentItem(root);
        QTest::keyClick(f->tree(), Qt::Key_Down);
        QCOMPARE(w.listAddress(), u"TAVIMOR/REGISTRYSETTINGS[0]"_s);

        // Enter opens as a double click does: the Drives entry opens the drive dialog; other entries
        // the editor, with their address and whether they need a restart. Nothing selected, nothing.
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
        QCOMPARE(f->windows.calls,
                 (QStringList{u"hideDrives"_s, u"editSetting TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[5] restart"_s,
                              u"editSetting TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s}));
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

        // The bar between tree and list follows the mouse; the list keeps 300 twips from the outer
        // right edge.
        w.resize(900, 600);
        auto* bar = w.findChild<QWidget*>(u"pctSeperator"_s);
        const int startLeft = w.splitter().geometry().barLeft;
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(1, 10));
        QTest::mouseMove(bar, QPoint(61, 10));
        QVERIFY(w.splitter().dragging());
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(61, 10));
        QVERIFY(!w.splitter().dragging());
        const int moved = w.splitter().geometry().barLeft - startLeft;
        QVERIFY2(qAbs(moved - pixelsToTwips(60, &w)) <= 15, qPrintable(QString::number(moved)));
        QCOMPARE(f->tree()->width(), twipsToPixels(w.splitter().geometry().treeWidth, &w));
        QCOMPARE(f->list()->x(), twipsToPixels(w.splitter().geometry().listLeft, &w));
        const int outer = pixelsToTwips(w.frameGeometry().width(), &w);
        QCOMPARE(f->list()->width(), twipsToPixels(outer - w.splitter().geometry().listLeft - 300, &w));
    }

    // Pressed at x = 20 within the bar at 2340, the bar follows the pointer within its limits, halves
    // rounded to even; only the bar moves while the button is held.
    void splitterMovesStayWithinTheLimits() {
        for (const auto& [pointer, barLeft] : {std::pair{520.0, 2840},
                                               {-5000.0, 1500},
                                               {-819.0, 1501},
                                               {9000.0, 8000},
                                               {5680.0, 8000},
                                               {20.5, 2340},
                                               {21.5, 2342}}) {
            SplitterLayout layout;
            QCOMPARE(layout.move(500, 20000), Move::Ignored);
            layout.press(20);
            QCOMPARE(layout.move(pointer, 20000), Move::Moved);
            QCOMPARE(layout.geometry().barLeft, barLeft);
            QCOMPARE(layout.geometry().treeWidth, 2355);
            QCOMPARE(layout.geometry().listLeft, 2400);
            QVERIFY(layout.dragging());
        }
        // A move near the right edge ends the drag.
        SplitterLayout layout;
        layout.press(0);
        QCOMPARE(layout.move(660, 9000), Move::Moved);     // bar at 3000
        QCOMPARE(layout.move(5260, 9000), Move::Released); // pos 7600: 9000 - 7600 <= 1500
        QVERIFY(!layout.dragging());
        QCOMPARE(layout.geometry().barLeft, 3000);
        QCOMPARE(layout.geometry().treeWidth, 3000);
        QCOMPARE(layout.geometry().listLeft, 3045);
        QCOMPARE(layout.move(100, 9000), Move::Ignored);
    }

    // The release lays out tree and list for the bar, unless the list lies too near the right edge.
    void splitterReleaseLaysOutTreeAndList() {
        const struct {
            int listLeft;
            bool moved;
            int width;
            bool released;
            int treeWidth;
            int listLeftAfter;
        } cases[] = {{2400, true, 11895, true, 3000, 3045},
                     {2400, false, 11895, true, 2340, 2385},
                     {9700, false, 10000, false, 2355, 9700},
                     {9700, false, 10060, true, 2340, 2385}};
        for (const auto& c : cases) {
            SplitterLayout::Geometry start;
            start.listLeft = c.listLeft;
            SplitterLayout layout(start);
            layout.press(10);
            if (c.moved)
                layout.move(670, c.width);
            QCOMPARE(layout.release(c.width), c.released);
            QVERIFY(!layout.dragging());
            QCOMPARE(layout.geometry().treeWidth, c.treeWidth);
            QCOMPARE(layout.geometry().listLeft, c.listLeftAfter);
            QCOMPARE(layout.geometry().listWidth, c.released ? c.width - c.listLeftAfter - 300 : 9465);
        }
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
        QCOMPARE(f->cell(5, 2), u"Unknown"_s);
        QCOMPARE(f->list()->topLevelItem(5)->toolTip(2),
                 u"Could not be read: wine reg export did not finish in time"_s);
        QCOMPARE(f->cell(0, 2), u"Enabled"_s);
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

    // The hint follows the row under the pointer; the pop-up acts on the node right-clicked.
    void theHintAndThePopUpFollowThePointer() {
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

    // The editor's refresh shows the applied and the pending state and selects the row last opened,
    // in any list long enough to hold it.
    void refreshShowsStatesAndSelectsTheRowLastOpened() {
        frmRegistryExplorer& w = f->start();
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        f->selectRow(3);
        w.openSelectedRow();
        QVERIFY(applyEntryLater(f->context, kRunDialog, u"1"_s));
        f->windows.refresh(kRunDialog);
        QCOMPARE(f->cell(3, 1), u"Disabled"_s);
        QCOMPARE(f->cell(3, 2), u"Enabled"_s);
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
        const auto lit = [](const QWidget& bar, const char* panel) {
            return bar.findChild<QLabel*>(QLatin1String(panel))->isEnabled();
        };
        QVERIFY(!lit(*status, "stbTavimorPanel2"));
        LockKeys keyboard{true, false};
        ExplorerStatusBar told(f->clock, nullptr, [&keyboard] { return std::optional<LockKeys>(keyboard); });
        QVERIFY(lit(told, "stbTavimorPanel2") && !lit(told, "stbTavimorPanel3"));
        // Keys pressed in another program are read when the program is active again.
        keyboard = {false, true};
        QApplicationStateChangeEvent active(Qt::ApplicationActive);
        QCoreApplication::sendEvent(qApp, &active);
        QVERIFY(!lit(told, "stbTavimorPanel2") && lit(told, "stbTavimorPanel3"));
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
            f->backend.failUnder(kExplorerPolicies, u"Access is denied."_s, true);
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
        QCOMPARE(f->windows.calls,
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
        // Nothing pending, nothing to ask; a second close (the session ending after Exit) runs the
        // steps no more.
        QVERIFY(w.close());
        QVERIFY(w.close());
        QVERIFY(f->prompter.messages().isEmpty());
        QCOMPARE(f->windows.calls, asked ? QStringList{u"confirmRestart"_s} : QStringList());
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
        QCOMPARE(f->settings.read(QLatin1String(kPasswordKey), u"unset"_s), std::optional(QString()));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
