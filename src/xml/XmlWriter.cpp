// SPDX-License-Identifier: GPL-3.0-or-later
#include "XmlTree.h"

#include <cstring>

namespace tavimor {

namespace {

constexpr quint32 npos = XmlTree::npos;

void escape(QByteArray& out, const char* data, qsizetype size, bool attribute) {
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char* replacement = nullptr;
        switch (data[i]) {
        case '&':
            replacement = "&amp;";
            break;
        case '<':
            replacement = "&lt;";
            break;
        case '>':
            replacement = "&gt;";
            break;
        case '\r':
            replacement = "&#13;";
            break;
        case '"':
            replacement = attribute ? "&quot;" : nullptr;
            break;
        case '\n':
            replacement = attribute ? "&#10;" : nullptr;
            break;
        case '\t':
            replacement = attribute ? "&#9;" : nullptr;
            break;
        default:
            break;
        }
        if (replacement) {
            out.append(data + start, i - start);
            out.append(replacement);
            start = i + 1;
        }
    }
    out.append(data + start, size - start);
}

void write(const XmlTree& tree, quint32 index, int depth, QByteArray& out);

void writeChildren(const XmlTree& tree, quint32 index, int depth, QByteArray& out) {
    // Children are laid out one per line only where no text would change by it.
    bool layout = true;
    for (quint32 c = tree.nodes[index].firstChild; c != npos; c = tree.nodes[c].next)
        layout = layout && tree.nodes[c].type != XmlTree::Text && tree.nodes[c].type != XmlTree::CData;
    for (quint32 c = tree.nodes[index].firstChild; c != npos; c = tree.nodes[c].next) {
        if (layout) {
            out.append('\n');
            out.append(QByteArray(depth + 1, '\t'));
        }
        write(tree, c, depth + 1, out);
    }
    if (layout) {
        out.append('\n');
        out.append(QByteArray(depth, '\t'));
    }
}

void write(const XmlTree& tree, quint32 index, int depth, QByteArray& out) {
    const XmlTree::Node& node = tree.nodes[index];
    switch (node.type) {
    case XmlTree::Element: {
        out.append('<').append(tree.stringData(node.name), tree.stringSize(node.name));
        for (quint32 a = node.firstAttr; a != npos; a = tree.attrs[a].next) {
            const XmlTree::Attr& attr = tree.attrs[a];
            out.append(' ').append(tree.stringData(attr.name), tree.stringSize(attr.name)).append("=\"");
            escape(out, tree.stringData(attr.value), tree.stringSize(attr.value), true);
            out.append('"');
        }
        if (node.firstChild == npos) {
            out.append("/>");
            return;
        }
        out.append('>');
        writeChildren(tree, index, depth, out);
        out.append("</").append(tree.stringData(node.name), tree.stringSize(node.name)).append('>');
        return;
    }
    case XmlTree::Text:
        escape(out, tree.stringData(node.value), tree.stringSize(node.value), false);
        return;
    case XmlTree::CData:
        out.append("<![CDATA[");
        out.append(tree.string(node.value).replace("]]>", "]]]]><![CDATA[>"));
        out.append("]]>");
        return;
    case XmlTree::Comment:
        out.append("<!--").append(tree.stringData(node.value), tree.stringSize(node.value)).append("-->");
        return;
    case XmlTree::Pi:
        out.append("<?").append(tree.stringData(node.name), tree.stringSize(node.name));
        if (tree.stringSize(node.value) > 0)
            out.append(' ').append(tree.stringData(node.value), tree.stringSize(node.value));
        out.append("?>");
        return;
    case XmlTree::Document:
        return;
    }
}

bool sameString(const XmlTree& a, quint32 x, const XmlTree& b, quint32 y) {
    if (x == npos || y == npos)
        return x == y;
    return a.stringSize(x) == b.stringSize(y) &&
           std::memcmp(a.stringData(x), b.stringData(y), a.stringSize(x)) == 0;
}

bool sameNode(const XmlTree& a, quint32 x, const XmlTree& b, quint32 y) {
    const XmlTree::Node& n = a.nodes[x];
    const XmlTree::Node& m = b.nodes[y];
    if (n.type != m.type || !sameString(a, n.name, b, m.name) || !sameString(a, n.value, b, m.value))
        return false;
    quint32 p = n.firstAttr, q = m.firstAttr;
    for (; p != npos && q != npos; p = a.attrs[p].next, q = b.attrs[q].next) {
        if (!sameString(a, a.attrs[p].name, b, b.attrs[q].name) ||
            !sameString(a, a.attrs[p].value, b, b.attrs[q].value))
            return false;
    }
    if (p != q)
        return false;
    quint32 c = n.firstChild, d = m.firstChild;
    for (; c != npos && d != npos; c = a.nodes[c].next, d = b.nodes[d].next) {
        if (!sameNode(a, c, b, d))
            return false;
    }
    return c == d;
}

} // namespace

quint32 copySubtree(const XmlTree& from, quint32 index, XmlTree& to) {
    const XmlTree::Node& node = from.nodes[index];
    const quint32 name = node.name == npos ? npos : to.addName(from.string(node.name));
    const quint32 value = node.value == npos ? npos : to.addString(from.string(node.value));
    const quint32 copy = to.newNode(node.type, name, value);
    quint32 last = npos;
    for (quint32 a = node.firstAttr; a != npos; a = from.attrs[a].next)
        last = to.appendAttr(copy, last, to.addName(from.string(from.attrs[a].name)),
                             to.addString(from.string(from.attrs[a].value)));
    for (quint32 c = node.firstChild; c != npos; c = from.nodes[c].next)
        to.append(copy, copySubtree(from, c, to));
    return copy;
}

bool sameTree(const XmlTree& a, const XmlTree& b) {
    return sameNode(a, 0, b, 0);
}

QByteArray serializeTree(const XmlTree& t) {
    QByteArray out;
    // Text plus markup and layout for each node, so the buffer seldom grows.
    out.reserve(qsizetype(t.textSize() + 24 * t.nodes.size()));
    const quint32 first = t.nodes[0].firstChild;
    if (first == npos)
        return out;
    // A processing instruction named "xml" is the document's declaration, so no other is written.
    if (!(t.nodes[first].type == XmlTree::Pi && t.string(t.nodes[first].name) == "xml"))
        out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    for (quint32 c = first; c != npos; c = t.nodes[c].next) {
        write(t, c, 0, out);
        out.append('\n');
    }
    return out;
}

} // namespace tavimor
