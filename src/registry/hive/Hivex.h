// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/KeyStoreBackend.h"

#include <QString>
#include <cstddef>
#include <memory>
#include <optional>

struct hive_h;

namespace tavimor {

// One NT registry hive file held open through hivex. Names are compared without regard to case, as
// Windows does; REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ data are handed over as the ANSI functions
// give them.
class Hivex {
public:
    using Node = std::size_t; // 0: no such key

    ~Hivex();
    Hivex(const Hivex&) = delete;
    Hivex& operator=(const Hivex&) = delete;

    // nullptr with *error set when the file is no hive hivex can read. Writable reads the whole
    // file into memory; otherwise it is mapped.
    [[nodiscard]] static std::unique_ptr<Hivex> open(const QString& path, bool writable, QString* error);

    bool writable() const { return m_writable; }
    Node root() const;
    Node child(Node parent, const QString& name) const;
    // The key under root at a backslash path; 0 when any part is missing.
    Node find(const QString& path) const;
    [[nodiscard]] Node addChild(Node parent, const QString& name);
    // ERROR_FILE_NOT_FOUND when the value is missing, ERROR_BADDB when it cannot be read.
    long value(Node node, const QString& name, RegValue* value) const;
    [[nodiscard]] bool setValue(Node node, const QString& name, const RegValue& value);
    // ERROR_FILE_NOT_FOUND when the value was not there.
    long deleteValue(Node node, const QString& name);
    // The key's value names, "" for the default value; ERROR_FILE_NOT_FOUND for no key.
    long valueNames(Node node, QStringList* names) const;
    // Writes the whole hive, as it is in memory, to path.
    [[nodiscard]] bool commit(const QString& path, QString* error);

private:
    Hivex(hive_h* hive, bool writable)
        : m_hive(hive)
        , m_writable(writable) {}

    hive_h* m_hive;
    bool m_writable;
};

} // namespace tavimor
