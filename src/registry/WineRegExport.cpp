// SPDX-License-Identifier: GPL-3.0-or-later
#include "WineRegExport.h"

#include "WineRegSyntax.h"
#include "WineRegTool.h"

#include <QStringList>

namespace tavimor {

namespace {

// Keys of this depth or more (hive included) are read through an export of their nearest
// Policies ancestor, else of their ancestor at kSubtreeDepth.
constexpr int kMinDepth = 4;
constexpr int kSubtreeDepth = 6;
constexpr qint64 kReuseMs = 5000;

// The value syntax is wineserver's own, which writes characters beyond ASCII as \x escapes.
QByteArray asciiLine(const QString& line) {
    QByteArray out;
    out.reserve(line.size());
    for (const QChar c : line) {
        if (c.unicode() < 0x80)
            out.append(char(c.unicode()));
        else
            out.append("\\x" + QByteArray::number(c.unicode(), 16).rightJustified(4, '0'));
    }
    return out;
}

} // namespace

std::optional<ExportedKeys> parseRegExport(const QByteArray& bytes) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0 || !bytes.startsWith("\xff\xfe"))
        return std::nullopt;
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    if (lines.isEmpty() || lines.first() != QLatin1String("Windows Registry Editor Version 5.00"))
        return std::nullopt;
    ExportedKeys keys;
    QHash<QString, RegValue>* current = nullptr;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QString line = lines[i];
        // Long hex data goes on over lines ending in a backslash.
        while (line.endsWith(QLatin1Char('\\')) && i + 1 < lines.size()) {
            line.chop(1);
            line += lines[++i].trimmed();
        }
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = &keys[line.mid(1, line.size() - 2).toLower()];
            continue;
        }
        if (!current)
            return std::nullopt;
        const std::optional<winereg::ParsedValue> parsed = winereg::parseValueLine(asciiLine(line));
        if (!parsed)
            return std::nullopt;
        current->insert(parsed->name.toLower(), parsed->value);
    }
    return keys;
}

std::optional<long> WineRegExportCache::subtree(const QString& path, const Subtree** found) {
    const QStringList parts = path.split(QLatin1Char('\\'));
    if (parts.size() < kMinDepth)
        return std::nullopt;
    // A Policies key holds every policy below it and little else: one export answers them all.
    qsizetype depth = kSubtreeDepth;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts[i].compare(QLatin1String("Policies"), Qt::CaseInsensitive) == 0) {
            depth = i + 1;
            break;
        }
    }
    const QString root = parts.mid(0, depth).join(QLatin1Char('\\'));
    const QString id = root.toLower();
    const auto cached = m_subtrees.constFind(id);
    if (cached != m_subtrees.constEnd() && cached->age.elapsed() < kReuseMs) {
        *found = &*cached;
        return ERROR_SUCCESS;
    }
    Subtree tree;
    QByteArray bytes;
    if (const long status = m_tool.exportKey(root, &bytes, &tree.exists))
        return status;
    if (tree.exists) {
        std::optional<ExportedKeys> keys = parseRegExport(bytes);
        if (!keys)
            return ERROR_BADDB;
        tree.keys = std::move(*keys);
    }
    tree.age.start();
    *found = &*m_subtrees.insert(id, std::move(tree));
    return ERROR_SUCCESS;
}

std::optional<long> WineRegExportCache::keyExists(const QString& path, bool* exists) {
    const Subtree* tree = nullptr;
    const std::optional<long> status = subtree(path, &tree);
    if (status && *status == ERROR_SUCCESS)
        *exists = tree->exists && tree->keys.contains(path.toLower());
    return status;
}

std::optional<long> WineRegExportCache::readValue(const QString& path, const QString& name, RegValue* value) {
    const Subtree* tree = nullptr;
    const std::optional<long> status = subtree(path, &tree);
    if (!status || *status != ERROR_SUCCESS)
        return status;
    const auto key = tree->keys.constFind(path.toLower());
    if (key == tree->keys.constEnd())
        return ERROR_FILE_NOT_FOUND;
    const auto found = key->constFind(name.toLower());
    if (found == key->constEnd())
        return ERROR_FILE_NOT_FOUND;
    *value = winereg::toAnsi(*found);
    return ERROR_SUCCESS;
}

} // namespace tavimor
