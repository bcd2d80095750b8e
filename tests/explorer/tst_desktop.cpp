// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "explorer/DescriptionList.h"
#include "gui/BusyWatcher.h"
#include "gui/PaletteColours.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressDialog>
#include <QToolBar>

using namespace tavimor;
using namespace tavimor::test;

namespace {
QPalette darkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    return dark;
}

void checkRestartRows(QTreeWidget* list, const QColor& base) {
    int marked = 0;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        if (!DescriptionList::isRestartRow(row))
            continue;
        ++marked;
        const QColor colour = row->foreground(1).color();
        QVERIFY(contrastRatio(colour, base) >= kReadableContrast);
        QCOMPARE(colour.hslHue(), 0);
        // Not by colour alone: an icon and a text tell it too.
        QVERIFY(!row->icon(0).isNull());
        QVERIFY(!row->toolTip(0).isEmpty());
    }
    QVERIFY(marked > 0);
}
} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
    std::unique_ptr<ExplorerFixture> f;

private slots:
    void init() { f = std::make_unique<ExplorerFixture>(); }
    void cleanup() { f.reset(); }

    // Contrast as WCAG counts it: pure red on white misses AA (about 4:1), so a darker red is taken
    // there; on a mid grey no red reads, so the text colour is kept and the icon carries the mark.
    void restartRowsReadInLightAndDarkPalettes() {
        QCOMPARE(qRound(contrastRatio(Qt::white, Qt::black)), 21);
        QCOMPARE(contrastRatio(Qt::red, Qt::red), 1.0);
        QVERIFY(contrastRatio(Qt::red, Qt::white) < kReadableContrast);
        QCOMPARE(readableRed(QColor(0x77, 0x77, 0x77), Qt::black), QColor(Qt::black));
        frmRegistryExplorer& w = f->start();
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        checkRestartRows(f->list(), f->list()->palette().color(QPalette::Base));
        // A palette change recolours the rows already shown.
        w.setPalette(darkPalette());
        checkRestartRows(f->list(), darkPalette().color(QPalette::Base));
    }

    void filterNarrowsAcrossSectionsAndEscapeEndsIt() {
        frmRegistryExplorer& w = f->shown();
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
        const QStringList display = f->column(0);
        // The bar is made when first asked for.
        QVERIFY(!w.findChild<QToolBar*>(u"tlbFilter"_s));
        QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
        auto* bar = w.findChild<QToolBar*>(u"tlbFilter"_s);
        auto* edit = w.findChild<QLineEdit*>(u"txtFilter"_s);
        QVERIFY(bar->isVisible());
        QVERIFY(edit->hasFocus());

        QTest::keyClicks(edit, u"page"_s);
        // "Page" entries of several sections; the section is named in each row.
        QVERIFY(f->column(0).contains(u"Background Page (Display)"_s));
        QVERIFY(f->list()->topLevelItemCount() > 1);
        for (const QString& text : f->column(0))
            QVERIFY2(text.contains(u"page"_s, Qt::CaseInsensitive), qPrintable(text));
        // A registry value name finds its entry too, and the row opens that entry.
        edit->setText(u"norun"_s);
        QCOMPARE(f->column(0), QStringList{u"Run Dialog (Start Menu)"_s});
        f->selectRow(0);
        w.openSelectedRow();
        QCOMPARE(f->windows.calls, QStringList{u"editSetting "_s + kRunDialog + u" restart"_s});
        // A refresh after the edit keeps the filtered rows.
        f->windows.refresh(kRunDialog);
        QCOMPARE(f->list()->topLevelItemCount(), 1);

        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(bar->isHidden());
        QCOMPARE(f->column(0), display);
    }

    void keyboardReachesMenuAndRows() {
        frmRegistryExplorer& w = f->shown();
        for (const QKeyCombination keys :
             {QKeyCombination(Qt::AltModifier, Qt::Key_F), QKeyCombination(Qt::Key_F10)}) {
            w.menuBar()->setActiveAction(nullptr);
            QTest::keyClick(&w, keys.key(), keys.keyboardModifiers());
            QVERIFY(w.menuBar()->activeAction());
            QCOMPARE(w.menuBar()->activeAction()->text(), u"File"_s);
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
            QTest::keyClick(w.menuBar(), Qt::Key_Escape);
        }
        // Typing a name's first letters in the list chooses that row.
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        f->list()->setFocus();
        QTest::keyClicks(f->list(), u"Ru"_s);
        QCOMPARE(f->list()->currentItem()->text(0), u"Run Dialog"_s);
    }

    void longWaitShowsBusyCursorThenACancellableProgressDialog() {
        BusyWatcher busy;
        QVERIFY(busy.stillWaiting(u"wine reg query"_s));
        QVERIFY(QApplication::overrideCursor());
        QVERIFY(!busy.dialog());
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < BusyWatcher::kDialogDelayMs + 100)
            QVERIFY(busy.stillWaiting(u"wine reg query"_s));
        QVERIFY(busy.dialog() && busy.dialog()->isVisible());
        busy.dialog()->cancel();
        // Cancel holds for the rest of the operation, until the waits stop coming.
        QVERIFY(!busy.stillWaiting(u"wine reg query"_s));
        QVERIFY(!busy.stillWaiting(u"wine reg add"_s));
        QTRY_VERIFY(!busy.busy());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!busy.dialog());
        QVERIFY(busy.stillWaiting(u"a new operation"_s));
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
