// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "catalogue/EntryEdit.h"
#include "support/FaultPlace.h"

#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

namespace {
// The report as a browser would read it: the page's tables, row by row, cell texts.
struct ParsedReport {
    QString text;
    QList<QList<QStringList>> tables;
};

ParsedReport parseHtml(const QByteArray& html) {
    QTextDocument document;
    document.setHtml(QString::fromUtf8(html));
    ParsedReport parsed{document.toPlainText(), {}};
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        QList<QStringList> rows;
        for (int r = 0; r < table->rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columns(); ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                QTextCursor cursor = cell.firstCursorPosition();
                cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
                cells.append(cursor.selectedText().simplified());
            }
            rows.append(cells);
        }
        parsed.tables.append(rows);
    }
    return parsed;
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
        const ParsedReport report = parseHtml(html);
        QVERIFY(report.text.contains(u"TESTBOX"_s));
        QVERIFY(report.text.contains(QLocale().toString(QDate(2026, 3, 14), QLocale::LongFormat)));
        QCOMPARE(report.tables.size(), 1);
        const QList<QStringList>& rows = report.tables.first();
        QCOMPARE(rows.size(), 1 + 8);
        QCOMPARE(rows[0], (QStringList{u"Restriction"_s, u"State"_s, u"Registry location"_s, u"Restart"_s,
                                       u"Description"_s}));
        QCOMPARE(rows[4].mid(0, 4),
                 (QStringList{u"Run Dialog"_s, u"Disabled"_s, QLatin1String(kExplorerKey) + u"\\NoRun"_s,
                              u"Needs restart"_s}));
        QVERIFY(!rows[4][4].isEmpty());
        QCOMPARE(rows[1][1], u"Enabled"_s);
    }

    void theWholeReportShowsAppliedValuesOnly() {
        f->start();
        // Pending in the working catalogue only: not in the report.
        QVERIFY(applyEntryLater(f->context, u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s, u"1"_s));
        f->prompter.queueFileName(out(u"REPORT"_s));
        f->action(u"mnuSubApplication3"_s)->trigger();
        const ParsedReport report = parseHtml(fileBytes(out(u"REPORT"_s)));
        QCOMPARE(report.tables.size(), 7);
        int entries = 0;
        for (const auto& table : report.tables)
            entries += table.size() - 1;
        QCOMPARE(entries, 57);
        QCOMPARE(report.tables[0][1][1], u"Enabled"_s);
        // The Drives entry has no value in the catalogue; the Number entry shows its text.
        QCOMPARE(report.tables[3][1][0], u"Handle Drive(s)"_s);
        QCOMPARE(report.tables[3][1][1], u"Not set"_s);

        QVERIFY(applyEntryNow(f->context, u"TAVIMOR/REGISTRYSETTINGS[0]/ENTRY[0]"_s, u"1"_s));
        f->prompter.queueFileName(out(u"REPORT"_s));
        f->action(u"mnuSubApplication3"_s)->trigger();
        QCOMPARE(parseHtml(fileBytes(out(u"REPORT"_s))).tables[0][1][1], u"Disabled"_s);
        QCOMPARE(f->shell.opened.size(), 2);
    }

    void noCatalogueIsToldPlainly() {
        frmRegistryExplorer& w = f->start();
        f->context.machineCatalogue.clear();
        w.GenerateReport(u"TAVIMOR"_s);
        QCOMPARE(f->prompter.messageTexts(),
                 QStringList{u"There is no catalogue to report on. Open a settings file first."_s});
        QVERIFY(f->prompter.dialogs().isEmpty());
    }

    void cancelledOrUnnamedReportsWriteNothing_data() {
        QTest::addColumn<QString>("answer");
        QTest::newRow("cancel") << QString();
        QTest::newRow(".html") << u".html"_s;
        QTest::newRow(".HTML") << u".HTML"_s;
    }
    void cancelledOrUnnamedReportsWriteNothing() {
        QFETCH(QString, answer);
        frmRegistryExplorer& w = f->start();
        const QStringList before = QDir(f->dir.path()).entryList(QDir::Files | QDir::Hidden);
        f->prompter.queueFileName(answer);
        w.GenerateReport(u"TAVIMOR"_s);
        QCOMPARE(f->prompter.dialogs().size(), 1);
        QVERIFY(f->prompter.messages().isEmpty());
        QVERIFY(f->shell.opened.isEmpty());
        QCOMPARE(QDir(f->dir.path()).entryList(QDir::Files | QDir::Hidden), before);
        QVERIFY(!QFile::exists(QDir::current().filePath(answer)) || answer.isEmpty());
    }

    void aMissingOrBrokenStyleSheetIsNamedAndNothingWritten_data() {
        QTest::addColumn<QByteArray>("sheet");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not XML") << QByteArray("<xsl:stylesheet");
        QTest::newRow("not XSLT") << QByteArray("<?xml version=\"1.0\"?><html/>");
    }
    void aMissingOrBrokenStyleSheetIsNamedAndNothingWritten() {
        QFETCH(QByteArray, sheet);
        frmRegistryExplorer& w = f->start();
        QVERIFY(QFile::remove(f->xslPath()));
        if (!sheet.isEmpty())
            QVERIFY(writeFileAtomically(f->xslPath(), sheet));
        f->prompter.queueFileName(out(u"never.html"_s));
        w.GenerateReport(u"TAVIMOR/REGISTRYSETTINGS[0]"_s);
        QCOMPARE(f->prompter.messages().size(), 1);
        QVERIFY(f->prompter.messages().first().text.contains(QDir::toNativeSeparators(f->xslPath())));
        QCOMPARE(f->prompter.messages().first().icon, MessageIcon::Critical);
        QVERIFY(f->prompter.dialogs().isEmpty());
        QVERIFY(!QFile::exists(out(u"never.html"_s)));
        QVERIFY(f->shell.opened.isEmpty());
    }
};

QTEST_MAIN(TestHtmlReport)
#include "tst_html_report.moc"
