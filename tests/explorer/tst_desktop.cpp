// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "explorer/DescriptionList.h"
#include "explorer/ExplorerStatusBar.h"
#include "explorer/SplitterLayout.h"
#include "gui/BusyWatcher.h"
#include "gui/PaletteColours.h"
#include "gui/QtPrompter.h"
#include "support/FaultPlace.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressDialog>
#include <QToolBar>

using namespace tavimor;
using namespace tavimor::test;
using Move = SplitterLayout::MoveResult;

// The main window on the desktop: palette, keys, status bar, busy cursor, layout and reports.
class TestDesktop : public QObject {
    Q_OBJECT
    std::unique_ptr<ExplorerFixture> f;

    QString out(const QString& name) const { return f->dir.filePath(name); }

private slots:
    void init() { f = std::make_unique<ExplorerFixture>(); }
    void cleanup() { f.reset(); }

    // Contrast as WCAG counts it: pure red on white misses AA (about 4:1), so a darker red is taken
    // there; on a mid grey no red reads, so the text colour is kept and the icon carries the mark.
    void restartRowsReadInLightAndDarkPalettes() {
        QCOMPARE(qRound(contrastRatio(Qt::white, Qt::black)), 21);
        QCOMPARE(readableRed(QColor(0x77, 0x77, 0x77), Qt::black), QColor(Qt::black));
        frmRegistryExplorer& w = f->start();
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
        const auto checkRunDialogRow = [this](const QColor& base) {
            QTreeWidgetItem* row = f->list()->topLevelItem(3);
            QVERIFY(DescriptionList::isRestartRow(row));
            const QColor colour = row->foreground(1).color();
            QVERIFY(contrastRatio(colour, base) >= kReadableContrast);
            QCOMPARE(colour.hslHue(), 0);
            // Not by colour alone: an icon and a text tell it too.
            QVERIFY(!row->icon(0).isNull() && !row->toolTip(0).isEmpty());
        };
        checkRunDialogRow(f->list()->palette().color(QPalette::Base));
        // A palette change recolours the rows already shown.
        QPalette dark;
        dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
        w.setPalette(dark);
        checkRunDialogRow(dark.color(QPalette::Base));
    }

    // Alt+F and F10 reach the menu; Ctrl+F the filter, which narrows across sections; Escape ends it.
    void keysReachTheMenuAndTheFilter() {
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
        w.FillList(u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
        const QStringList display = f->column(0);
        QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
        auto* bar = w.findChild<QToolBar*>(u"tlbFilter"_s);
        auto* edit = w.findChild<QLineEdit*>(u"txtFilter"_s);
        QVERIFY(bar->isVisible());
        QVERIFY(edit->hasFocus());

        // What the filter finds: test_catalogue_edits; the row found opens its entry.
        QTest::keyClicks(edit, u"norun"_s);
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

    void statusBarShowsKeysDateAndTime() {
        frmRegistryExplorer& w = f->start();
        auto* status = w.findChild<ExplorerStatusBar*>(u"stbTavimor"_s);
        // Date and time follow the clock.
        for (const QDateTime& time : {f->clock.time, QDateTime(QDate(2026, 3, 15), QTime(0, 1))}) {
            f->clock.time = time;
            QTRY_COMPARE_WITH_TIMEOUT(status->panelText(6),
                                      QLocale().toString(time.time(), QLocale::ShortFormat), 3000);
            QCOMPARE(status->panelText(5), QLocale().toString(time.date(), QLocale::ShortFormat));
        }

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

    // Pressed at x = 20 in the bar at 2340, only the bar moves while the button is held, within its
    // limits, halves to even; within 1500 of the right edge the drag ends where the bar was. The
    // release lays out tree and list for the bar, unless the list lies within 360 of that edge.
    void splitterDragsStayWithinTheLimits() {
        for (const auto& [listLeft, pointer, width, moved, barLeft, laidOut] :
             {std::tuple{2400, -5000.0, 20000, Move::Moved, 1500, true},
              {2400, 9000, 20000, Move::Moved, 8000, true},
              {2400, 20.5, 20000, Move::Moved, 2340, true},
              {2400, 21.5, 20000, Move::Moved, 2342, true},
              {2400, 5180, 9000, Move::Released, 2340, true},
              {9700, 20, 10000, Move::Moved, 2340, false},
              {9700, 20, 10060, Move::Moved, 2340, true}}) {
            SplitterLayout::Geometry start;
            start.listLeft = listLeft;
            SplitterLayout layout(start);
            layout.press(20);
            QCOMPARE(layout.move(pointer, width), moved);
            QCOMPARE(layout.geometry().barLeft, barLeft);
            if (moved == Move::Moved) {
                QVERIFY(layout.dragging());
                QCOMPARE(layout.geometry().treeWidth, 2355);
                QCOMPARE(layout.geometry().listLeft, listLeft);
                QCOMPARE(layout.release(width), laidOut);
            }
            QVERIFY(!layout.dragging());
            const int listLeftAfter = laidOut ? barLeft + 45 : listLeft;
            QCOMPARE(layout.geometry().treeWidth, laidOut ? barLeft : 2355);
            QCOMPARE(layout.geometry().listLeft, listLeftAfter);
            QCOMPARE(layout.geometry().listWidth, laidOut ? width - listLeftAfter - 300 : 9465);
            QCOMPARE(layout.move(500, width), Move::Ignored);
        }
    }

    void longWaitShowsBusyCursorThenACancellableProgressDialog() {
        BusyWatcher busy;
        QVERIFY(busy.stillWaiting(u"wine reg query"_s));
        QVERIFY(QApplication::overrideCursor());
        QVERIFY(!busy.dialog());
        for (QDeadlineTimer soon(BusyWatcher::kDialogDelayMs + 100); !soon.hasExpired();)
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

    // What a report holds: test_catalogue_edits; here, the roads from the pop-up and the File menu to
    // the file written and opened, with the applied states (not the pending ones) on the clock's day.
    void reportsAreWrittenAndOpened() {
        frmRegistryExplorer& w = f->shown();
        f->setRegistry(u"NoRun"_s, 1);
        w.RefreshList(kRunDialog);
        f->prompter.queueFileName(out(u"start.html"_s));
        QVERIFY(w.popUpAt(f->tree()->visualItemRect(f->tree()->topLevelItem(0)->child(4)).center()));
        f->action(u"mnuSubContextMenu0"_s)->trigger();
        f->prompter.queueFileName(out(u"REPORT"_s));
        f->action(u"mnuSubApplication3"_s)->trigger();
        QCOMPARE(f->shell.opened, (QStringList{out(u"start.html"_s), out(u"REPORT"_s)}));
        const QByteArray section = fileBytes(out(u"start.html"_s));
        QVERIFY(section.contains("TESTBOX"));
        QVERIFY(section.contains(QLocale().toString(QDate(2026, 3, 14), QLocale::LongFormat).toUtf8()));
        QCOMPARE(section.count("<table"), 1);
        QVERIFY(section.contains("Run Dialog") && section.contains("state disabled"));
        QCOMPARE(fileBytes(out(u"REPORT"_s)).count("<table"), 7);

        const FileDialogRequest& request = f->prompter.dialogs().first().request;
        QVERIFY(f->prompter.dialogs().first().save);
        QCOMPARE(request.filter, u"HTML Files | *.html"_s);
        QCOMPARE(request.fileName, u".html"_s);
        QCOMPARE(request.flags, 2050u);
        // The platform's dialog takes that request, and refuses a missing folder while it is open.
        QCOMPARE(QtPrompter::qtFilter(u"Tavimor Files (*.rds)|*.rds|All Files (*.*)|*.*"_s),
                 u"Tavimor Files (*.rds);;All Files (*.*)"_s);
        QCOMPARE(QtPrompter::qtFilter(request.filter), u"HTML Files (*.html)"_s);
        QStringList refused;
        PathCheckedFileDialog dialog(nullptr, request, true,
                                     [&](const QString& text) { refused.append(text); });
        dialog.setDirectory(f->dir.path());
        dialog.selectFile(out(u"missing/report.html"_s));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(refused, QStringList{u"The folder "_s + QDir::toNativeSeparators(out(u"missing"_s)) +
                                      u" does not exist.\r\nCheck the folder name and try again."_s});
        dialog.selectFile(out(u"report.html"_s));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.selectedFiles(), QStringList{out(u"report.html"_s)});
    }

    // No file named, no style sheet, no catalogue: nothing is written or opened; what is wrong is named.
    void reportsThatCannotBeMadeWriteNothing() {
        frmRegistryExplorer& w = f->start();
        const QStringList before = QDir(f->dir.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& answer : {QString(), u".html"_s, u".HTML"_s}) {
            f->prompter.queueFileName(answer);
            w.GenerateReport(u"TAVIMOR"_s);
            QVERIFY(!QFile::exists(QDir::current().filePath(answer)) || answer.isEmpty());
        }
        QVERIFY(f->prompter.messages().isEmpty());

        QFile::remove(f->xslPath());
        f->prompter.queueFileName(out(u"never.html"_s));
        w.GenerateReport(u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
        QCOMPARE(f->prompter.messages().size(), 1);
        QVERIFY(f->prompter.messages().first().text.contains(QDir::toNativeSeparators(f->xslPath())));
        QCOMPARE(f->prompter.messages().first().icon, MessageIcon::Critical);
        QCOMPARE(f->prompter.dialogs().size(), 3);

        f->prompter.clear();
        f->context.machineCatalogue.clear();
        w.GenerateReport(u"TAVIMOR"_s);
        QCOMPARE(f->prompter.messageTexts(),
                 QStringList{u"There is no catalogue to report on. Open a settings file first."_s});
        QVERIFY(f->prompter.dialogs().isEmpty());
        QVERIFY(f->shell.opened.isEmpty());
        QCOMPARE(QDir(f->dir.path()).entryList(QDir::Files | QDir::Hidden), before);
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
