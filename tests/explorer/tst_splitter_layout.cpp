// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "explorer/SplitterLayout.h"
#include "gui/Twips.h"

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

using Move = SplitterLayout::MoveResult;

class TestSplitterLayout : public QObject {
    Q_OBJECT

private slots:
    void movesStayWithinTheLimits_data() {
        QTest::addColumn<double>("pointer");
        QTest::addColumn<int>("barLeft");
        // Pressed at x = 20 within the bar at 2340: the bar follows the pointer's movement.
        QTest::newRow("a little right") << 520.0 << 2840;
        QTest::newRow("far left") << -5000.0 << 1500;
        QTest::newRow("just above the least") << -819.0 << 1501;
        QTest::newRow("far right") << 9000.0 << 8000;
        QTest::newRow("exactly the most") << 5680.0 << 8000;
        QTest::newRow("half rounds to even") << 20.5 << 2340;
        QTest::newRow("other half rounds to even") << 21.5 << 2342;
    }
    void movesStayWithinTheLimits() {
        QFETCH(double, pointer);
        QFETCH(int, barLeft);
        SplitterLayout layout;
        QCOMPARE(layout.move(500, 20000), Move::Ignored);
        layout.press(20);
        QCOMPARE(layout.move(pointer, 20000), Move::Moved);
        QCOMPARE(layout.geometry().barLeft, barLeft);
        // Only the bar moves while the button is held.
        QCOMPARE(layout.geometry().treeWidth, 2355);
        QCOMPARE(layout.geometry().listLeft, 2400);
        QVERIFY(layout.dragging());
    }

    void aMoveNearTheRightEdgeEndsTheDrag() {
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
    void releaseLaysOutTreeAndList() {
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

    void theBarsMouseDrivesTheWindowLayout() {
        ExplorerFixture f;
        frmRegistryExplorer& w = f.shown();
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
        QCOMPARE(f.tree()->width(), twipsToPixels(w.splitter().geometry().treeWidth, &w));
        QCOMPARE(f.list()->x(), twipsToPixels(w.splitter().geometry().listLeft, &w));
        // The list keeps 300 twips from the window's outer right edge.
        const int outer = pixelsToTwips(w.frameGeometry().width(), &w);
        QCOMPARE(f.list()->width(), twipsToPixels(outer - w.splitter().geometry().listLeft - 300, &w));
    }
};

QTEST_MAIN(TestSplitterLayout)
#include "tst_splitter_layout.moc"
