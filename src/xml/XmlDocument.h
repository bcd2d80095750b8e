// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace tavimor {

class XmlDocument;
struct XmlTree;

// A non-owning handle to a node of an XmlDocument; valid while the document lives and
// the node is not removed. A default-constructed node is "no node".
class XmlNode {
public:
    XmlNode() = default;

    bool isNull() const { return m_doc == nullptr; }
    explicit operator bool() const { return m_doc != nullptr; }
    bool operator==(const XmlNode& other) const = default;

    QString nodeName() const;
    bool isElement() const;

    // Character content of the element and its descendants, CDATA included.
    QString text() const;
    // Replaces the whole content by one text node (or by nothing for "").
    void setText(const QString& text);

    std::optional<QString> attribute(const QString& name) const;
    // The first attribute's value (the "item(0)" of the attribute list).
    std::optional<QString> firstAttribute() const;
    QList<std::pair<QString, QString>> attributes() const;
    void setAttribute(const QString& name, const QString& value);
    // Nothing happens when the element has no such attribute.
    void removeAttribute(const QString& name);

    XmlNode parentNode() const;
    QList<XmlNode> childNodes() const;
    // Fast child walks that avoid a path query; name is an element name.
    XmlNode firstChildElement() const;
    XmlNode firstChildElement(const char* name) const;
    XmlNode nextSiblingElement() const;

    // Program addresses: positions in [n] count from 0.
    XmlNode selectSingleNode(const QString& address) const;
    QList<XmlNode> selectNodes(const QString& address) const;

    // Appends child (which must belong to the same document) as the last child.
    void appendChild(const XmlNode& child);
    // Removes a child of this node with everything below it; handles to them become invalid.
    void removeChild(const XmlNode& child);

private:
    friend class XmlDocument;
    XmlNode(XmlDocument* doc, quint32 index)
        : m_doc(doc)
        , m_index(index) {}
    XmlTree& tree() const;
    XmlDocument* m_doc = nullptr;
    quint32 m_index = 0;
};

// An XML document: parsed by libxml2, held in a compact tree of our own. Parsing is safe
// against hostile input: no network, no document type, no entities beyond the predefined five.
// Whitespace-only text nodes are dropped, so positions count elements and equal content
// serialises to equal text.
class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;
    XmlDocument(XmlDocument&& other) noexcept;
    XmlDocument& operator=(XmlDocument&& other) noexcept;

    // Replaces the whole content. A text that is not well-formed leaves the document empty.
    bool loadXML(const QString& text);
    bool loadXML(const QByteArray& utf8);
    // Makes this document a copy of another, as loading its serialisation would.
    void copyFrom(const XmlDocument& other);
    // Bytes whose own declaration names their encoding, as files have.
    bool loadEncoded(const QByteArray& bytes);
    // Loads a file by path, with the same safety rules; used for style sheets.
    bool load(const QString& path);
    void clear();
    // Why the last load left the document empty, for a user; "" after a load that succeeded.
    QString loadError() const { return m_loadError; }

    bool isEmpty() const;
    // The serialisation; "" for an empty document.
    QString xml() const;
    QByteArray serialize() const;
    // The same handed to sink in pieces, for a file that is written without the whole text.
    void serialize(const std::function<void(QByteArrayView)>& sink) const;
    // About the size of the serialisation, known without making it.
    qsizetype serializedSizeHint() const;
    // True exactly when both serialise to the same text, without serialising.
    bool sameContent(const XmlDocument& other) const;

    XmlNode documentElement() const;
    XmlNode selectSingleNode(const QString& address) const;
    QList<XmlNode> selectNodes(const QString& address) const;

    XmlNode createElement(const QString& name);
    XmlNode createProcessingInstruction(const QString& target, const QString& data);
    // Appends a node of this document at the top level.
    void appendChild(const XmlNode& child);
    // A deep copy of a node of any document, owned by this document and not yet attached.
    XmlNode importNode(const XmlNode& node);

private:
    friend class XmlNode;
    std::unique_ptr<XmlTree> m_tree;
    QString m_loadError;
};

} // namespace tavimor
