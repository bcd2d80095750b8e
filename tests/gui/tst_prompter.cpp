// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/QtPrompter.h"

#include <QTemporaryDir>
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
    void aMissingFolderIsRefusedWhileTheDialogIsOpen() {
        QTemporaryDir dir;
        FileDialogRequest request;
        request.fileName = QStringLiteral(".html");
        request.flags = 2050;
        QStringList refused;
        PathCheckedFileDialog dialog(nullptr, request, true,
                                     [&](const QString& text) { refused.append(text); });
        dialog.setDirectory(dir.path());
        dialog.selectFile(dir.filePath(QStringLiteral("missing/report.html")));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(refused,
                 QStringList{QStringLiteral("The folder ") +
                             QDir::toNativeSeparators(dir.filePath(QStringLiteral("missing"))) +
                             QStringLiteral(" does not exist.\r\nCheck the folder name and try again.")});
        dialog.selectFile(dir.filePath(QStringLiteral("report.html")));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.selectedFiles(), QStringList{dir.filePath(QStringLiteral("report.html"))});
    }
};

QTEST_MAIN(TestPrompter)
#include "tst_prompter.moc"
