// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

namespace tavimor {

// The storage behind XmlDocument: nodes and attributes in flat arrays linked by index, and
// strings kept once in a shared pool (names and short values are interned). A catalogue of
// 10,000 entries takes a few megabytes this way instead of tens.
struct XmlTree {
    static constexpr quint32 npos = std::numeric_limits<quint32>::max();
    enum Type : quint8 { Document, Element, Text, CData, Comment, Pi };

    struct Node {
        quint32 parent = npos;
        quint32 firstChild = npos;
        quint32 lastChild = npos;
        quint32 next = npos;
        quint32 name = npos;  // element name, PI target
        quint32 value = npos; // text, CDATA, comment, PI data
        quint32 firstAttr = npos;
        Type type = Element;
    };
    struct Attr {
        quint32 name;
        quint32 value;
        quint32 next;
    };

    XmlTree() { clear(); }
    void clear();
    // Room for about so many nodes and strings, so that a large parse grows nothing.
    void reserve(size_t count);

    // Names are always interned, so that equal names have equal ids.
    quint32 addName(const char* data, qsizetype size) { return addString(data, size, true); }
    quint32 addName(const QByteArray& bytes) { return addString(bytes.constData(), bytes.size(), true); }
    quint32 addString(const char* data, qsizetype size, bool intern = false);
    quint32 addString(const QByteArray& bytes) { return addString(bytes.constData(), bytes.size()); }
    // The id of an interned string, or npos when no such string was interned.
    quint32 findInterned(const QByteArray& bytes) const {
        return findInterned(bytes.constData(), bytes.size());
    }
    quint32 findInterned(const char* data, qsizetype size) const;
    QByteArray string(quint32 id) const;
    const char* stringData(quint32 id) const { return m_chars.data() + m_offsets[id]; }
    qsizetype stringSize(quint32 id) const { return m_sizes[id]; }
    size_t textSize() const { return m_chars.size(); }

    quint32 newNode(Type type, quint32 name, quint32 value);
    void append(quint32 parent, quint32 child);
    void unlink(quint32 node);
    // Returns the node and its descendants to the free list.
    void release(quint32 node);
    void setAttr(quint32 element, quint32 name, quint32 value);
    void removeAttr(quint32 element, quint32 name);
    // Adds an attribute the element does not have yet after its attribute last (npos for the
    // first), in constant time; returns the new attribute.
    quint32 appendAttr(quint32 element, quint32 last, quint32 name, quint32 value);
    // The element child of parent at position (counted from 0) among those named name (npos:
    // any name), or npos; constant time once the parent has been asked about that name.
    quint32 childElement(quint32 parent, quint32 name, size_t position) const;

    // Linked by append(), unlink() and release(), which keep the child index valid.
    std::vector<Node> nodes; // node 0 is the document
    std::vector<Attr> attrs;
    // Set before parsing, the parse notes the line each element starts on, by node, so that a
    // reader can name the line at fault; unset, lines stays empty and costs nothing.
    bool keepLines = false;
    std::vector<quint32> lines;

private:
    struct NamedChildren {
        quint32 name;
        std::vector<quint32> children;
    };

    static size_t hashOf(const char* data, qsizetype size);
    void growTable();
    bool matches(quint32 node, quint32 name) const {
        return nodes[node].type == Element && (name == npos || nodes[node].name == name);
    }

    std::string m_chars;
    std::vector<quint32> m_offsets;
    std::vector<quint32> m_sizes;
    std::vector<quint32> m_table; // open addressing over interned string ids
    size_t m_internedCount = 0;
    quint32 m_free = npos; // released nodes, linked through next
    // Per parent, its element children by name, for positional steps: a section of 100,000
    // entries is then answered without walking its siblings. Built on first use.
    mutable std::unordered_map<quint32, std::vector<NamedChildren>> m_childIndex;
};

// The serialisation: a declaration, elements laid out one per line and indented by tabs
// wherever no text is beside them.
QByteArray serializeTree(const XmlTree& tree);
// The same handed to sink in pieces of some tens of kilobytes, so that it is never whole.
void serializeTree(const XmlTree& tree, const std::function<void(QByteArrayView)>& sink);
// About the size of the serialisation, known without making it.
qsizetype serializedSizeHint(const XmlTree& tree);
// True exactly when both trees serialise alike.
bool sameTree(const XmlTree& a, const XmlTree& b);
// A deep copy of a node of one tree into another, not yet attached.
quint32 copySubtree(const XmlTree& from, quint32 index, XmlTree& to);

// No catalogue element needs more; more would make libxml2's duplicate check take minutes.
inline constexpr qsizetype kMaxAttributes = 64;

// Parses text into tree with libxml2; false (and an empty tree) when it is not well-formed,
// uses a document type or has an element with more than kMaxAttributes attributes; then
// *error (when given) says which. ignoreDeclaredEncoding is true for text that is UTF-8
// whatever it says.
bool parseXml(const QByteArray& bytes, bool ignoreDeclaredEncoding, XmlTree& tree, QString* error = nullptr);

} // namespace tavimor
