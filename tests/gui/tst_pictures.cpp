// SPDX-License-Identifier: GPL-3.0-or-later
#include "explorer/TreeIcons.h"
#include "gui/DeferredIconStyle.h"
#include "gui/PngPicture.h"
#include "startup/StartupPictures.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QStyleOption>
#include <QTest>

using namespace tavimor;
using namespace Qt::StringLiterals;

namespace {
bool imagePluginsLoaded() {
    QFile maps(u"/proc/self/maps"_s);
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
}

QImage drawn(const QIcon& icon, qreal ratio) {
    const QPixmap pixmap = icon.pixmap(QSize(16, 16), ratio);
    QImage image = pixmap.toImage();
    image.setDevicePixelRatio(pixmap.devicePixelRatio());
    return image;
}
} // namespace

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
        QVERIFY(!imagePluginsLoaded());
    }

    // Runs after the test above: Qt reading its own overflow pictures loads the image plugins.
    void aMenuBarsOverflowPictureIsReadWhenFirstDrawn() {
        const QString styleName = QApplication::style()->name();
        DeferredIconStyle::install();
        const QStyle* style = QApplication::style();
        const QStyle* base = qobject_cast<const QProxyStyle*>(style)->baseStyle();
        QCOMPARE(base->name(), styleName);
        QMainWindow window;
        window.menuBar()->addMenu(u"&File"_s);
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!imagePluginsLoaded());

        // Once asked for, each picture is the style's own, at every ratio and in either direction.
        QStyleOption rightToLeft;
        rightToLeft.direction = Qt::RightToLeft;
        for (QStyle::StandardPixmap which :
             {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton}) {
            for (const QStyleOption* option : {static_cast<const QStyleOption*>(nullptr),
                                               static_cast<const QStyleOption*>(&rightToLeft)}) {
                const QIcon deferred = style->standardIcon(which, option);
                const QIcon own = base->standardIcon(which, option);
                QVERIFY(!own.isNull());
                QCOMPARE(deferred.isNull(), false);
                QCOMPARE(deferred.availableSizes(), own.availableSizes());
                QCOMPARE(deferred.actualSize(QSize(64, 64)), own.actualSize(QSize(64, 64)));
                for (qreal ratio : {1.0, 2.0})
                    QCOMPARE(drawn(deferred, ratio), drawn(own, ratio));
            }
        }
        QVERIFY(drawn(style->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton), 1) !=
                drawn(style->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, &rightToLeft), 1));
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
