// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/QtPrompter.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tavimor;
using namespace Qt::StringLiterals;

class TestPrompter : public QObject {
    Q_OBJECT
private slots:
    void filtersReadAsQtWritesThem() {
        QCOMPARE(QtPrompter::qtFilter(u"Tavimor Files (*.rds)|*.rds|All Files (*.*)|*.*"_s),
                 u"Tavimor Files (*.rds);;All Files (*.*)"_s);
        QCOMPARE(QtPrompter::qtFilter(u"HTML Files | *.html"_s), u"HTML Files (*.html)"_s);
    }
    void aMissingFolderIsRefusedWhileTheDialogIsOpen() {
        QTemporaryDir dir;
        FileDialogRequest request;
        request.fileName = u".html"_s;
        request.flags = 2050;
        QStringList refused;
        PathCheckedFileDialog dialog(nullptr, request, true,
                                     [&](const QString& text) { refused.append(text); });
        dialog.setDirectory(dir.path());
        dialog.selectFile(dir.filePath(u"missing/report.html"_s));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(refused,
                 QStringList{u"The folder "_s + QDir::toNativeSeparators(dir.filePath(u"missing"_s)) +
                             u" does not exist.\r\nCheck the folder name and try again."_s});
        dialog.selectFile(dir.filePath(u"report.html"_s));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.selectedFiles(), QStringList{dir.filePath(u"report.html"_s)});
    }
};

QTEST_MAIN(TestPrompter)
#include "tst_prompter.moc"
