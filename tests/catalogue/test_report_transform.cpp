// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FileUtil.h"
#include "catalogue/ReportTransform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;

namespace {

const QByteArray kHead = "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                         "<xsl:template match=\"/\">";
const QByteArray kTail = "</xsl:stylesheet>";
const QByteArray kEveryNode = "<xsl:for-each select=\"//node()\">";
const QByteArray kThreeDeep = kEveryNode + kEveryNode + kEveryNode;
const QByteArray kCloseThree = "</xsl:for-each></xsl:for-each></xsl:for-each>";

QByteArray entries(int count) {
    QByteArray document = "<TAVIMOR>";
    for (int i = 0; i < count; ++i)
        document += "<ENTRY><NAME>Entry " + QByteArray::number(i) + " with a name</NAME></ENTRY>";
    return document + "</TAVIMOR>";
}

struct Runaway {
    const char* name;
    QByteArray body;
    const char* reason;
};

void PrintTo(const Runaway& sheet, std::ostream* out) {
    *out << sheet.name;
}

class RunawaySheet : public testing::TestWithParam<Runaway> {};

} // namespace

TEST(ReportTransform, reachesNoFiles) {
    QTemporaryDir dir;
    const QString secret = dir.filePath(u"secret.xml"_s);
    ASSERT_TRUE(writeFileAtomically(secret, "<s>hidden words</s>"));
    const QString written = dir.filePath(u"written.txt"_s);
    const QString sheet = dir.filePath(u"sheet.xsl"_s);
    ASSERT_TRUE(writeFileAtomically(
        sheet, "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" "
               "xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes=\"exsl\">"
               "<xsl:template match=\"/\"><out><xsl:value-of select=\"document('" +
                   QUrl::fromLocalFile(secret).toEncoded() + "')\"/><exsl:document href=\"" +
                   QUrl::fromLocalFile(written).toEncoded() +
                   "\" method=\"text\">x</exsl:document></out></xsl:template></xsl:stylesheet>"));
    QString error;
    const std::optional<QByteArray> result = ReportTransform::transform("<TAVIMOR/>", sheet, {}, &error);
    EXPECT_TRUE(!result || !result->contains("hidden words"));
    EXPECT_FALSE(QFile::exists(written));
}

// A sheet that is missing, cut short or no style sheet at all gives no page, and says why.
TEST(ReportTransform, aMissingOrBrokenSheetIsAnError) {
    QTemporaryDir dir;
    const QString sheet = dir.filePath(u"sheet.xsl"_s);
    for (const QByteArray& bytes :
         {QByteArray(), QByteArray("<xsl:stylesheet"), QByteArray("<?xml version=\"1.0\"?><html/>")}) {
        QFile::remove(sheet);
        if (!bytes.isEmpty()) {
            ASSERT_TRUE(writeFileAtomically(sheet, bytes));
        }
        QString error;
        EXPECT_FALSE(ReportTransform::transform("<TAVIMOR/>", sheet, {}, &error)) << bytes.constData();
        EXPECT_FALSE(error.isEmpty()) << bytes.constData();
    }
}

// A user-edited style sheet may recurse for ever, copy the document into itself or loop without end:
// each is stopped with a reason, before it takes the machine's memory or time.
TEST_P(RunawaySheet, isStoppedWithItsReason) {
    QTemporaryDir dir;
    const QString sheet = dir.filePath(u"sheet.xsl"_s);
    ReportLimits limits;
    limits.memory = 16 * 1024 * 1024;
    limits.steps = 100000;
    ASSERT_TRUE(writeFileAtomically(sheet, kHead + GetParam().body + kTail));
    QString error;
    EXPECT_FALSE(ReportTransform::transform(entries(200), sheet, {}, &error, limits));
    EXPECT_TRUE(error.startsWith(u"The style sheet was stopped: "_s)) << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String(GetParam().reason))) << error.toStdString();

    // Within the same limits, the same machinery gives the report.
    ASSERT_TRUE(writeFileAtomically(
        sheet, kHead + "<r><xsl:value-of select=\"count(//ENTRY)\"/></r></xsl:template>" + kTail));
    const std::optional<QByteArray> result =
        ReportTransform::transform(entries(200), sheet, {}, &error, limits);
    ASSERT_TRUE(result) << error.toStdString();
    EXPECT_TRUE(result->contains("<r>200</r>"));
}

INSTANTIATE_TEST_SUITE_P(
    ReportTransform, RunawaySheet,
    testing::Values(
        Runaway{"endlessRecursion",
                "<xsl:call-template name=\"t\"/></xsl:template><xsl:template name=\"t\"><x>"
                "<xsl:call-template name=\"t\"/></x></xsl:template>",
                "nests templates more than 1,000 deep"},
        Runaway{"copiesOfTheDocument",
                "<r>" + kThreeDeep + "<xsl:copy-of select=\"/\"/>" + kCloseThree + "</r></xsl:template>",
                "the report took more than 16 MB of memory"},
        Runaway{"textsOfTheDocument",
                "<r>" + kThreeDeep + "<xsl:value-of select=\"/\"/>" + kCloseThree + "</r></xsl:template>",
                "the report took more than 16 MB of memory"},
        Runaway{
            "exponentialSteps",
            "<xsl:call-template name=\"t\"><xsl:with-param name=\"n\" select=\"40\"/></xsl:call-template>"
            "</xsl:template><xsl:template name=\"t\"><xsl:param name=\"n\"/><xsl:if test=\"$n &gt; 0\">"
            "<xsl:call-template name=\"t\"><xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template>"
            "<xsl:call-template name=\"t\"><xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template>"
            "</xsl:if></xsl:template>",
            "it took more than 100,000 steps"}),
    [](const testing::TestParamInfo<Runaway>& info) { return std::string(info.param.name); });
