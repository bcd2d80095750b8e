// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "catalogue/EntryEdit.h"
#include "catalogue/RegistrySync.h"
#include "explorer/DescriptionList.h"
#include "explorer/ExplorerStatusBar.h"
#include "gui/PaletteColours.h"
#include "gui/Twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>

using namespace tavimor;
using namespace tavimor::test;

namespace {
const QStringList kSections = {QStringLiteral("Display"),         QStringLiteral("Network"),
                               QStringLiteral("Printer"),         QStringLiteral("Security"),
                               QStringLiteral("Start Menu"),      QStringLiteral("System"),
                               QStringLiteral("InternetExplorer")};
bool isRed(const QTreeWidgetItem* row) {
    const QColor red = restartColour(row->treeWidget()->palette());
    for (int column = 0; column < 3; ++column)
        if (row->foreground(column).color() != red)
            return false;
    return DescriptionList::isRestartRow(row);
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<ExplorerFixture> f;

private slots:
    void init() { f = std::make_unique<ExplorerFixture>(); }
    void cleanup() { f.reset(); }

    void startUpShowsTheSectionsInTreeAndList() {
        frmRegistryExplorer& w = f->start();
        QCOMPARE(w.windowTitle(), QStringLiteral("Tavimor 4.0"));
        QCOMPARE(f->column(0), kSections);
        QCOMPARE(w.listAddress(), QStringLiteral("TAVIMOR"));
        QTreeWidgetItem* root = f->tree()->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("Tavimor"));
        QCOMPARE(root->childCount(), 7);
        QVERIFY(root->isExpanded());
        QVERIFY(!root->icon(0).isNull() && !root->child(6)->icon(0).isNull());
        QCOMPARE(f->list()->headerItem()->text(2), QStringLiteral("Current Machine Settings"));
        QVERIFY(f->prompter.messages().isEmpty());
        QCOMPARE(
            f->context.machineCatalogue.documentElement().attribute(QStringLiteral("SystemName")).value(),
            QStringLiteral("TESTBOX"));
    }

    void theWindowKeepsTheSizesItWasGiven() {
        frmRegistryExplorer& w = f->start();
        // The size at start-up is the outer one, frame included.
        showWithOuterSize(&w, 11895, 7935);
        QCOMPARE(w.frameGeometry().size(), QSize(twipsToPixels(11895, &w), twipsToPixels(7935, &w)));
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(f->tree()->currentItem() == nullptr && f->tree()->selectedItems().isEmpty());

        // Columns keep their widths, whatever the names; a width the user chose stays.
        f->context.workingCatalogue
            .selectSingleNode(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[1]/ENTRY[0]/NAME"))
            .setText(QString(200, QLatin1Char('W')));
        w.FillList(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[1]"));
        const int widths[] = {2500, 1500, 2234};
        for (int column = 0; column < 3; ++column)
            QCOMPARE(f->list()->columnWidth(column), twipsToPixels(widths[column], &w));
        QCOMPARE(f->list()->header()->sectionResizeMode(0), QHeaderView::Interactive);
        f->list()->header()->resizeSection(1, 77);
        w.FillList(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[0]"));
        QCOMPARE(f->list()->columnWidth(1), 77);

        // A long hint does not widen the window.
        w.resize(560, 400);
        QTRY_COMPARE(w.width(), 560);
        w.findChild<ExplorerStatusBar*>()->setHint(QString(300, QLatin1Char('x')));
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
        QCOMPARE(w.listAddress(), QStringLiteral("TAVIMOR/REGISTRYSETTINGS[1]"));
        QCOMPARE(f->list()->topLevelItemCount(), 7);
        QCOMPARE(f->tree()->currentItem(), before);

        // Enter opens as a double click does: the Drives entry opens the drive dialog.
        f->tree()->setCurrentItem(f->tree()->topLevelItem(0)->child(3));
        emit f->tree()->itemClicked(f->tree()->currentItem(), 0);
        f->selectRow(0);
        QTest::keyClick(f->list(), Qt::Key_Return);
        QCOMPARE(f->windows.names(), QStringList{QStringLiteral("hideDrives")});

        // Other entries open the editor with their address and whether they need a restart.
        w.FillList(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[0]"));
        f->selectRow(5);
        w.openSelectedRow();
        f->selectRow(0);
        w.openSelectedRow();
        QCOMPARE(f->windows.calls[1].argument, QStringLiteral("TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[5]"));
        QVERIFY(f->windows.calls[1].restartNote);
        QCOMPARE(f->windows.calls[2].argument, QStringLiteral("TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"));
        QVERIFY(!f->windows.calls[2].restartNote);

        // Nothing selected: nothing opens.
        f->list()->clearSelection();
        w.openSelectedRow();
        QCOMPARE(f->windows.calls.size(), 3);
    }

    void theEditorsRefreshShowsAppliedAndPendingStates() {
        frmRegistryExplorer& w = f->start();
        w.FillList(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[4]"));
        f->selectRow(3);
        w.openSelectedRow();
        const QString runDialog = QStringLiteral("TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]");
        QVERIFY(applyEntryLater(f->context, runDialog, QStringLiteral("1")));
        f->windows.refresh(runDialog);
        QCOMPARE(f->list()->topLevelItem(3)->text(1), QStringLiteral("Disabled"));
        QCOMPARE(f->list()->topLevelItem(3)->text(2), QStringLiteral("Enabled"));
        QCOMPARE(f->list()->currentItem(), f->list()->topLevelItem(3));

        // Applied behind the window's back: the refresh reads the registry.
        f->setRegistry(QStringLiteral("NoRun"), 1);
        f->windows.refresh(runDialog);
        QCOMPARE(f->list()->topLevelItem(3)->text(2), QStringLiteral("Disabled"));
    }

    void aNodeChosenWithTheKeysShowsItsRows() {
        frmRegistryExplorer& w = f->start();
        w.show();
        f->tree()->setFocus();
        f->tree()->setCurrentItem(f->tree()->topLevelItem(0));
        QTest::keyClick(f->tree(), Qt::Key_Down);
        QCOMPARE(w.listAddress(), QStringLiteral("TAVIMOR/REGISTRYSETTINGS[0]"));
        QCOMPARE(f->column(0).size(), 7);
    }

    void restartRowsAreRedWhateverTheCase() {
        frmRegistryExplorer& w = f->start();
        const QStringList marks = {QStringLiteral("Yes"), QStringLiteral("YES"), QStringLiteral("yes"),
                                   QStringLiteral("No")};
        for (int e = 0; e < marks.size(); ++e)
            f->context.workingCatalogue
                .selectSingleNode(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[5]/ENTRY[%1]").arg(e))
                .setAttribute(QStringLiteral("Restart"), marks[e]);
        w.FillList(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[5]"));
        QVERIFY(isRed(f->list()->topLevelItem(0)));
        QVERIFY(isRed(f->list()->topLevelItem(1)));
        QVERIFY(isRed(f->list()->topLevelItem(2)));
        QVERIFY(!f->list()->topLevelItem(3)->data(0, Qt::ForegroundRole).isValid());
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
        f->context.workingCatalogue.selectSingleNode(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[1]"))
            .setAttribute(QStringLiteral("Section"), QStringLiteral("apple"));
        w.FillList(QStringLiteral("TAVIMOR"));
        QCOMPARE(f->column(0).first(), QStringLiteral("apple"));
        // Another column takes the order opposite to the last click.
        w.FillList(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[2]"));
        emit header->sectionClicked(1);
        f->context.workingCatalogue
            .selectSingleNode(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[2]/ENTRY[1]/VALUES/CURRENTVALUE"))
            .setText(QStringLiteral("1"));
        w.FillList(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[2]"));
        QCOMPARE(f->column(1), (QStringList{QStringLiteral("Enabled"), QStringLiteral("Enabled"),
                                            QStringLiteral("Disabled")}));
        // The root list is sorted the same way after a rebuild.
        w.BuildTree();
        QCOMPARE(f->column(0).size(), 7);
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    void theHintFollowsTheRowUnderThePointer() {
        frmRegistryExplorer& w = f->start();
        w.show();
        w.FillList(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[0]"));
        auto* status = w.findChild<ExplorerStatusBar*>(QStringLiteral("stbTavimor"));
        QWidget* viewport = f->list()->viewport();
        auto moveTo = [&](int row) {
            const QPoint at = f->list()->visualItemRect(f->list()->topLevelItem(row)).center();
            QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &move);
        };
        moveTo(5);
        QCOMPARE(
            status->hint(),
            QStringLiteral("Options in Red Color will get activated only after a restart of the system."));
        moveTo(0);
        QCOMPARE(status->hint(), QStringLiteral("Double Click to change the settings."));
        // Below the last row the hint stays.
        w.showHintAt(QPoint(5, viewport->height() - 2));
        QCOMPARE(status->hint(), QStringLiteral("Double Click to change the settings."));
    }

    void refreshSelectsTheRowLastOpenedWhenTheListIsLongEnough() {
        frmRegistryExplorer& w = f->start();
        w.FillList(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[0]"));
        f->selectRow(4);
        w.openSelectedRow();
        QCOMPARE(w.selectedItemPosition(), 5);

        w.FillList(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[2]"));
        w.RefreshList(QLatin1String(kAllEntries));
        QVERIFY(f->list()->selectedItems().isEmpty());

        w.FillList(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[4]"));
        w.RefreshList(QLatin1String(kAllEntries));
        QCOMPARE(f->list()->selectedItems(), QList<QTreeWidgetItem*>{f->list()->topLevelItem(4)});
    }

    void thePopUpActsOnTheRightClickedNode() {
        frmRegistryExplorer& w = f->start();
        w.show();
        QTreeWidgetItem* startMenu = f->tree()->topLevelItem(0)->child(4);
        const QPoint at = f->tree()->visualItemRect(startMenu).center();
        QTest::mousePress(f->tree()->viewport(), Qt::RightButton, {}, at);
        auto* menu = w.findChild<QMenu*>(QStringLiteral("mnuContextMenu"));
        QVERIFY(menu->isVisible());
        menu->hide();
        QCOMPARE(f->tree()->currentItem(), startMenu);
        QCOMPARE(w.listAddress(), QStringLiteral("TAVIMOR"));

        // Refresh on a section reads its entries from the registry; the list stays as it was.
        f->setRegistry(QStringLiteral("NoRun"), 1);
        f->action(QStringLiteral("mnuSubContextMenu1"))->trigger();
        QCOMPARE(w.listAddress(), QStringLiteral("TAVIMOR"));
        QCOMPARE(f->column(0), kSections);
        w.FillList(QStringLiteral("TAVIMOR/REGISTRYSETTINGS[4]"));
        QCOMPARE(f->list()->topLevelItem(3)->text(2), QStringLiteral("Disabled"));

        // On the root it only refills the list.
        f->setRegistry(QStringLiteral("NoRun"), 0);
        QVERIFY(w.popUpAt(f->tree()->visualItemRect(f->tree()->topLevelItem(0)).center()));
        menu->hide();
        f->action(QStringLiteral("mnuSubContextMenu1"))->trigger();
        QCOMPARE(f->list()->topLevelItem(3)->text(2), QStringLiteral("Disabled"));

        // Over no node there is no menu.
        QVERIFY(!w.popUpAt(QPoint(5, f->tree()->viewport()->height() - 2)));
    }

    void statusBarShowsKeysDateAndTime() {
        frmRegistryExplorer& w = f->start();
        auto* status = w.findChild<ExplorerStatusBar*>(QStringLiteral("stbTavimor"));
        QCOMPARE(status->panelText(2), QStringLiteral("CAPS"));
        QCOMPARE(status->panelText(3), QStringLiteral("NUM"));
        QCOMPARE(status->panelText(4), QStringLiteral("INS"));
        QCOMPARE(status->panelText(5), QLocale().toString(QDate(2026, 3, 14), QLocale::ShortFormat));
        QCOMPARE(status->panelText(6), QLocale().toString(QTime(9, 26, 53), QLocale::ShortFormat));
        f->clock.time = QDateTime(QDate(2026, 3, 15), QTime(0, 1));
        QTRY_COMPARE_WITH_TIMEOUT(status->panelText(6), QLocale().toString(QTime(0, 1), QLocale::ShortFormat),
                                  3000);
        QCOMPARE(status->panelText(5), QLocale().toString(QDate(2026, 3, 15), QLocale::ShortFormat));

        // The lock keys start as the keyboard has them where the platform tells; off where not.
        QVERIFY(!status->findChild<QLabel*>(QStringLiteral("stbTavimorPanel2"))->isEnabled());
        ExplorerStatusBar told(f->clock, nullptr, [] { return std::optional<LockKeys>({true, false}); });
        QVERIFY(told.findChild<QLabel*>(QStringLiteral("stbTavimorPanel2"))->isEnabled());
        QVERIFY(!told.findChild<QLabel*>(QStringLiteral("stbTavimorPanel3"))->isEnabled());
    }

    // Pictures for the documentation, made only when asked for.
    void screenshots() {
        const QString folder = qEnvironmentVariable("TAVIMOR_SHOTS_DIR");
        if (folder.isEmpty())
            QSKIP("TAVIMOR_SHOTS_DIR is not set");
        frmRegistryExplorer& w = f->start();
        showWithOuterSize(&w, 11895, 7935);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.grab().save(folder + QStringLiteral("/main-window.png")));

        f->setRegistry(QStringLiteral("NoFind"), 1);
        QVERIFY(applyEntryLater(f->context, QStringLiteral("TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]"),
                                QStringLiteral("1")));
        QTreeWidgetItem* startMenu = f->tree()->topLevelItem(0)->child(4);
        f->tree()->setCurrentItem(startMenu);
        emit f->tree()->itemClicked(startMenu, 0);
        w.RefreshList(QLatin1String(kAllEntries));
        f->selectRow(3);
        w.showHintAt(f->list()->visualItemRect(f->list()->topLevelItem(3)).center());
        QVERIFY(w.grab().save(folder + QStringLiteral("/main-window-section.png")));

        // The longest section: the list scrolls, the columns keep their widths.
        QTreeWidgetItem* internet = f->tree()->topLevelItem(0)->child(6);
        f->tree()->setCurrentItem(internet);
        emit f->tree()->itemClicked(internet, 0);
        w.showHintAt(f->list()->visualItemRect(f->list()->topLevelItem(1)).center());
        QVERIFY(w.grab().save(folder + QStringLiteral("/main-window-long-section.png")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
