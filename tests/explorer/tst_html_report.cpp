// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "catalogue/EntryEdit.h"
#include "gui/QtPrompter.h"
#include "support/FaultPlace.h"

#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

using namespace tavimor;
using namespace tavimor::test;

namespace {
// The report's tables as a browser would read them: row by row, cell texts.
QList<QList<QStringList>> tablesOf(const QByteArray& html) {
    QTextDocument document;
    document.setHtml(QString::fromUtf8(html));
    QList<QList<QStringList>> tables;
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        QList<QStringList>& rows = tables.emplace_back();
        for (int r = 0; r < table->rows(); ++r) {
            QStringList& cells = rows.emplace_back();
            for (int c = 0; c < table->columns(); ++c) {
                QTextCursor cursor = table->cellAt(r, c).firstCursorPosition();
                cursor.setPosition(table->cellAt(r, c).lastCursorPosition().position(),
                                   QTextCursor::KeepAnchor);
                cells.append(cursor.selectedText().simplified());
            }
        }
    }
    return tables;
}
} // namespace

class TestHtmlReport : public QObject {
    Q_OBJECT
    std::unique_ptr<ExplorerFixture> f;

    QString out(const QString& name) const { return f->dir.filePath(name); }
private slots:
    void init() { f = std::make_unique<ExplorerFixture>(); }
    void cleanup() { f.reset(); }

    void aSectionReportIsWrittenAndOpened() {
        frmRegistryExplorer& w = f->shown();
        f->setRegistry(u"NoRun"_s, 1);
        w.RefreshList(kRunDialog);
        f->prompter.queueFileName(out(u"start.html"_s));
        QVERIFY(w.popUpAt(f->tree()->visualItemRect(f->tree()->topLevelItem(0)->child(4)).center()));
        f->action(u"mnuSubContextMenu0"_s)->trigger();

        QCOMPARE(f->prompter.dialogs().size(), 1);
        const FileDialogRequest& request = f->prompter.dialogs().first().request;
        QVERIFY(f->prompter.dialogs().first().save);
        QCOMPARE(request.filter, u"HTML Files | *.html"_s);
        QCOMPARE(request.fileName, u".html"_s);
        QCOMPARE(request.flags, 2050u);
        QCOMPARE(f->shell.opened, QStringList{out(u"start.html"_s)});
        const QByteArray html = fileBytes(out(u"start.html"_s));
        QVERIFY(html.endsWith("\r\n"));
        QVERIFY(html.contains("TESTBOX"));
        QVERIFY(html.contains(QLocale().toString(QDate(2026, 3, 14), QLocale::LongFormat).toUtf8()));
        const QList<QList<QStringList>> tables = tablesOf(html);
        QCOMPARE(tables.size(), 1);
        const QList<QStringList>& rows = tables.first();
        QCOMPARE(rows.size(), 1 + 8);
        QCOMPARE(rows[0], (QStringList{u"Restriction"_s, u"State"_s, u"Registry location"_s, u"Restart"_s,
                                       u"Description"_s}));
        QCOMPARE(rows[4].mid(0, 4), (QStringList{u"Run Dialog"_s, u"Disabled"_s,
                                                 kExplorerPolicies + u"\\NoRun"_s, u"Needs restart"_s}));
        QVERIFY(!rows[4][4].isEmpty());
        QCOMPARE(rows[1][1], u"Enabled"_s);

        // The platform's dialog takes that request: its filter as Qt writes it, and a missing folder
        // refused while the dialog is open.
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

    void theWholeReportShowsAppliedValuesOnly() {
        f->start();
        // Pending in the working catalogue only: not in the report.
        QVERIFY(applyEntryLater(f->context, u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s, u"1"_s));
        f->prompter.queueFileName(out(u"REPORT"_s));
        f->action(u"mnuSubApplication3"_s)->trigger();
        const QList<QList<QStringList>> tables = tablesOf(fileBytes(out(u"REPORT"_s)));
        QCOMPARE(tables.size(), 7);
        int entries = 0;
        for (const auto& table : tables)
            entries += table.size() - 1;
        QCOMPARE(entries, 57);
        QCOMPARE(tables[0][1][1], u"Enabled"_s);
        // The Drives entry has no value in the catalogue.
        QCOMPARE(tables[3][1].mid(0, 2), (QStringList{u"Handle Drive(s)"_s, u"Not set"_s}));

        QVERIFY(applyEntryNow(f->context, u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s, u"1"_s));
        f->prompter.queueFileName(out(u"REPORT"_s));
        f->action(u"mnuSubApplication3"_s)->trigger();
        QCOMPARE(tablesOf(fileBytes(out(u"REPORT"_s)))[0][1][1], u"Disabled"_s);
        QCOMPARE(f->shell.opened.size(), 2);
    }

    // No catalogue, a cancelled or unnamed file, a missing or broken style sheet: nothing is written
    // or opened, and what is wrong is named.
    void reportsThatCannotBeMadeWriteNothing() {
        frmRegistryExplorer& w = f->start();
        const QStringList before = QDir(f->dir.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& answer : {QString(), u".html"_s, u".HTML"_s}) {
            f->prompter.queueFileName(answer);
            w.GenerateReport(u"TAVIMOR"_s);
            QVERIFY(!QFile::exists(QDir::current().filePath(answer)) || answer.isEmpty());
        }
        QCOMPARE(f->prompter.dialogs().size(), 3);
        QVERIFY(f->prompter.messages().isEmpty());

        for (const QByteArray& sheet :
             {QByteArray(), QByteArray("<xsl:stylesheet"), QByteArray("<?xml version=\"1.0\"?><html/>")}) {
            f->prompter.clear();
            QFile::remove(f->xslPath());
            if (!sheet.isEmpty())
                QVERIFY(writeFileAtomically(f->xslPath(), sheet));
            f->prompter.queueFileName(out(u"never.html"_s));
            w.GenerateReport(u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
            QCOMPARE(f->prompter.messages().size(), 1);
            QVERIFY(f->prompter.messages().first().text.contains(QDir::toNativeSeparators(f->xslPath())));
            QCOMPARE(f->prompter.messages().first().icon, MessageIcon::Critical);
            QVERIFY(f->prompter.dialogs().isEmpty());
        }

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

QTEST_MAIN(TestHtmlReport)
#include "tst_html_report.moc"
