// SPDX-License-Identifier: GPL-3.0-or-later
#include "XmlTree.h"

#include <algorithm>
#include <cstring>

namespace tavimor {

namespace {
// Names and short values repeat throughout a catalogue; longer texts are mostly unique.
constexpr qsizetype kInternLimit = 32;
// Early positions are found faster by walking than by building an index for every parent.
constexpr size_t kWalkedPositions = 16;
} // namespace

void XmlTree::clear() {
    nodes.clear();
    attrs.clear();
    lines.clear();
    m_chars.clear();
    m_offsets.clear();
    m_sizes.clear();
    m_table.assign(256, npos);
    m_internedCount = 0;
    m_free = npos;
    m_childIndex.clear();
    Node document;
    document.type = Document;
    nodes.push_back(document);
}

void XmlTree::reserve(size_t count) {
    nodes.reserve(count);
    m_offsets.reserve(count);
    m_sizes.reserve(count);
}

size_t XmlTree::hashOf(const char* data, qsizetype size) {
    size_t h = 1469598103934665603ull;
    for (qsizetype i = 0; i < size; ++i)
        h = (h ^ static_cast<unsigned char>(data[i])) * 1099511628211ull;
    return h;
}

quint32 XmlTree::findInterned(const char* data, qsizetype size) const {
    const size_t mask = m_table.size() - 1;
    for (size_t slot = hashOf(data, size) & mask;; slot = (slot + 1) & mask) {
        const quint32 id = m_table[slot];
        if (id == npos)
            return npos;
        if (m_sizes[id] == size && std::memcmp(stringData(id), data, size_t(size)) == 0)
            return id;
    }
}

void XmlTree::growTable() {
    std::vector<quint32> old(m_table.size() * 2, npos);
    old.swap(m_table);
    const size_t mask = m_table.size() - 1;
    for (const quint32 id : old) {
        if (id == npos)
            continue;
        size_t slot = hashOf(stringData(id), m_sizes[id]) & mask;
        while (m_table[slot] != npos)
            slot = (slot + 1) & mask;
        m_table[slot] = id;
    }
}

quint32 XmlTree::addString(const char* data, qsizetype size, bool intern) {
    intern = intern || size <= kInternLimit;
    if (intern) {
        const quint32 found = findInterned(data, size);
        if (found != npos)
            return found;
    }
    const quint32 id = quint32(m_offsets.size());
    m_offsets.push_back(quint32(m_chars.size()));
    m_sizes.push_back(quint32(size));
    m_chars.append(data, size_t(size));
    if (intern) {
        if (2 * (m_internedCount + 1) > m_table.size())
            growTable();
        const size_t mask = m_table.size() - 1;
        size_t slot = hashOf(data, size) & mask;
        while (m_table[slot] != npos)
            slot = (slot + 1) & mask;
        m_table[slot] = id;
        ++m_internedCount;
    }
    return id;
}

QByteArray XmlTree::string(quint32 id) const {
    if (id == npos)
        return QByteArray();
    return QByteArray(stringData(id), stringSize(id));
}

quint32 XmlTree::newNode(Type type, quint32 name, quint32 value) {
    Node node;
    node.type = type;
    node.name = name;
    node.value = value;
    if (m_free != npos) {
        const quint32 index = m_free;
        m_free = nodes[index].next;
        nodes[index] = node;
        return index;
    }
    nodes.push_back(node);
    return quint32(nodes.size() - 1);
}

void XmlTree::append(quint32 parent, quint32 child) {
    Node& p = nodes[parent];
    nodes[child].parent = parent;
    nodes[child].next = npos;
    if (p.lastChild == npos)
        p.firstChild = child;
    else
        nodes[p.lastChild].next = child;
    p.lastChild = child;
    if (m_childIndex.empty())
        return;
    if (const auto indexed = m_childIndex.find(parent); indexed != m_childIndex.end())
        for (NamedChildren& named : indexed->second)
            if (matches(child, named.name))
                named.children.push_back(child);
}

void XmlTree::unlink(quint32 node) {
    const quint32 parent = nodes[node].parent;
    if (parent == npos)
        return;
    Node& p = nodes[parent];
    quint32 previous = npos;
    for (quint32 c = p.firstChild; c != npos && c != node; c = nodes[c].next)
        previous = c;
    if (previous == npos)
        p.firstChild = nodes[node].next;
    else
        nodes[previous].next = nodes[node].next;
    if (p.lastChild == node)
        p.lastChild = previous;
    nodes[node].parent = npos;
    nodes[node].next = npos;
    if (nodes[node].type == Element)
        m_childIndex.erase(parent);
}

void XmlTree::release(quint32 node) {
    for (quint32 c = nodes[node].firstChild; c != npos;) {
        const quint32 next = nodes[c].next;
        release(c);
        c = next;
    }
    // The index may be reused for another node.
    if (!m_childIndex.empty())
        m_childIndex.erase(node);
    nodes[node] = Node();
    nodes[node].type = Text;
    nodes[node].next = m_free;
    m_free = node;
}

void XmlTree::setAttr(quint32 element, quint32 name, quint32 value) {
    quint32 last = npos;
    for (quint32 a = nodes[element].firstAttr; a != npos; a = attrs[a].next) {
        if (attrs[a].name == name) {
            attrs[a].value = value;
            return;
        }
        last = a;
    }
    appendAttr(element, last, name, value);
}

void XmlTree::removeAttr(quint32 element, quint32 name) {
    quint32 last = npos;
    for (quint32 a = nodes[element].firstAttr; a != npos; last = a, a = attrs[a].next) {
        if (attrs[a].name != name)
            continue;
        // The slot stays unused; attributes are rarely removed.
        if (last == npos)
            nodes[element].firstAttr = attrs[a].next;
        else
            attrs[last].next = attrs[a].next;
        return;
    }
}

quint32 XmlTree::appendAttr(quint32 element, quint32 last, quint32 name, quint32 value) {
    attrs.push_back(Attr{name, value, npos});
    const quint32 index = quint32(attrs.size() - 1);
    if (last == npos)
        nodes[element].firstAttr = index;
    else
        attrs[last].next = index;
    return index;
}

quint32 XmlTree::childElement(quint32 parent, quint32 name, size_t position) const {
    if (position < kWalkedPositions) {
        for (quint32 c = nodes[parent].firstChild; c != npos; c = nodes[c].next)
            if (matches(c, name) && position-- == 0)
                return c;
        return npos;
    }
    std::vector<NamedChildren>& indexed = m_childIndex[parent];
    auto named = std::find_if(indexed.begin(), indexed.end(),
                              [name](const NamedChildren& n) { return n.name == name; });
    if (named == indexed.end()) {
        NamedChildren built{name, {}};
        for (quint32 c = nodes[parent].firstChild; c != npos; c = nodes[c].next)
            if (matches(c, name))
                built.children.push_back(c);
        named = indexed.insert(indexed.end(), std::move(built));
    }
    return position < named->children.size() ? named->children[position] : npos;
}

} // namespace tavimor
