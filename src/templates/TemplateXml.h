// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xml/XmlTree.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace tavimor {

// The limits every template file is read within: a hostile or broken file is refused with a
// reason before it can take the program's time or memory.
inline constexpr qint64 kMaxTemplateFileSize = 32 * 1024 * 1024;
inline constexpr qsizetype kMaxTemplateItems = 100000; // policies, categories, strings of a file
inline constexpr qsizetype kMaxPolicyElements = 1000;  // elements of a policy, items of a list

// A template file parsed into the program's compact tree (libxml2: no network, no document type,
// no entities beyond the predefined five), walked by element with the line each one starts on.
// Names are matched without their namespace prefix, as template files use the default namespace.
class TemplateXml {
public:
    static constexpr quint32 npos = XmlTree::npos;

    // false with *error ("line N: reason") when the bytes are no well-formed XML.
    bool parse(const QByteArray& bytes, QString* error);

    quint32 root() const;
    QByteArrayView name(quint32 node) const;
    bool is(quint32 node, QByteArrayView name) const { return this->name(node) == name; }
    quint32 firstChild(quint32 node) const;
    quint32 next(quint32 node) const;
    // The first child element of that name; npos when there is none.
    quint32 child(quint32 node, QByteArrayView name) const;
    std::optional<QString> attribute(quint32 node, QByteArrayView name) const;
    QString attributeOr(quint32 node, QByteArrayView name, const QString& fallback = {}) const {
        return attribute(node, name).value_or(fallback);
    }
    // The element's character content, CDATA included.
    QString text(quint32 node) const;
    int line(quint32 node) const;

private:
    XmlTree m_tree;
};

// "line N: " + reason, as template errors name their place.
QString atLine(int line, const QString& reason);

} // namespace tavimor
