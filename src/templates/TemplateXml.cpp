// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateXml.h"

namespace tavimor {

namespace {

QByteArrayView localName(QByteArrayView name) {
    const qsizetype colon = name.indexOf(':');
    return colon < 0 ? name : name.sliced(colon + 1);
}

void appendText(const XmlTree& tree, quint32 node, QByteArray& out) {
    for (quint32 c = tree.nodes[node].firstChild; c != XmlTree::npos; c = tree.nodes[c].next) {
        const XmlTree::Node& child = tree.nodes[c];
        if (child.type == XmlTree::Text || child.type == XmlTree::CData)
            out.append(tree.stringData(child.value), tree.stringSize(child.value));
        else if (child.type == XmlTree::Element)
            appendText(tree, c, out);
    }
}

} // namespace

QString atLine(int line, const QString& reason) {
    return QStringLiteral("line %1: %2").arg(line).arg(reason);
}

bool TemplateXml::parse(const QByteArray& bytes, QString* error) {
    m_tree.keepLines = true;
    QString why;
    if (parseXml(bytes, false, m_tree, &why))
        return true;
    // The parser says "... (line N: message)"; a template error leads with its line.
    const qsizetype at = why.indexOf(QLatin1String("(line "));
    if (at >= 0 && why.endsWith(QLatin1Char(')')))
        why = why.mid(at + 1).chopped(1);
    if (error)
        *error = why;
    return false;
}

quint32 TemplateXml::root() const {
    for (quint32 c = m_tree.nodes[0].firstChild; c != npos; c = m_tree.nodes[c].next)
        if (m_tree.nodes[c].type == XmlTree::Element)
            return c;
    return npos;
}

QByteArrayView TemplateXml::name(quint32 node) const {
    const XmlTree::Node& n = m_tree.nodes[node];
    return localName(QByteArrayView(m_tree.stringData(n.name), m_tree.stringSize(n.name)));
}

quint32 TemplateXml::firstChild(quint32 node) const {
    quint32 c = m_tree.nodes[node].firstChild;
    while (c != npos && m_tree.nodes[c].type != XmlTree::Element)
        c = m_tree.nodes[c].next;
    return c;
}

quint32 TemplateXml::next(quint32 node) const {
    quint32 c = m_tree.nodes[node].next;
    while (c != npos && m_tree.nodes[c].type != XmlTree::Element)
        c = m_tree.nodes[c].next;
    return c;
}

quint32 TemplateXml::child(quint32 node, QByteArrayView name) const {
    for (quint32 c = firstChild(node); c != npos; c = next(c))
        if (is(c, name))
            return c;
    return npos;
}

std::optional<QString> TemplateXml::attribute(quint32 node, QByteArrayView name) const {
    for (quint32 a = m_tree.nodes[node].firstAttr; a != npos; a = m_tree.attrs[a].next) {
        const XmlTree::Attr& attr = m_tree.attrs[a];
        if (QByteArrayView(m_tree.stringData(attr.name), m_tree.stringSize(attr.name)) == name)
            return QString::fromUtf8(m_tree.stringData(attr.value), m_tree.stringSize(attr.value));
    }
    return std::nullopt;
}

QString TemplateXml::text(quint32 node) const {
    QByteArray out;
    appendText(m_tree, node, out);
    return QString::fromUtf8(out);
}

int TemplateXml::line(quint32 node) const {
    return node < m_tree.lines.size() ? int(m_tree.lines[node]) : 0;
}

} // namespace tavimor
