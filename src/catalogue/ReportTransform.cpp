// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReportTransform.h"

#include "base/FileUtil.h"
#include "catalogue/XsltLibrary.h"

#include <QFileInfo>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <libxml/parser.h>
#include <malloc.h>
#include <memory>

namespace tavimor {

namespace {

// Called only once transform() has the library.
const XsltLibrary& xslt() {
    return *XsltLibrary::get();
}

constexpr qint64 kMaxStyleSheetSize = 4 * 1024 * 1024;
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOCDATA;

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct StyleFree {
    void operator()(xsltStylesheet* style) const { xslt().xsltFreeStylesheet(style); }
};
struct ContextFree {
    void operator()(xsltTransformContext* context) const { xslt().xsltFreeTransformContext(context); }
};
struct PrefsFree {
    void operator()(xsltSecurityPrefs* prefs) const { xslt().xsltFreeSecurityPrefs(prefs); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

std::unique_ptr<xsltSecurityPrefs, PrefsFree> denyAll() {
    std::unique_ptr<xsltSecurityPrefs, PrefsFree> prefs(xslt().xsltNewSecurityPrefs());
    if (!prefs)
        return prefs;
    for (xsltSecurityOption option :
         {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
          XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK})
        xslt().xsltSetSecurityPrefs(prefs.get(), option, xslt().xsltSecurityForbid);
    return prefs;
}

// Style sheets may import others while they are compiled; ours never does, so forbid it for good.
void forbidLoadingByDefault() {
    static const bool done = [] {
        xslt().xsltSetDefaultSecurityPrefs(denyAll().release());
        return true;
    }();
    Q_UNUSED(done);
}

// libxml2 and libxslt report their errors as printf-style text; the first line tells the user most.
struct CollectedErrors {
    QString first;
    bool recursion = false; // libxslt's depth and variable limits both report a recursion
};

void collectError(void* context, const char* format, ...) {
    auto* collected = static_cast<CollectedErrors*>(context);
    char buffer[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    collected->recursion = collected->recursion || std::strstr(buffer, "infinite template recursion");
    if (collected->first.isEmpty())
        collected->first = QString::fromUtf8(buffer).trimmed();
}

class ErrorCollector {
public:
    ErrorCollector() {
        xmlSetGenericErrorFunc(&m_errors, collectError);
        xslt().xsltSetGenericErrorFunc(&m_errors, collectError);
    }
    ~ErrorCollector() {
        xmlSetGenericErrorFunc(nullptr, nullptr);
        xslt().xsltSetGenericErrorFunc(nullptr, nullptr);
    }
    ErrorCollector(const ErrorCollector&) = delete;
    ErrorCollector& operator=(const ErrorCollector&) = delete;
    QString detail() const {
        return m_errors.first.isEmpty() ? QString() : QStringLiteral("\r\n") + m_errors.first;
    }
    bool sawRecursion() const { return m_errors.recursion; }

private:
    CollectedErrors m_errors;
};

// libxslt has no limit on the memory a transform takes, so libxml2's allocator is counted while
// one runs, and the transform is stopped when it holds more than its limit.
struct MemoryWatch {
    xsltTransformContext* context = nullptr;
    qint64 held = 0;
    qint64 limit = 0;
    bool exceeded = false;
};
MemoryWatch* g_watch = nullptr; // only while a transform runs, on the thread that runs it

void account(qint64 delta) {
    if (!g_watch)
        return;
    g_watch->held += delta;
    if (g_watch->held > g_watch->limit && !g_watch->exceeded) {
        g_watch->exceeded = true;
        g_watch->context->state = XSLT_STATE_STOPPED;
    }
}

void* countedMalloc(size_t size) {
    void* block = std::malloc(size);
    if (block)
        account(qint64(malloc_usable_size(block)));
    return block;
}

void* countedRealloc(void* block, size_t size) {
    const qint64 before = block ? qint64(malloc_usable_size(block)) : 0;
    void* moved = std::realloc(block, size);
    if (moved)
        account(qint64(malloc_usable_size(moved)) - before);
    return moved;
}

void countedFree(void* block) {
    if (block)
        account(-qint64(malloc_usable_size(block)));
    std::free(block);
}

char* countedStrdup(const char* text) {
    const size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(countedMalloc(size));
    if (copy)
        std::memcpy(copy, text, size);
    return copy;
}

// The counting functions call the C library's own, so blocks made before they were set are
// freed correctly by them too.
void countLibxmlMemory() {
    static const bool done = [] {
        xmlMemSetup(countedFree, countedMalloc, countedRealloc, countedStrdup);
        return true;
    }();
    Q_UNUSED(done);
}

class WatchedRun {
public:
    WatchedRun(MemoryWatch& watch) { g_watch = &watch; }
    ~WatchedRun() { g_watch = nullptr; }
    WatchedRun(const WatchedRun&) = delete;
    WatchedRun& operator=(const WatchedRun&) = delete;
};

QString megabytes(qint64 bytes) {
    return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
}

DocPtr parse(const QByteArray& bytes, const char* url) {
    return DocPtr(xmlReadMemory(bytes.constData(), int(bytes.size()), url, nullptr, kParseOptions));
}

} // namespace

std::optional<QByteArray> ReportTransform::transform(const QByteArray& documentXml,
                                                     const QString& styleSheetPath,
                                                     const Parameters& parameters, QString* error,
                                                     const ReportLimits& limits) {
    QString missing;
    if (!XsltLibrary::get(&missing)) {
        if (error)
            *error = missing + QLatin1Char('.');
        return std::nullopt;
    }
    ErrorCollector collector;
    auto fail = [error, &collector](const QString& text) -> std::optional<QByteArray> {
        if (error)
            *error = text + collector.detail();
        return std::nullopt;
    };
    forbidLoadingByDefault();
    countLibxmlMemory();

    QString why;
    const std::optional<QByteArray> styleText = readWholeFile(styleSheetPath, kMaxStyleSheetSize, &why);
    if (!styleText)
        return fail(QStringLiteral("The style sheet cannot be read: %1.").arg(why));
    DocPtr styleDoc = parse(*styleText, QFileInfo(styleSheetPath).fileName().toUtf8().constData());
    if (!styleDoc)
        return fail(QStringLiteral("The style sheet is not well-formed XML."));
    // On success the style sheet owns its document.
    std::unique_ptr<xsltStylesheet, StyleFree> style(xslt().xsltParseStylesheetDoc(styleDoc.get()));
    if (!style || style->errors > 0)
        return fail(QStringLiteral("The style sheet is not a valid XSLT style sheet."));
    styleDoc.release();

    DocPtr source = parse(documentXml, "report.xml");
    if (!source)
        return fail(QStringLiteral("The report document could not be read."));

    std::unique_ptr<xsltTransformContext, ContextFree> context(
        xslt().xsltNewTransformContext(style.get(), source.get()));
    const auto prefs = denyAll();
    if (!context || !prefs || xslt().xsltSetCtxtSecurityPrefs(prefs.get(), context.get()) != 0)
        return fail(QStringLiteral("The transform could not be prepared."));
    for (const auto& [name, value] : parameters) {
        const QByteArray utf8 = value.toUtf8();
        if (xslt().xsltQuoteOneUserParam(context.get(), reinterpret_cast<const xmlChar*>(name.constData()),
                                         reinterpret_cast<const xmlChar*>(utf8.constData())) != 0)
            return fail(QStringLiteral("The transform could not be prepared."));
    }

    context->maxTemplateDepth = limits.depth;
    context->maxTemplateVars = limits.variables;
    context->opLimit = limits.steps;
    if (context->xpathCtxt)
        context->xpathCtxt->opLimit = limits.steps;

    MemoryWatch watch{context.get(), 0, limits.memory, false};
    DocPtr result;
    {
        const WatchedRun run(watch);
        result.reset(xslt().xsltApplyStylesheetUser(style.get(), source.get(), nullptr, nullptr, nullptr,
                                                    context.get()));
    }
    const QString stopped = QStringLiteral("The style sheet was stopped: ");
    if (watch.exceeded)
        return fail(stopped +
                    QStringLiteral("the report took more than %1 of memory.").arg(megabytes(limits.memory)));
    if (context->opCount >= limits.steps ||
        (context->xpathCtxt && context->xpathCtxt->opCount >= limits.steps))
        return fail(stopped + QStringLiteral("it took more than %L1 steps.").arg(limits.steps));
    if (collector.sawRecursion())
        return fail(stopped + QStringLiteral("it nests templates more than %L1 deep or holds more than %L2 "
                                             "variables at once (an endless recursion?).")
                                  .arg(limits.depth)
                                  .arg(limits.variables));
    if (!result || context->state != XSLT_STATE_OK)
        return fail(QStringLiteral("The transform failed."));

    xmlChar* text = nullptr;
    int length = 0;
    if (xslt().xsltSaveResultToString(&text, &length, result.get(), style.get()) != 0)
        return fail(QStringLiteral("The transform's result could not be written out."));
    if (length > limits.output) {
        xmlFree(text);
        return fail(stopped + QStringLiteral("the report is larger than %1.").arg(megabytes(limits.output)));
    }
    QByteArray html(reinterpret_cast<const char*>(text), length);
    xmlFree(text);
    return html;
}

} // namespace tavimor
