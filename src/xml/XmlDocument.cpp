// SPDX-License-Identifier: GPL-3.0-or-later
#include "XmlDocument.h"

#include "XmlTree.h"
#include "base/FileUtil.h"

#include <QVarLengthArray>
#include <cstring>

namespace tavimor {

namespace {

constexpr quint32 npos = XmlTree::npos;
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

QString toQString(const XmlTree& tree, quint32 id) {
    return id == npos ? QString() : QString::fromUtf8(tree.stringData(id), tree.stringSize(id));
}

void appendText(const XmlTree& tree, quint32 node, QByteArray& out) {
    for (quint32 c = tree.nodes[node].firstChild; c != npos; c = tree.nodes[c].next) {
        const XmlTree::Node& child = tree.nodes[c];
        if (child.type == XmlTree::Text || child.type == XmlTree::CData)
            out.append(tree.stringData(child.value), tree.stringSize(child.value));
        else if (child.type == XmlTree::Element)
            appendText(tree, c, out);
    }
}

struct Step {
    quint32 name = npos; // npos for "*", any element
    qint64 position = -1;
};
using Steps = QVarLengthArray<Step, 8>;
using Nodes = QVarLengthArray<quint32, 4>;

// The id of an element name as the tree interned it; npos when the tree has no such name.
quint32 internedName(const XmlTree& tree, QStringView name) {
    QVarLengthArray<char, 64> utf8;
    for (const QChar c : name) {
        if (c.unicode() >= 0x80)
            return tree.findInterned(name.toUtf8());
        utf8.append(char(c.unicode()));
    }
    return tree.findInterned(utf8.constData(), utf8.size());
}

// The program's addresses: element names joined by "/", each with an optional position [n]
// counted from 0; a leading "/" starts at the document. Nothing else is needed, so nothing
// else is accepted. False also for a name the tree does not have, which selects nothing.
bool parseAddress(const XmlTree& tree, QStringView address, bool* absolute, Steps* steps) {
    *absolute = address.startsWith(QLatin1Char('/'));
    QStringView rest = *absolute ? address.mid(1) : address;
    if (rest.isEmpty())
        return false;
    while (true) {
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        const QStringView part = slash < 0 ? rest : rest.left(slash);
        Step step;
        QStringView name = part;
        const qsizetype open = part.indexOf(QLatin1Char('['));
        if (open >= 0) {
            if (!part.endsWith(QLatin1Char(']')))
                return false;
            bool ok = false;
            step.position = part.mid(open + 1, part.size() - open - 2).toLongLong(&ok);
            if (!ok || step.position < 0)
                return false;
            name = part.left(open);
        }
        if (name.isEmpty() || name.contains(QLatin1Char(']')))
            return false;
        if (name != QLatin1String("*")) {
            step.name = internedName(tree, name);
            if (step.name == npos)
                return false;
        }
        steps->append(step);
        if (slash < 0)
            return true;
        rest = rest.mid(slash + 1);
    }
}

Nodes select(const XmlTree& tree, quint32 context, const QString& address, bool firstOnly) {
    bool absolute = false;
    Steps steps;
    if (!parseAddress(tree, address, &absolute, &steps))
        return {};
    Nodes current{absolute ? 0u : context};
    for (qsizetype s = 0; s < steps.size() && !current.isEmpty(); ++s) {
        const Step& step = steps[s];
        const bool last = s == steps.size() - 1;
        Nodes next;
        for (const quint32 parent : std::as_const(current)) {
            if (step.position >= 0) {
                if (const quint32 c = tree.childElement(parent, step.name, size_t(step.position)); c != npos)
                    next.append(c);
            } else {
                for (quint32 c = tree.nodes[parent].firstChild; c != npos; c = tree.nodes[c].next) {
                    const XmlTree::Node& node = tree.nodes[c];
                    if (node.type != XmlTree::Element || (step.name != npos && node.name != step.name))
                        continue;
                    next.append(c);
                    if (last && firstOnly)
                        break;
                }
            }
            if (last && firstOnly && !next.isEmpty())
                break;
        }
        // Copied, not moved: Qt 6.4's move assignment of a QVarLengthArray leaks a heap buffer.
        current.clear();
        current.append(next.constData(), next.size());
    }
    return current;
}

} // namespace

// XmlNode

XmlTree& XmlNode::tree() const {
    return *m_doc->m_tree;
}

QString XmlNode::nodeName() const {
    if (!m_doc)
        return {};
    const XmlTree::Node& node = tree().nodes[m_index];
    switch (node.type) {
    case XmlTree::Element:
    case XmlTree::Pi:
        return toQString(tree(), node.name);
    case XmlTree::Text:
        return QStringLiteral("#text");
    case XmlTree::CData:
        return QStringLiteral("#cdata-section");
    case XmlTree::Comment:
        return QStringLiteral("#comment");
    case XmlTree::Document:
        return QStringLiteral("#document");
    }
    return {};
}

bool XmlNode::isElement() const {
    return m_doc && tree().nodes[m_index].type == XmlTree::Element;
}

QString XmlNode::text() const {
    if (!m_doc)
        return {};
    const XmlTree& t = tree();
    const XmlTree::Node& node = t.nodes[m_index];
    if (node.type != XmlTree::Element && node.type != XmlTree::Document)
        return toQString(t, node.value);
    // The usual case, one text child, needs no joining.
    const quint32 only = node.firstChild;
    if (only != npos && only == node.lastChild &&
        (t.nodes[only].type == XmlTree::Text || t.nodes[only].type == XmlTree::CData))
        return toQString(t, t.nodes[only].value);
    QByteArray joined;
    appendText(t, m_index, joined);
    return QString::fromUtf8(joined);
}

void XmlNode::setText(const QString& text) {
    if (!m_doc)
        return;
    XmlTree& t = tree();
    const QByteArray utf8 = text.toUtf8();
    XmlTree::Node& node = t.nodes[m_index];
    if (node.type != XmlTree::Element) {
        if (node.type != XmlTree::Document)
            node.value = t.addString(utf8);
        return;
    }
    const quint32 only = node.firstChild;
    if (!utf8.isEmpty() && only != npos && only == node.lastChild && t.nodes[only].type == XmlTree::Text) {
        t.nodes[only].value = t.addString(utf8);
        return;
    }
    // An empty text leaves no child at all, so "" serialises the same as an empty element.
    while (t.nodes[m_index].firstChild != npos) {
        const quint32 child = t.nodes[m_index].firstChild;
        t.unlink(child);
        t.release(child);
    }
    if (!utf8.isEmpty())
        t.append(m_index, t.newNode(XmlTree::Text, npos, t.addString(utf8)));
}

std::optional<QString> XmlNode::attribute(const QString& name) const {
    if (!isElement())
        return std::nullopt;
    const XmlTree& t = tree();
    const quint32 id = t.findInterned(name.toUtf8());
    if (id == npos)
        return std::nullopt;
    for (quint32 a = t.nodes[m_index].firstAttr; a != npos; a = t.attrs[a].next)
        if (t.attrs[a].name == id)
            return toQString(t, t.attrs[a].value);
    return std::nullopt;
}

std::optional<QString> XmlNode::firstAttribute() const {
    if (!isElement() || tree().nodes[m_index].firstAttr == npos)
        return std::nullopt;
    return toQString(tree(), tree().attrs[tree().nodes[m_index].firstAttr].value);
}

QList<std::pair<QString, QString>> XmlNode::attributes() const {
    QList<std::pair<QString, QString>> result;
    if (!isElement())
        return result;
    const XmlTree& t = tree();
    for (quint32 a = t.nodes[m_index].firstAttr; a != npos; a = t.attrs[a].next)
        result.append({toQString(t, t.attrs[a].name), toQString(t, t.attrs[a].value)});
    return result;
}

void XmlNode::setAttribute(const QString& name, const QString& value) {
    if (isElement())
        tree().setAttr(m_index, tree().addName(name.toUtf8()), tree().addString(value.toUtf8()));
}

void XmlNode::removeAttribute(const QString& name) {
    if (!isElement())
        return;
    // A name no element has was never interned.
    const quint32 id = tree().findInterned(name.toUtf8());
    if (id != XmlTree::npos)
        tree().removeAttr(m_index, id);
}

XmlNode XmlNode::parentNode() const {
    if (!m_doc)
        return {};
    const quint32 parent = tree().nodes[m_index].parent;
    return parent == npos || parent == 0 ? XmlNode() : XmlNode(m_doc, parent);
}

QList<XmlNode> XmlNode::childNodes() const {
    QList<XmlNode> result;
    if (!m_doc)
        return result;
    for (quint32 c = tree().nodes[m_index].firstChild; c != npos; c = tree().nodes[c].next)
        result.append(XmlNode(m_doc, c));
    return result;
}

XmlNode XmlNode::firstChildElement() const {
    if (!m_doc)
        return {};
    for (quint32 c = tree().nodes[m_index].firstChild; c != npos; c = tree().nodes[c].next)
        if (tree().nodes[c].type == XmlTree::Element)
            return XmlNode(m_doc, c);
    return {};
}

XmlNode XmlNode::firstChildElement(const char* name) const {
    if (!m_doc)
        return {};
    const XmlTree& t = tree();
    const quint32 id = t.findInterned(name, qsizetype(std::strlen(name)));
    if (id == npos)
        return {};
    for (quint32 c = t.nodes[m_index].firstChild; c != npos; c = t.nodes[c].next)
        if (t.nodes[c].type == XmlTree::Element && t.nodes[c].name == id)
            return XmlNode(m_doc, c);
    return {};
}

XmlNode XmlNode::nextSiblingElement() const {
    if (!m_doc)
        return {};
    for (quint32 c = tree().nodes[m_index].next; c != npos; c = tree().nodes[c].next)
        if (tree().nodes[c].type == XmlTree::Element)
            return XmlNode(m_doc, c);
    return {};
}

XmlNode XmlNode::selectSingleNode(const QString& address) const {
    if (!m_doc)
        return {};
    const Nodes found = select(tree(), m_index, address, true);
    return found.isEmpty() ? XmlNode() : XmlNode(m_doc, found.first());
}

QList<XmlNode> XmlNode::selectNodes(const QString& address) const {
    QList<XmlNode> result;
    if (!m_doc)
        return result;
    const Nodes found = select(tree(), m_index, address, false);
    result.reserve(found.size());
    for (const quint32 index : found)
        result.append(XmlNode(m_doc, index));
    return result;
}

void XmlNode::appendChild(const XmlNode& child) {
    if (!m_doc || child.m_doc != m_doc || child.m_index == 0 || !isElement())
        return;
    // A node cannot become its own descendant.
    for (quint32 p = m_index; p != npos; p = tree().nodes[p].parent)
        if (p == child.m_index)
            return;
    tree().unlink(child.m_index);
    tree().append(m_index, child.m_index);
}

void XmlNode::removeChild(const XmlNode& child) {
    if (!m_doc || child.m_doc != m_doc || child.m_index == 0 || tree().nodes[child.m_index].parent != m_index)
        return;
    tree().unlink(child.m_index);
    tree().release(child.m_index);
}

// XmlDocument

XmlDocument::XmlDocument()
    : m_tree(std::make_unique<XmlTree>()) {
}

XmlDocument::~XmlDocument() = default;

XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : m_tree(std::exchange(other.m_tree, std::make_unique<XmlTree>()))
    , m_loadError(std::exchange(other.m_loadError, QString())) {
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept {
    if (this != &other) {
        std::swap(m_tree, other.m_tree);
        std::swap(m_loadError, other.m_loadError);
    }
    return *this;
}

bool XmlDocument::loadXML(const QString& text) {
    return loadXML(text.toUtf8());
}

bool XmlDocument::loadXML(const QByteArray& utf8) {
    return parseXml(utf8, true, *m_tree, &m_loadError);
}

void XmlDocument::copyFrom(const XmlDocument& other) {
    if (this != &other) {
        *m_tree = *other.m_tree;
        m_loadError = other.m_loadError;
    }
}

bool XmlDocument::load(const QString& path) {
    QString why;
    const std::optional<QByteArray> bytes = readWholeFile(path, kMaxFileSize, &why);
    if (!bytes) {
        clear();
        m_loadError = QStringLiteral("%1 cannot be read: %2").arg(path, why);
        return false;
    }
    return loadEncoded(*bytes);
}

bool XmlDocument::loadEncoded(const QByteArray& bytes) {
    return parseXml(bytes, false, *m_tree, &m_loadError);
}

void XmlDocument::clear() {
    m_tree->clear();
    m_loadError.clear();
}

bool XmlDocument::isEmpty() const {
    return m_tree->nodes[0].firstChild == npos;
}

QByteArray XmlDocument::serialize() const {
    return isEmpty() ? QByteArray() : serializeTree(*m_tree);
}

void XmlDocument::serialize(const std::function<void(QByteArrayView)>& sink) const {
    if (!isEmpty())
        serializeTree(*m_tree, sink);
}

qsizetype XmlDocument::serializedSizeHint() const {
    return tavimor::serializedSizeHint(*m_tree);
}

QString XmlDocument::xml() const {
    return QString::fromUtf8(serialize());
}

bool XmlDocument::sameContent(const XmlDocument& other) const {
    return m_tree == other.m_tree || sameTree(*m_tree, *other.m_tree);
}

XmlNode XmlDocument::documentElement() const {
    for (quint32 c = m_tree->nodes[0].firstChild; c != npos; c = m_tree->nodes[c].next)
        if (m_tree->nodes[c].type == XmlTree::Element)
            return XmlNode(const_cast<XmlDocument*>(this), c);
    return {};
}

XmlNode XmlDocument::selectSingleNode(const QString& address) const {
    const Nodes found = select(*m_tree, 0, address, true);
    return found.isEmpty() ? XmlNode() : XmlNode(const_cast<XmlDocument*>(this), found.first());
}

QList<XmlNode> XmlDocument::selectNodes(const QString& address) const {
    const Nodes found = select(*m_tree, 0, address, false);
    QList<XmlNode> result;
    result.reserve(found.size());
    for (const quint32 index : found)
        result.append(XmlNode(const_cast<XmlDocument*>(this), index));
    return result;
}

XmlNode XmlDocument::createElement(const QString& name) {
    return XmlNode(this, m_tree->newNode(XmlTree::Element, m_tree->addName(name.toUtf8()), npos));
}

XmlNode XmlDocument::createProcessingInstruction(const QString& target, const QString& data) {
    return XmlNode(this, m_tree->newNode(XmlTree::Pi, m_tree->addName(target.toUtf8()),
                                         m_tree->addString(data.toUtf8())));
}

void XmlDocument::appendChild(const XmlNode& child) {
    if (child.m_doc != this || child.m_index == 0)
        return;
    // A document has one root element.
    if (m_tree->nodes[child.m_index].type == XmlTree::Element && !documentElement().isNull())
        return;
    m_tree->unlink(child.m_index);
    m_tree->append(0, child.m_index);
}

XmlNode XmlDocument::importNode(const XmlNode& node) {
    if (node.isNull() || node.m_index == 0)
        return {};
    return XmlNode(this, copySubtree(*node.m_doc->m_tree, node.m_index, *m_tree));
}

} // namespace tavimor
