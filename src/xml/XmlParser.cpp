// SPDX-License-Identifier: GPL-3.0-or-later
#include "XmlTree.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <string>

namespace tavimor {

namespace {

// Nothing the program parses may reach a file or the network through an entity or a DTD.
xmlParserInputPtr refuseExternalEntity(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}
void ignoreMessage(void*, const char*, ...) {
}
void ignoreStructuredMessage(void*, xmlErrorPtr) {
}

void initLibxml() {
    static const bool done = [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
        xmlSetGenericErrorFunc(nullptr, ignoreMessage);
        xmlSetStructuredErrorFunc(nullptr, ignoreStructuredMessage);
        return true;
    }();
    Q_UNUSED(done);
}

struct Builder {
    XmlTree& tree;
    quint32 current = 0;
    std::string pendingText;
    bool refused = false;

    // Whitespace-only text between elements carries no content; dropping it makes positions
    // count elements and the serialisation depend on content alone.
    void flushText() {
        if (pendingText.empty())
            return;
        bool blank = true;
        for (const char c : pendingText)
            blank = blank && (c == ' ' || c == '\t' || c == '\r' || c == '\n');
        if (!blank)
            tree.append(current,
                        tree.newNode(XmlTree::Text, XmlTree::npos,
                                     tree.addString(pendingText.data(), qsizetype(pendingText.size()))));
        pendingText.clear();
    }
};

Builder& builder(void* ctx) {
    return *static_cast<Builder*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
}

const char* C(const xmlChar* s) {
    return reinterpret_cast<const char*>(s);
}

void onStartElement(void* ctx, const xmlChar* name, const xmlChar** attributes) {
    Builder& b = builder(ctx);
    b.flushText();
    XmlTree& tree = b.tree;
    const quint32 node =
        tree.newNode(XmlTree::Element, tree.addName(C(name), qsizetype(std::strlen(C(name)))), XmlTree::npos);
    tree.append(b.current, node);
    if (tree.keepLines) {
        tree.lines.resize(node + 1, 0);
        tree.lines[node] = quint32(std::max(0, xmlSAX2GetLineNumber(ctx)));
    }
    // libxml2 has refused repeated names already, so each attribute goes at the end in turn.
    quint32 last = XmlTree::npos;
    for (const xmlChar** a = attributes; a && a[0]; a += 2) {
        const char* value = a[1] ? C(a[1]) : "";
        last = tree.appendAttr(node, last, tree.addName(C(a[0]), qsizetype(std::strlen(C(a[0])))),
                               tree.addString(value, qsizetype(std::strlen(value))));
    }
    b.current = node;
}

void onEndElement(void* ctx, const xmlChar*) {
    Builder& b = builder(ctx);
    b.flushText();
    b.current = b.tree.nodes[b.current].parent;
}

void onCharacters(void* ctx, const xmlChar* text, int size) {
    builder(ctx).pendingText.append(C(text), size_t(size));
}

void onCData(void* ctx, const xmlChar* text, int size) {
    Builder& b = builder(ctx);
    b.flushText();
    b.tree.append(b.current, b.tree.newNode(XmlTree::CData, XmlTree::npos, b.tree.addString(C(text), size)));
}

void onComment(void* ctx, const xmlChar* text) {
    Builder& b = builder(ctx);
    b.flushText();
    b.tree.append(b.current, b.tree.newNode(XmlTree::Comment, XmlTree::npos,
                                            b.tree.addString(C(text), qsizetype(std::strlen(C(text))))));
}

void onProcessingInstruction(void* ctx, const xmlChar* target, const xmlChar* data) {
    Builder& b = builder(ctx);
    b.flushText();
    const char* d = data ? C(data) : "";
    b.tree.append(b.current,
                  b.tree.newNode(XmlTree::Pi, b.tree.addName(C(target), qsizetype(std::strlen(C(target)))),
                                 b.tree.addString(d, qsizetype(std::strlen(d)))));
}

// A document type is never needed and is the door to entity tricks, so it ends the parse.
void onInternalSubset(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    builder(ctx).refused = true;
    xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
}

xmlEntityPtr onGetEntity(void*, const xmlChar* name) {
    return xmlGetPredefinedEntity(name);
}

// libxml2 checks each attribute of a start tag against every one before it, which takes
// minutes for a tag with a few hundred thousand; so they are counted first, in one pass.
// Every attribute libxml2 accepts has its "=" outside quotes after its tag's "<" and before
// the next "<" or the tag's closing ">", so the count is never below what libxml2 would take.
qsizetype mostAttributesInOneTag(QByteArrayView text) {
    static constexpr struct {
        QByteArrayView open;
        QByteArrayView close;
    } kSkipped[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
    qsizetype most = 0;
    qsizetype at = 0;
    while ((at = text.indexOf('<', at)) >= 0) {
        const QByteArrayView rest = text.sliced(at);
        bool skipped = false;
        for (const auto& kind : kSkipped) {
            if (!rest.startsWith(kind.open))
                continue;
            const qsizetype close = text.indexOf(kind.close, at + kind.open.size());
            if (close < 0)
                return most;
            at = close + kind.close.size();
            skipped = true;
            break;
        }
        if (skipped)
            continue;
        qsizetype count = 0;
        char quote = 0;
        for (++at; at < text.size() && text[at] != '<'; ++at) {
            const char c = text[at];
            if (quote != 0) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '=') {
                ++count;
            } else if (c == '>') {
                break;
            }
        }
        most = std::max(most, count);
    }
    return most;
}

QString parseError(xmlParserCtxtPtr ctxt) {
    const xmlError* error = xmlCtxtGetLastError(ctxt);
    if (!error || !error->message)
        return QStringLiteral("the text is not well-formed XML");
    return QStringLiteral("the text is not well-formed XML (line %1: %2)")
        .arg(error->line)
        .arg(QString::fromUtf8(error->message).trimmed());
}

} // namespace

bool parseXml(const QByteArray& bytes, bool ignoreDeclaredEncoding, XmlTree& tree, QString* error) {
    tree.clear();
    initLibxml();
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (bytes.isEmpty())
        return fail(QStringLiteral("the text is empty"));
    if (bytes.size() > std::numeric_limits<int>::max())
        return fail(QStringLiteral("the text is too large"));
    if (bytes.contains("<!DOCTYPE"))
        return fail(QStringLiteral("the text has a document type, which is never accepted"));
    if (const qsizetype most = mostAttributesInOneTag(bytes); most > kMaxAttributes)
        return fail(QStringLiteral("an element has %1 attributes; at most %2 are accepted")
                        .arg(most)
                        .arg(kMaxAttributes));

    // Every node but a text has a "<" of its own, and most texts stand in an element that has two.
    tree.reserve(size_t(bytes.count('<')));

    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = 1; // the plain interface: qualified names as written, xmlns as attributes
    sax.startElement = onStartElement;
    sax.endElement = onEndElement;
    sax.characters = onCharacters;
    sax.ignorableWhitespace = onCharacters;
    sax.cdataBlock = onCData;
    sax.comment = onComment;
    sax.processingInstruction = onProcessingInstruction;
    sax.internalSubset = onInternalSubset;
    sax.getEntity = onGetEntity;

    // Fed in pieces, the parser holds one piece of the text at a time: a copy of a large catalogue
    // would cost as much memory as the text itself.
    xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(nullptr, nullptr, nullptr, 0, nullptr);
    if (!ctxt)
        return false;
    std::memcpy(ctxt->sax, &sax, sizeof sax);
    ctxt->sax2 = 0;
    Builder b{tree, 0, {}, false};
    ctxt->_private = &b;
    int options = XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOWARNING | XML_PARSE_NOERROR;
    if (ignoreDeclaredEncoding) {
        options |= XML_PARSE_IGNORE_ENC;
        xmlSwitchEncoding(ctxt, XML_CHAR_ENCODING_UTF8);
    }
    xmlCtxtUseOptions(ctxt, options);
    ctxt->sax->startElementNs = nullptr;
    ctxt->sax->endElementNs = nullptr;
    ctxt->sax->initialized = 1;
    ctxt->sax2 = 0;
    constexpr qsizetype kPiece = 64 * 1024;
    for (qsizetype at = 0; at < bytes.size(); at += kPiece)
        if (xmlParseChunk(ctxt, bytes.constData() + at, int(std::min(kPiece, bytes.size() - at)), 0) != 0)
            break;
    xmlParseChunk(ctxt, nullptr, 0, 1);
    const bool ok = ctxt->wellFormed && !b.refused && tree.nodes[0].firstChild != XmlTree::npos;
    QString why;
    if (b.refused)
        why = QStringLiteral("the text has a document type, which is never accepted");
    else if (!ok)
        why = parseError(ctxt);
    xmlFreeParserCtxt(ctxt);
    if (!ok) {
        tree.clear();
        return fail(why);
    }
    if (error)
        error->clear();
    return true;
}

} // namespace tavimor
