// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/KeyStoreBackend.h"

#include <QString>
#include <memory>

namespace tavimor {

// One Windows 95/98/Me registry file (USER.DAT, SYSTEM.DAT) read through libcreg.
class CregFile {
public:
    ~CregFile();
    CregFile(const CregFile&) = delete;
    CregFile& operator=(const CregFile&) = delete;

    // nullptr with *error set when the file is missing, is no regular file, or is no sound registry file.
    [[nodiscard]] static std::unique_ptr<CregFile> open(const QString& path, QString* error);
    // The same for a file's bytes; name stands for the file in messages.
    [[nodiscard]] static std::unique_ptr<CregFile> fromBytes(const QByteArray& bytes, const QString& name,
                                                             QString* error);

    // keyPath is relative to the file's root key; "" is the root.
    bool keyExists(const QString& keyPath) const;
    // ERROR_FILE_NOT_FOUND when the key or the value is missing, ERROR_BADDB when it cannot be read.
    long value(const QString& keyPath, const QString& name, RegValue* value) const;
    // The key's value names; the same failures.
    long valueNames(const QString& keyPath, QStringList* names) const;

private:
    struct Handle;
    explicit CregFile(std::unique_ptr<Handle> handle);

    std::unique_ptr<Handle> m_handle;
};

} // namespace tavimor
