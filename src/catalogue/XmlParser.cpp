#include "XmlTree.h"

#include <cstring>
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
    for (const xmlChar** a = attributes; a && a[0]; a += 2) {
        const char* value = a[1] ? C(a[1]) : "";
        tree.setAttr(node, tree.addName(C(a[0]), qsizetype(std::strlen(C(a[0])))),
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

} // namespace

bool parseXml(const QByteArray& bytes, bool ignoreDeclaredEncoding, XmlTree& tree) {
    tree.clear();
    initLibxml();
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<int>::max() || bytes.contains("<!DOCTYPE"))
        return false;

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

    xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(bytes.constData(), int(bytes.size()));
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
    xmlParseDocument(ctxt);
    const bool ok = ctxt->wellFormed && !b.refused && tree.nodes[0].firstChild != XmlTree::npos;
    xmlFreeParserCtxt(ctxt);
    if (!ok)
        tree.clear();
    return ok;
}

} // namespace tavimor
