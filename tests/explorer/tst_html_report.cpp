// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "catalogue/EntryEdit.h"
#include "catalogue/ReportTransform.h"
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
        w.RefreshList(u"TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]"_s);
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
        QCOMPARE(rows[4][0], u"Run Dialog"_s);
        QCOMPARE(rows[4][1], u"Disabled"_s);
        QCOMPARE(rows[4][2],
                 QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                                "Policies\\Explorer\\NoRun"));
        QCOMPARE(rows[4][3], u"Needs restart"_s);
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

    void theTransformReachesNoFiles() {
        QTemporaryDir dir;
        const QString secret = dir.filePath(u"secret.xml"_s);
        QVERIFY(writeFileAtomically(secret, "<s>hidden words</s>"));
        const QString written = dir.filePath(u"written.txt"_s);
        const QString sheet = dir.filePath(u"sheet.xsl"_s);
        const QByteArray text =
            "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" "
            "xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes=\"exsl\">"
            "<xsl:template match=\"/\"><out><xsl:value-of select=\"document('" +
            QUrl::fromLocalFile(secret).toEncoded() + "')\"/><exsl:document href=\"" +
            QUrl::fromLocalFile(written).toEncoded() +
            "\" method=\"text\">x</exsl:document></out></xsl:template></xsl:stylesheet>";
        QVERIFY(writeFileAtomically(sheet, text));
        QString error;
        const std::optional<QByteArray> result = ReportTransform::transform("<TAVIMOR/>", sheet, {}, &error);
        QVERIFY(!result || !result->contains("hidden words"));
        QVERIFY(!QFile::exists(written));
    }

    // A user-edited style sheet may recurse for ever, copy the document into itself or loop
    // without end: each is stopped with a reason, before it takes the machine's memory or time.
    void aRunawayStyleSheetIsStopped() {
        QTemporaryDir dir;
        const QString sheet = dir.filePath(u"sheet.xsl"_s);
        const QByteArray head =
            "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
            "<xsl:template match=\"/\">";
        const QByteArray tail = "</xsl:stylesheet>";
        const QByteArray everyNode = "<xsl:for-each select=\"//node()\">";
        const struct {
            QByteArray body;
            const char* reason;
        } cases[] = {
            {"<xsl:call-template name=\"t\"/></xsl:template><xsl:template name=\"t\"><x>"
             "<xsl:call-template name=\"t\"/></x></xsl:template>",
             "nests templates more than 1,000 deep"},
            {"<r>" + everyNode + everyNode + everyNode +
                 "<xsl:copy-of select=\"/\"/></xsl:for-each>"
                 "</xsl:for-each></xsl:for-each></r></xsl:template>",
             "the report took more than 16 MB of memory"},
            {"<r>" + everyNode + everyNode + everyNode +
                 "<xsl:value-of select=\"/\"/></xsl:for-each>"
                 "</xsl:for-each></xsl:for-each></r></xsl:template>",
             "the report took more than 16 MB of memory"},
            {"<xsl:call-template name=\"t\"><xsl:with-param name=\"n\" select=\"40\"/></xsl:call-template>"
             "</xsl:template><xsl:template name=\"t\"><xsl:param name=\"n\"/><xsl:if test=\"$n &gt; 0\">"
             "<xsl:call-template name=\"t\"><xsl:with-param name=\"n\" select=\"$n - "
             "1\"/></xsl:call-template>"
             "<xsl:call-template name=\"t\"><xsl:with-param name=\"n\" select=\"$n - "
             "1\"/></xsl:call-template>"
             "</xsl:if></xsl:template>",
             "it took more than 100,000 steps"},
        };
        QByteArray document = "<TAVIMOR>";
        for (int i = 0; i < 200; ++i)
            document += "<ENTRY><NAME>Entry " + QByteArray::number(i) + " with a name</NAME></ENTRY>";
        document += "</TAVIMOR>";
        ReportLimits limits;
        limits.memory = 16 * 1024 * 1024;
        limits.steps = 100000;
        for (const auto& c : cases) {
            QVERIFY(writeFileAtomically(sheet, head + c.body + tail));
            QString error;
            QVERIFY(!ReportTransform::transform(document, sheet, {}, &error, limits));
            QVERIFY2(error.startsWith(u"The style sheet was stopped: "_s), qPrintable(error));
            QVERIFY2(error.contains(QLatin1String(c.reason)), qPrintable(error));
        }
        // Within the limits, the same machinery gives the report.
        QVERIFY(writeFileAtomically(
            sheet, head + "<r><xsl:value-of select=\"count(//ENTRY)\"/></r></xsl:template>" + tail));
        QString error;
        const std::optional<QByteArray> result =
            ReportTransform::transform(document, sheet, {}, &error, limits);
        QVERIFY2(result, qPrintable(error));
        QVERIFY(result->contains("<r>200</r>"));
    }
};

QTEST_MAIN(TestHtmlReport)
#include "tst_html_report.moc"
