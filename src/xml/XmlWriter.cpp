// SPDX-License-Identifier: GPL-3.0-or-later
#include "XmlTree.h"

#include <cstring>
#include <functional>

namespace tavimor {

namespace {

constexpr quint32 npos = XmlTree::npos;

// Characters escaped in text; in attribute values also '"', '\n' and '\t'.
constexpr bool needsEscape(char c, bool attribute) {
    return c == '&' || c == '<' || c == '>' || c == '\r' ||
           (attribute && (c == '"' || c == '\n' || c == '\t'));
}

// The serialisation is made into one buffer, which is handed on in pieces when a sink takes it.
struct Writer {
    const XmlTree& tree;
    QByteArray out;
    const std::function<void(QByteArrayView)>* sink = nullptr;
    qsizetype pieceSize = 0;

    void handOn() {
        if (sink && out.size() >= pieceSize) {
            (*sink)(out);
            out.truncate(0);
        }
    }
    void append(quint32 id) { out.append(tree.stringData(id), tree.stringSize(id)); }

    void escape(quint32 id, bool attribute) {
        const char* data = tree.stringData(id);
        const qsizetype size = tree.stringSize(id);
        qsizetype start = 0;
        for (qsizetype i = 0; i < size; ++i) {
            if (!needsEscape(data[i], attribute))
                continue;
            out.append(data + start, i - start);
            switch (data[i]) {
            case '&':
                out.append("&amp;");
                break;
            case '<':
                out.append("&lt;");
                break;
            case '>':
                out.append("&gt;");
                break;
            case '\r':
                out.append("&#13;");
                break;
            case '"':
                out.append("&quot;");
                break;
            case '\n':
                out.append("&#10;");
                break;
            default:
                out.append("&#9;");
                break;
            }
            start = i + 1;
        }
        out.append(data + start, size - start);
    }

    void cdata(quint32 id) {
        const QByteArrayView text(tree.stringData(id), tree.stringSize(id));
        out.append("<![CDATA[");
        // "]]>" cannot stand in a CDATA section, so it is split across two.
        if (text.contains("]]>"))
            out.append(text.toByteArray().replace("]]>", "]]]]><![CDATA[>"));
        else
            out.append(text);
        out.append("]]>");
    }

    void children(quint32 index, int depth) {
        // Children are laid out one per line only where no text would change by it.
        bool layout = true;
        for (quint32 c = tree.nodes[index].firstChild; c != npos; c = tree.nodes[c].next)
            layout = layout && tree.nodes[c].type != XmlTree::Text && tree.nodes[c].type != XmlTree::CData;
        for (quint32 c = tree.nodes[index].firstChild; c != npos; c = tree.nodes[c].next) {
            if (layout)
                out.append('\n').append(depth + 1, '\t');
            node(c, depth + 1);
        }
        if (layout)
            out.append('\n').append(depth, '\t');
    }

    void node(quint32 index, int depth) {
        const XmlTree::Node& n = tree.nodes[index];
        switch (n.type) {
        case XmlTree::Element:
            out.append('<');
            append(n.name);
            for (quint32 a = n.firstAttr; a != npos; a = tree.attrs[a].next) {
                out.append(' ');
                append(tree.attrs[a].name);
                out.append("=\"");
                escape(tree.attrs[a].value, true);
                out.append('"');
            }
            if (n.firstChild == npos) {
                out.append("/>");
                break;
            }
            out.append('>');
            children(index, depth);
            out.append("</");
            append(n.name);
            out.append('>');
            break;
        case XmlTree::Text:
            escape(n.value, false);
            break;
        case XmlTree::CData:
            cdata(n.value);
            break;
        case XmlTree::Comment:
            out.append("<!--");
            append(n.value);
            out.append("-->");
            break;
        case XmlTree::Pi:
            out.append("<?");
            append(n.name);
            if (tree.stringSize(n.value) > 0) {
                out.append(' ');
                append(n.value);
            }
            out.append("?>");
            break;
        case XmlTree::Document:
            break;
        }
        handOn();
    }

    void document() {
        const quint32 first = tree.nodes[0].firstChild;
        if (first == npos)
            return;
        // A processing instruction named "xml" is the document's declaration, so no other is written.
        if (!(tree.nodes[first].type == XmlTree::Pi && tree.string(tree.nodes[first].name) == "xml"))
            out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
        for (quint32 c = first; c != npos; c = tree.nodes[c].next) {
            node(c, 0);
            out.append('\n');
        }
    }
};

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
    // A copy: when a document imports its own node, adding to it moves what a reference would hold.
    const XmlTree::Node node = from.nodes[index];
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

qsizetype serializedSizeHint(const XmlTree& tree) {
    // Text plus markup and layout for each node.
    return qsizetype(tree.textSize() + 24 * tree.nodes.size());
}

QByteArray serializeTree(const XmlTree& tree) {
    Writer writer{tree, {}};
    writer.out.reserve(serializedSizeHint(tree));
    writer.document();
    return writer.out;
}

void serializeTree(const XmlTree& tree, const std::function<void(QByteArrayView)>& sink) {
    constexpr qsizetype kPiece = 64 * 1024;
    Writer writer{tree, {}, &sink, kPiece};
    writer.out.reserve(kPiece + 4096);
    writer.document();
    if (!writer.out.isEmpty())
        sink(writer.out);
}

} // namespace tavimor
