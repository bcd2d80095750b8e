// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorsHarness.h"
#include "editors/frmDrives.h"
#include "editors/frmEditSettings.h"
#include "editors/frmRestart.h"

#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

// The pictures the program ships, and the editors as the documentation shows them.
class TestEntryPictures : public QObject {
    Q_OBJECT

    static QString sourceResources() { return QFINDTESTDATA("../../resources/program/Resources"); }
    static void shoot(QWidget& window, const QString& name) {
        const QString folder = qEnvironmentVariable("TAVIMOR_SHOTS_DIR");
        if (folder.isEmpty())
            return;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.grab().save(QDir(folder).filePath(name), "PNG"));
    }

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

    void editorsForTheDocumentation() {
        EditorsHarness h;
        const QString target = h.context.programFolder + u"/Resources/SM005.rdi"_s;
        QVERIFY(QFile::copy(QDir(sourceResources()).filePath(u"SM005.rdi"_s), target));

        frmEditSettings edit(h.context, {});
        edit.setRegXPath(QLatin1String(kRunDialogEntry));
        edit.setRestartNoteVisible(true);
        edit.show();
        QCOMPARE(edit.findChild<QLabel*>(u"pctScreenShot"_s)->pixmap().size(), QSize(217, 283));
        edit.findChild<QRadioButton*>(u"optRegValue1"_s)->click();
        shoot(edit, u"edit-settings.png"_s);

        h.backend.putValue(QLatin1String(kPolicies) + u"\\Explorer"_s, u"NoDrives"_s, regDword(0x9));
        frmDrives drives(h.context);
        QCOMPARE(drives.findChild<QLabel*>(u"pctScreenShot"_s)->pixmap().size(), QSize(217, 283));
        shoot(drives, u"drives.png"_s);

        frmRestart restart(h.context);
        shoot(restart, u"restart.png"_s);
    }
};

QTEST_MAIN(TestEntryPictures)
#include "tst_entry_pictures.moc"
