// SPDX-License-Identifier: GPL-3.0-or-later
#include "WineRegExport.h"

#include "WineRegSyntax.h"
#include "WineRegTool.h"
#include "registry/regfile/RegPatch.h"

#include <QStringList>
#include <algorithm>

namespace tavimor {

namespace {

// Keys of this depth or more (hive included) are read through an export of their nearest
// Policies ancestor, else of their ancestor at kSubtreeDepth.
constexpr int kMinDepth = 4;
constexpr int kSubtreeDepth = 6;
constexpr qint64 kReuseMs = 5000;

} // namespace

std::optional<ExportedKeys> parseRegExport(const QByteArray& bytes) {
    // Wine's reg writes version 5 in UTF-16LE only, and no deletions.
    if (!bytes.startsWith("\xff\xfe"))
        return std::nullopt;
    const std::optional<RegPatch> patch = RegPatch::parse(bytes, nullptr, nullptr, RegText::Utf16);
    if (!patch || patch->format() != RegFormat::Version5)
        return std::nullopt;
    ExportedKeys keys;
    for (const RegPatch::Change& change : patch->changes()) {
        if (change.kind == RegPatch::Change::Kind::CreateKey)
            keys[change.keyPath.toLower()];
        else if (change.kind == RegPatch::Change::Kind::SetValue)
            keys[change.keyPath.toLower()].insert(change.name.toLower(), change.value);
        else
            return std::nullopt;
    }
    return keys;
}

const WineRegExportCache::Subtree* WineRegExportCache::holding(const QString& path) const {
    QString root = path.toLower();
    for (;;) {
        const auto found = m_subtrees.constFind(root);
        if (found != m_subtrees.constEnd() && found->age.elapsed() < kReuseMs && !found->unreadable)
            return &*found;
        const qsizetype slash = root.lastIndexOf(QLatin1Char('\\'));
        if (slash < 0)
            return nullptr;
        root.truncate(slash);
    }
}

namespace {

// Whether root is path or one of its ancestors; both in lower case.
bool holds(const QString& root, const QString& path) {
    return path.startsWith(root) && (path.size() == root.size() || path[root.size()] == QLatin1Char('\\'));
}

} // namespace

QString WineRegExportCache::staleRoot(const QString& path) const {
    const QString lower = path.toLower();
    for (auto it = m_stale.constBegin(); it != m_stale.constEnd(); ++it)
        if (holds(it.key(), lower))
            return it.value();
    return QString();
}

void WineRegExportCache::forget(const QStringList& paths) {
    for (auto it = m_subtrees.begin(); it != m_subtrees.end();) {
        const bool written = std::any_of(paths.begin(), paths.end(), [&](const QString& path) {
            const QString lower = path.toLower();
            return holds(it.key(), lower) || holds(lower, it.key());
        });
        if (!written) {
            ++it;
            continue;
        }
        if (!it->root.isEmpty())
            m_stale.insert(it.key(), it->root);
        it = m_subtrees.erase(it);
    }
}

bool WineRegExportCache::noteWritten(const QString& path, const QString& name,
                                     const std::optional<RegValue>& value) {
    const Subtree* held = holding(path);
    if (!held || held->status != ERROR_SUCCESS || (!held->exists && !value))
        return false;
    Subtree& tree = m_subtrees[held->root.toLower()];
    auto key = tree.keys.find(path.toLower());
    if (key == tree.keys.end()) {
        if (!value)
            return false;
        // reg add made the key and each missing parent up to the export's root, which is path or
        // one of its ancestors.
        tree.exists = true;
        for (QString lower = path.toLower();; lower.truncate(lower.lastIndexOf(QLatin1Char('\\')))) {
            if (!tree.keys.contains(lower))
                tree.keys.insert(lower, {});
            if (lower.size() <= tree.root.size())
                break;
        }
        key = tree.keys.find(path.toLower());
    }
    if (value)
        key->insert(name.toLower(), winereg::fromAnsi(*value));
    else
        key->remove(name.toLower());
    return true;
}

void WineRegExportCache::exportRoots(const QStringList& roots) {
    for (const WineRegTool::Export& exported : m_tool.exportKeys(roots)) {
        m_stale.remove(exported.key.toLower());
        Subtree tree;
        tree.root = exported.key;
        tree.status = exported.status;
        tree.error = exported.error;
        tree.exists = exported.exists;
        if (tree.status == ERROR_SUCCESS && tree.exists) {
            std::optional<ExportedKeys> keys = parseRegExport(exported.content);
            tree.unreadable = !keys;
            tree.keys = std::move(keys).value_or(ExportedKeys());
        }
        tree.age.start();
        m_subtrees.insert(exported.key.toLower(), std::move(tree));
    }
}

void WineRegExportCache::prepare(const QStringList& paths) {
    // The nearest common key of each hive's paths that no export holds yet, by components.
    QHash<QString, QStringList> common;
    QStringList order;
    QStringList roots;
    for (const QString& path : paths) {
        if (holding(path))
            continue;
        // What an export answered before a write, the same export answers after it.
        if (const QString stale = staleRoot(path); !stale.isEmpty()) {
            if (!roots.contains(stale))
                roots.append(stale);
            continue;
        }
        const QStringList parts = path.split(QLatin1Char('\\'));
        const QString hive = parts.first().toUpper();
        auto found = common.find(hive);
        if (found == common.end()) {
            common.insert(hive, parts);
            order.append(hive);
            continue;
        }
        qsizetype same = 0;
        while (same < found->size() && same < parts.size() &&
               found->at(same).compare(parts[same], Qt::CaseInsensitive) == 0)
            ++same;
        found->resize(same);
    }
    for (const QString& hive : order) {
        // A whole hive is far more than any set of policies needs; such reads go their own way.
        if (common[hive].size() >= 2)
            roots.append(common[hive].join(QLatin1Char('\\')));
    }
    if (!roots.isEmpty())
        exportRoots(roots);
}

std::optional<long> WineRegExportCache::subtree(const QString& path, const Subtree** found) {
    if ((*found = holding(path)))
        return (*found)->status;
    if (const QString stale = staleRoot(path); !stale.isEmpty()) {
        exportRoots({stale});
        *found = holding(path);
        return *found ? std::optional<long>((*found)->status) : std::nullopt;
    }
    const QStringList parts = path.split(QLatin1Char('\\'));
    // HKEY_CURRENT_USER\Software holds both policy trees and Wine's own settings, and is small
    // beside HKEY_LOCAL_MACHINE's: one export of it answers every user key a refresh asks for.
    const bool userSoftware =
        parts.size() >= 3 && parts[0].compare(QLatin1String("HKEY_CURRENT_USER"), Qt::CaseInsensitive) == 0 &&
        parts[1].compare(QLatin1String("Software"), Qt::CaseInsensitive) == 0;
    if (!userSoftware && parts.size() < kMinDepth)
        return std::nullopt;
    // A Policies key holds every policy below it and little else: one export answers them all.
    qsizetype depth = userSoftware ? 2 : kSubtreeDepth;
    for (qsizetype i = 1; i < parts.size() && !userSoftware; ++i) {
        if (parts[i].compare(QLatin1String("Policies"), Qt::CaseInsensitive) == 0) {
            depth = i + 1;
            break;
        }
    }
    const QString root = parts.mid(0, depth).join(QLatin1Char('\\'));
    exportRoots({root});
    const Subtree& tree = m_subtrees[root.toLower()];
    // Something in a subtree our reader does not take must not hide its other values: ask reg instead.
    if (tree.unreadable)
        return std::nullopt;
    *found = &tree;
    return tree.status;
}

std::optional<long> WineRegExportCache::keyExists(const QString& path, bool* exists) {
    const Subtree* tree = nullptr;
    const std::optional<long> status = subtree(path, &tree);
    if (status && *status != ERROR_SUCCESS)
        m_lastError = tree->error;
    else if (status)
        *exists = tree->exists && tree->keys.contains(path.toLower());
    return status;
}

std::optional<long> WineRegExportCache::valueNames(const QString& path, QStringList* names) {
    const Subtree* tree = nullptr;
    const std::optional<long> status = subtree(path, &tree);
    if (!status || *status != ERROR_SUCCESS)
        return status;
    const auto key = tree->keys.constFind(path.toLower());
    if (key == tree->keys.constEnd())
        return ERROR_FILE_NOT_FOUND;
    *names = key->keys();
    return ERROR_SUCCESS;
}

std::optional<long> WineRegExportCache::readValue(const QString& path, const QString& name, RegValue* value) {
    const Subtree* tree = nullptr;
    const std::optional<long> status = subtree(path, &tree);
    if (!status)
        return status;
    if (*status != ERROR_SUCCESS) {
        m_lastError = tree->error;
        return status;
    }
    const auto key = tree->keys.constFind(path.toLower());
    if (key == tree->keys.constEnd())
        return ERROR_FILE_NOT_FOUND;
    const auto found = key->constFind(name.toLower());
    if (found == key->constEnd())
        return ERROR_FILE_NOT_FOUND;
    if (textBeyondLatin1(*found)) {
        m_lastError = textBeyondLatin1Reason(QStringLiteral("%1\\%2").arg(path, name));
        return ERROR_CANTREAD;
    }
    *value = winereg::toAnsi(*found);
    return ERROR_SUCCESS;
}

std::optional<std::optional<RegValue>> WineRegExportCache::held(const QString& path,
                                                                const QString& name) const {
    const Subtree* tree = holding(path);
    if (!tree || tree->status != ERROR_SUCCESS)
        return std::nullopt;
    const auto key = tree->keys.constFind(path.toLower());
    if (key == tree->keys.constEnd())
        return std::optional<RegValue>();
    const auto found = key->constFind(name.toLower());
    if (found == key->constEnd())
        return std::optional<RegValue>();
    if (textBeyondLatin1(*found))
        return std::nullopt;
    return std::optional<RegValue>(winereg::toAnsi(*found));
}

} // namespace tavimor
