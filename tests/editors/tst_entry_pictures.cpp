// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorsHarness.h"
#include "editors/frmDrives.h"
#include "editors/frmEditSettings.h"

#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QTest>

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

// The pictures the program ships.
class TestEntryPictures : public QObject {
    Q_OBJECT

    static QString sourceResources() { return QFINDTESTDATA("../../resources/program/Resources"); }
private slots:
    void everyEntryHasAPictureReadByContent() {
        const QString folder = sourceResources();
        QVERIFY(!folder.isEmpty());
        EditorsHarness h;
        // Drawn at the size the dialog shows them, so they are never scaled.
        frmEditSettings edit(h.context, {});
        const QSize shown = edit.findChild<QLabel*>(u"pctScreenShot"_s)->contentsRect().size();
        int entries = 0;
        forEachEntry(h.context.workingCatalogue, [&](const CatalogueEntry& entry, int, int) {
            ++entries;
            const QString name = entry.text("IMAGE").section(u'\\', -1);
            QImageReader reader(QDir(folder).filePath(name));
            reader.setDecideFormatFromContent(true);
            const QImage image = reader.read();
            QVERIFY2(!image.isNull(), qPrintable(name));
            QCOMPARE(image.size(), shown);
            QVERIFY2(QFileInfo(reader.fileName()).size() < 16 * 1024, qPrintable(name));
        });
        QCOMPARE(entries, 57);
    }

    // The drive picture is a resource of the static gui library, kept from the linker by frmDrives.
    void theDrivesDialogShowsItsPicture() {
        EditorsHarness h;
        frmDrives drives(h.context);
        QCOMPARE(drives.findChild<QLabel*>(u"pctScreenShot"_s)->pixmap().size(), QSize(217, 283));
    }
};

QTEST_MAIN(TestEntryPictures)
#include "tst_entry_pictures.moc"
