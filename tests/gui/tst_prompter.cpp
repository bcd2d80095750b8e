#include "gui/QtPrompter.h"
#include "gui/Twips.h"

#include <QTest>

using namespace tavimor;

class TestPrompter : public QObject {
    Q_OBJECT
private slots:
    void filtersReadAsQtWritesThem() {
        QCOMPARE(QtPrompter::qtFilter(QStringLiteral("Tavimor Files (*.rds)|*.rds|All Files (*.*)|*.*")),
                 QStringLiteral("Tavimor Files (*.rds);;All Files (*.*)"));
        QCOMPARE(QtPrompter::qtFilter(QStringLiteral("HTML Files | *.html")),
                 QStringLiteral("HTML Files (*.html)"));
    }
    void twipsAreFifteenthsOfAPixelAt96Dpi() {
        const int pixels = twipsToPixels(1440);
        QVERIFY(pixels >= 96);
        QCOMPARE(pixelsToTwips(pixels), 1440);
    }
};

QTEST_MAIN(TestPrompter)
#include "tst_prompter.moc"
