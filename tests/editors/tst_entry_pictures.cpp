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
        const QSize shown = edit.findChild<QLabel*>(QStringLiteral("pctScreenShot"))->contentsRect().size();
        int entries = 0;
        forEachEntry(h.context.workingCatalogue, [&](const CatalogueEntry& entry, int, int) {
            ++entries;
            const QString name = entry.text("IMAGE").section(QLatin1Char('\\'), -1);
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
        const QString target = h.context.programFolder + QStringLiteral("/Resources/SM005.rdi");
        QVERIFY(QFile::copy(QDir(sourceResources()).filePath(QStringLiteral("SM005.rdi")), target));

        frmEditSettings edit(h.context, {});
        edit.setRegXPath(QLatin1String(kRunDialogEntry));
        edit.setRestartNoteVisible(true);
        edit.show();
        QCOMPARE(edit.findChild<QLabel*>(QStringLiteral("pctScreenShot"))->pixmap().size(), QSize(217, 283));
        edit.findChild<QRadioButton*>(QStringLiteral("optRegValue1"))->click();
        shoot(edit, QStringLiteral("edit-settings.png"));

        h.backend.putValue(QLatin1String(kPolicies) + QStringLiteral("\\Explorer"),
                           QStringLiteral("NoDrives"), regDword(0x9));
        frmDrives drives(h.context);
        QCOMPARE(drives.findChild<QLabel*>(QStringLiteral("pctScreenShot"))->pixmap().size(),
                 QSize(217, 283));
        shoot(drives, QStringLiteral("drives.png"));

        frmRestart restart(h.context);
        shoot(restart, QStringLiteral("restart.png"));
    }
};

QTEST_MAIN(TestEntryPictures)
#include "tst_entry_pictures.moc"
