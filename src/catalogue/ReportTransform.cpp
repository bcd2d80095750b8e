#include "ReportTransform.h"

#include "base/FileUtil.h"

#include <QFileInfo>
#include <cstdarg>
#include <cstdio>
#include <libxml/parser.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>
#include <memory>

namespace tavimor {

namespace {

constexpr qint64 kMaxStyleSheetSize = 4 * 1024 * 1024;
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOCDATA;

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct StyleFree {
    void operator()(xsltStylesheet* style) const { xsltFreeStylesheet(style); }
};
struct ContextFree {
    void operator()(xsltTransformContext* context) const { xsltFreeTransformContext(context); }
};
struct PrefsFree {
    void operator()(xsltSecurityPrefs* prefs) const { xsltFreeSecurityPrefs(prefs); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

std::unique_ptr<xsltSecurityPrefs, PrefsFree> denyAll() {
    std::unique_ptr<xsltSecurityPrefs, PrefsFree> prefs(xsltNewSecurityPrefs());
    if (!prefs)
        return prefs;
    for (xsltSecurityOption option :
         {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
          XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK})
        xsltSetSecurityPrefs(prefs.get(), option, xsltSecurityForbid);
    return prefs;
}

// Style sheets may import others while they are compiled; ours never does, so forbid it for good.
void forbidLoadingByDefault() {
    static const bool done = [] {
        xsltSetDefaultSecurityPrefs(denyAll().release());
        return true;
    }();
    Q_UNUSED(done);
}

// libxml2 and libxslt report their errors as printf-style text; the first line tells the user most.
void collectError(void* context, const char* format, ...) {
    auto* collected = static_cast<QString*>(context);
    if (!collected->isEmpty())
        return;
    char buffer[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    *collected = QString::fromUtf8(buffer).trimmed();
}

class ErrorCollector {
public:
    ErrorCollector() {
        xmlSetGenericErrorFunc(&m_text, collectError);
        xsltSetGenericErrorFunc(&m_text, collectError);
    }
    ~ErrorCollector() {
        xmlSetGenericErrorFunc(nullptr, nullptr);
        xsltSetGenericErrorFunc(nullptr, nullptr);
    }
    ErrorCollector(const ErrorCollector&) = delete;
    ErrorCollector& operator=(const ErrorCollector&) = delete;
    QString detail() const { return m_text.isEmpty() ? QString() : QStringLiteral("\r\n") + m_text; }

private:
    QString m_text;
};

DocPtr parse(const QByteArray& bytes, const char* url) {
    return DocPtr(xmlReadMemory(bytes.constData(), int(bytes.size()), url, nullptr, kParseOptions));
}

} // namespace

std::optional<QByteArray> ReportTransform::transform(const QByteArray& documentXml,
                                                     const QString& styleSheetPath,
                                                     const Parameters& parameters, QString* error) {
    ErrorCollector collector;
    auto fail = [error, &collector](const QString& text) -> std::optional<QByteArray> {
        if (error)
            *error = text + collector.detail();
        return std::nullopt;
    };
    forbidLoadingByDefault();

    QString why;
    const std::optional<QByteArray> styleText = readWholeFile(styleSheetPath, kMaxStyleSheetSize, &why);
    if (!styleText)
        return fail(QStringLiteral("The style sheet cannot be read: %1.").arg(why));
    DocPtr styleDoc = parse(*styleText, QFileInfo(styleSheetPath).fileName().toUtf8().constData());
    if (!styleDoc)
        return fail(QStringLiteral("The style sheet is not well-formed XML."));
    // On success the style sheet owns its document.
    std::unique_ptr<xsltStylesheet, StyleFree> style(xsltParseStylesheetDoc(styleDoc.get()));
    if (!style || style->errors > 0)
        return fail(QStringLiteral("The style sheet is not a valid XSLT style sheet."));
    styleDoc.release();

    DocPtr source = parse(documentXml, "report.xml");
    if (!source)
        return fail(QStringLiteral("The report document could not be read."));

    std::unique_ptr<xsltTransformContext, ContextFree> context(
        xsltNewTransformContext(style.get(), source.get()));
    const auto prefs = denyAll();
    if (!context || !prefs || xsltSetCtxtSecurityPrefs(prefs.get(), context.get()) != 0)
        return fail(QStringLiteral("The transform could not be prepared."));
    for (const auto& [name, value] : parameters) {
        const QByteArray utf8 = value.toUtf8();
        if (xsltQuoteOneUserParam(context.get(), reinterpret_cast<const xmlChar*>(name.constData()),
                                  reinterpret_cast<const xmlChar*>(utf8.constData())) != 0)
            return fail(QStringLiteral("The transform could not be prepared."));
    }

    DocPtr result(
        xsltApplyStylesheetUser(style.get(), source.get(), nullptr, nullptr, nullptr, context.get()));
    if (!result || context->state != XSLT_STATE_OK)
        return fail(QStringLiteral("The transform failed."));

    xmlChar* text = nullptr;
    int length = 0;
    if (xsltSaveResultToString(&text, &length, result.get(), style.get()) != 0)
        return fail(QStringLiteral("The transform's result could not be written out."));
    QByteArray html(reinterpret_cast<const char*>(text), length);
    xmlFree(text);
    return html;
}

} // namespace tavimor
