#include "XmlDocument.h"

#include <QFile>
#include <QRegularExpression>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <limits>
#include <memory>

namespace tavimor {

namespace {

xmlNodePtr N(void* p) {
    return static_cast<xmlNodePtr>(p);
}
xmlDocPtr D(void* p) {
    return static_cast<xmlDocPtr>(p);
}

const xmlChar* X(const QByteArray& bytes) {
    return reinterpret_cast<const xmlChar*>(bytes.constData());
}

QString fromXml(const xmlChar* text) {
    return text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QString();
}

QString takeXml(xmlChar* text) {
    QString result = fromXml(text);
    xmlFree(text);
    return result;
}

// Nothing the program parses may reach a file or the network through an entity or a DTD.
xmlParserInputPtr refuseExternalEntity(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}

void ignoreParserMessage(void*, const char*, ...) {
}
void ignoreStructuredMessage(void*, xmlErrorPtr) {
}

void initLibxml() {
    static const bool done = [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
        xmlSetGenericErrorFunc(nullptr, ignoreParserMessage);
        xmlSetStructuredErrorFunc(nullptr, ignoreStructuredMessage);
        xmlThrDefTreeIndentString("\t");
        xmlTreeIndentString = "\t";
        return true;
    }();
    Q_UNUSED(done);
}

xmlDocPtr newEmptyDoc() {
    initLibxml();
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    doc->encoding = xmlStrdup(BAD_CAST "UTF-8");
    return doc;
}

bool isBlank(const xmlChar* content) {
    if (!content)
        return true;
    for (const xmlChar* c = content; *c; ++c)
        if (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\n')
            return false;
    return true;
}

// Whitespace-only text between elements carries no content; dropping it makes positions
// count elements and makes the serialisation depend on content alone.
void stripBlankText(xmlNodePtr node) {
    for (xmlNodePtr child = node->children; child;) {
        xmlNodePtr next = child->next;
        if (child->type == XML_TEXT_NODE && isBlank(child->content)) {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        } else if (child->type == XML_ELEMENT_NODE) {
            stripBlankText(child);
        }
        child = next;
    }
}

bool hasEntityNodes(xmlNodePtr node) {
    for (xmlNodePtr child = node->children; child; child = child->next) {
        if (child->type == XML_ENTITY_REF_NODE || child->type == XML_ENTITY_NODE)
            return true;
        if (child->type == XML_ELEMENT_NODE && hasEntityNodes(child))
            return true;
    }
    return false;
}

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOWARNING | XML_PARSE_NOERROR;

xmlDocPtr parseSafely(const QByteArray& utf8) {
    initLibxml();
    // A catalogue never needs a document type; refusing it up front rules out entity tricks.
    if (utf8.contains("<!DOCTYPE") || utf8.size() > std::numeric_limits<int>::max())
        return nullptr;
    xmlDocPtr doc = xmlReadMemory(utf8.constData(), int(utf8.size()), nullptr, "UTF-8", kParseOptions);
    if (!doc)
        return nullptr;
    if (doc->intSubset || doc->extSubset || !xmlDocGetRootElement(doc) ||
        hasEntityNodes(xmlDocGetRootElement(doc))) {
        xmlFreeDoc(doc);
        return nullptr;
    }
    stripBlankText(reinterpret_cast<xmlNodePtr>(doc));
    xmlFree(const_cast<xmlChar*>(doc->encoding));
    doc->encoding = xmlStrdup(BAD_CAST "UTF-8");
    return doc;
}

struct XPathContextDeleter {
    void operator()(xmlXPathContextPtr p) const { xmlXPathFreeContext(p); }
};
struct XPathObjectDeleter {
    void operator()(xmlXPathObjectPtr p) const { xmlXPathFreeObject(p); }
};

QList<XmlNode> evaluate(xmlDocPtr doc, xmlNodePtr context, const QString& address, bool firstOnly) {
    QList<XmlNode> result;
    if (!doc || !context || address.isEmpty())
        return result;
    std::unique_ptr<xmlXPathContext, XPathContextDeleter> ctx(xmlXPathNewContext(doc));
    if (!ctx)
        return result;
    ctx->node = context;
    const QByteArray expr = XmlDocument::toXPath(address).toUtf8();
    std::unique_ptr<xmlXPathObject, XPathObjectDeleter> obj(xmlXPathEvalExpression(X(expr), ctx.get()));
    if (!obj || obj->type != XPATH_NODESET || !obj->nodesetval)
        return result;
    const int count = obj->nodesetval->nodeNr;
    for (int i = 0; i < count; ++i) {
        result.append(XmlNode::fromNative(obj->nodesetval->nodeTab[i]));
        if (firstOnly)
            break;
    }
    return result;
}

} // namespace

// XmlNode

QString XmlNode::nodeName() const {
    if (!m_node)
        return {};
    switch (N(m_node)->type) {
    case XML_TEXT_NODE:
        return QStringLiteral("#text");
    case XML_CDATA_SECTION_NODE:
        return QStringLiteral("#cdata-section");
    case XML_COMMENT_NODE:
        return QStringLiteral("#comment");
    default:
        return fromXml(N(m_node)->name);
    }
}

bool XmlNode::isElement() const {
    return m_node && N(m_node)->type == XML_ELEMENT_NODE;
}

QString XmlNode::text() const {
    return m_node ? takeXml(xmlNodeGetContent(N(m_node))) : QString();
}

void XmlNode::setText(const QString& text) {
    if (!m_node)
        return;
    xmlNodePtr node = N(m_node);
    if (node->type != XML_ELEMENT_NODE) {
        xmlNodeSetContent(node, X(text.toUtf8()));
        return;
    }
    // An empty text leaves no child at all, so "" serialises the same as an empty element.
    for (xmlNodePtr child = node->children; child;) {
        xmlNodePtr next = child->next;
        xmlUnlinkNode(child);
        xmlFreeNode(child);
        child = next;
    }
    if (!text.isEmpty()) {
        const QByteArray utf8 = text.toUtf8();
        xmlAddChild(node, xmlNewDocTextLen(node->doc, X(utf8), int(utf8.size())));
    }
}

std::optional<QString> XmlNode::attribute(const QString& name) const {
    if (!isElement())
        return std::nullopt;
    const QByteArray key = name.toUtf8();
    xmlAttrPtr attr = xmlHasProp(N(m_node), X(key));
    if (!attr || attr->type != XML_ATTRIBUTE_NODE)
        return std::nullopt;
    return takeXml(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attr)));
}

std::optional<QString> XmlNode::firstAttribute() const {
    if (!isElement() || !N(m_node)->properties)
        return std::nullopt;
    return takeXml(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(N(m_node)->properties)));
}

QList<std::pair<QString, QString>> XmlNode::attributes() const {
    QList<std::pair<QString, QString>> result;
    if (!isElement())
        return result;
    for (xmlAttrPtr attr = N(m_node)->properties; attr; attr = attr->next)
        result.append({fromXml(attr->name), takeXml(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attr)))});
    return result;
}

void XmlNode::setAttribute(const QString& name, const QString& value) {
    if (isElement())
        xmlSetProp(N(m_node), X(name.toUtf8()), X(value.toUtf8()));
}

XmlNode XmlNode::parentNode() const {
    if (!m_node || !N(m_node)->parent || N(m_node)->parent->type == XML_DOCUMENT_NODE)
        return XmlNode();
    return XmlNode(N(m_node)->parent);
}

QList<XmlNode> XmlNode::childNodes() const {
    QList<XmlNode> result;
    if (!m_node)
        return result;
    for (xmlNodePtr child = N(m_node)->children; child; child = child->next)
        result.append(XmlNode(child));
    return result;
}

XmlNode XmlNode::firstChildElement() const {
    if (!m_node)
        return XmlNode();
    for (xmlNodePtr child = N(m_node)->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            return XmlNode(child);
    return XmlNode();
}

XmlNode XmlNode::firstChildElement(const char* name) const {
    if (!m_node)
        return XmlNode();
    for (xmlNodePtr child = N(m_node)->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, BAD_CAST name))
            return XmlNode(child);
    return XmlNode();
}

XmlNode XmlNode::nextSiblingElement() const {
    if (!m_node)
        return XmlNode();
    for (xmlNodePtr next = N(m_node)->next; next; next = next->next)
        if (next->type == XML_ELEMENT_NODE)
            return XmlNode(next);
    return XmlNode();
}

XmlNode XmlNode::selectSingleNode(const QString& address) const {
    const QList<XmlNode> nodes =
        m_node ? evaluate(N(m_node)->doc, N(m_node), address, true) : QList<XmlNode>();
    return nodes.isEmpty() ? XmlNode() : nodes.first();
}

QList<XmlNode> XmlNode::selectNodes(const QString& address) const {
    return m_node ? evaluate(N(m_node)->doc, N(m_node), address, false) : QList<XmlNode>();
}

void XmlNode::appendChild(const XmlNode& child) {
    if (m_node && child.m_node && N(child.m_node)->doc == N(m_node)->doc) {
        xmlUnlinkNode(N(child.m_node));
        xmlAddChild(N(m_node), N(child.m_node));
    }
}

// XmlDocument

XmlDocument::XmlDocument()
    : m_doc(newEmptyDoc()) {
}

XmlDocument::~XmlDocument() {
    if (m_doc)
        xmlFreeDoc(D(m_doc));
}

XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : m_doc(std::exchange(other.m_doc, newEmptyDoc())) {
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept {
    if (this != &other)
        std::swap(m_doc, other.m_doc);
    return *this;
}

bool XmlDocument::loadXML(const QString& text) {
    return loadXML(text.toUtf8());
}

bool XmlDocument::loadXML(const QByteArray& utf8) {
    xmlDocPtr parsed = parseSafely(utf8);
    xmlFreeDoc(D(m_doc));
    m_doc = parsed ? parsed : newEmptyDoc();
    return parsed != nullptr;
}

bool XmlDocument::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        clear();
        return false;
    }
    // Bytes go to the parser as they are, so that the file's own declared encoding counts.
    const QByteArray bytes = file.readAll();
    initLibxml();
    xmlDocPtr doc = nullptr;
    if (!bytes.contains("<!DOCTYPE") && bytes.size() < std::numeric_limits<int>::max())
        doc = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr, kParseOptions);
    if (doc && (doc->intSubset || doc->extSubset || !xmlDocGetRootElement(doc) ||
                hasEntityNodes(xmlDocGetRootElement(doc)))) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    xmlFreeDoc(D(m_doc));
    m_doc = doc ? doc : newEmptyDoc();
    return doc != nullptr;
}

void XmlDocument::clear() {
    xmlFreeDoc(D(m_doc));
    m_doc = newEmptyDoc();
}

bool XmlDocument::isEmpty() const {
    return D(m_doc)->children == nullptr;
}

QByteArray XmlDocument::serialize() const {
    if (isEmpty())
        return {};
    int options = XML_SAVE_FORMAT;
    // A processing instruction named "xml" is the document's declaration, so no other is written.
    const xmlNodePtr first = D(m_doc)->children;
    if (first->type == XML_PI_NODE && xmlStrEqual(first->name, BAD_CAST "xml"))
        options |= XML_SAVE_NO_DECL;
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, "UTF-8", options);
    QByteArray result;
    if (save) {
        xmlSaveDoc(save, D(m_doc));
        xmlSaveClose(save);
        result = QByteArray(reinterpret_cast<const char*>(xmlBufferContent(buffer)), xmlBufferLength(buffer));
    }
    xmlBufferFree(buffer);
    return result;
}

QString XmlDocument::xml() const {
    return QString::fromUtf8(serialize());
}

XmlNode XmlDocument::documentElement() const {
    return XmlNode::fromNative(xmlDocGetRootElement(D(m_doc)));
}

XmlNode XmlDocument::selectSingleNode(const QString& address) const {
    const QList<XmlNode> nodes = evaluate(D(m_doc), reinterpret_cast<xmlNodePtr>(m_doc), address, true);
    return nodes.isEmpty() ? XmlNode() : nodes.first();
}

QList<XmlNode> XmlDocument::selectNodes(const QString& address) const {
    return evaluate(D(m_doc), reinterpret_cast<xmlNodePtr>(m_doc), address, false);
}

XmlNode XmlDocument::createElement(const QString& name) {
    return XmlNode::fromNative(xmlNewDocNode(D(m_doc), nullptr, X(name.toUtf8()), nullptr));
}

XmlNode XmlDocument::createProcessingInstruction(const QString& target, const QString& data) {
    return XmlNode::fromNative(xmlNewDocPI(D(m_doc), X(target.toUtf8()), X(data.toUtf8())));
}

void XmlDocument::appendChild(const XmlNode& child) {
    xmlNodePtr node = N(child.nativeHandle());
    if (!node || node->doc != D(m_doc))
        return;
    xmlUnlinkNode(node);
    if (node->type == XML_ELEMENT_NODE && xmlDocGetRootElement(D(m_doc)))
        return; // a document has one root element
    xmlAddChild(reinterpret_cast<xmlNodePtr>(m_doc), node);
}

XmlNode XmlDocument::importNode(const XmlNode& node) {
    if (node.isNull())
        return XmlNode();
    return XmlNode::fromNative(xmlDocCopyNode(N(node.nativeHandle()), D(m_doc), 1));
}

QString XmlDocument::toXPath(const QString& address) {
    static const QRegularExpression position(QStringLiteral("\\[(\\d+)\\]"));
    QString result;
    result.reserve(address.size() + 4);
    qsizetype last = 0;
    for (auto it = position.globalMatch(address); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        result += QStringView(address).mid(last, m.capturedStart() - last);
        bool ok = false;
        const qulonglong n = m.capturedView(1).toULongLong(&ok);
        result += QLatin1Char('[') + (ok ? QString::number(n + 1) : QStringLiteral("0")) + QLatin1Char(']');
        last = m.capturedEnd();
    }
    result += QStringView(address).mid(last);
    return result;
}

} // namespace tavimor
