// SPDX-License-Identifier: GPL-3.0-or-later
#include "explorer/TreeIcons.h"
#include "gui/PngPicture.h"
#include "startup/StartupPictures.h"

#include <QFile>
#include <QTest>

using namespace tavimor;
using namespace Qt::StringLiterals;

class TestPictures : public QObject {
    Q_OBJECT
private slots:
    void picturesAreReadWithoutTheImagePlugins() {
        for (int image = 1; image <= 8; ++image)
            QCOMPARE(treeIcon(image).availableSizes(), (QList<QSize>{QSize(16, 16), QSize(32, 32)}));
        for (const QString& name :
             {u"splash.png"_s, u"tavimor32.png"_s, u"key32.png"_s, u"quillmoor32.png"_s})
            QVERIFY2(!startupPicture(name).isNull(), qPrintable(name));
        QVERIFY(readPngPicture(u":/startup/missing.png"_s).isNull());
        // A reader left to guess the format would have loaded every image plugin by now.
        QFile maps(u"/proc/self/maps"_s);
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("/imageformats/"));
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
