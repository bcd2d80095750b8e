// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CregFile.h"
#include "registry/KeyStoreBackend.h"

#include <memory>

namespace tavimor {

// The registry of a Windows 95/98/Me installation that is not running, read from the USER.DAT and
// SYSTEM.DAT of its WINDOWS folder. Nothing is written: those files have no writer we could verify.
class Win9xBackend : public KeyStoreBackend {
public:
    // nullptr with *error set when either file is missing or unreadable.
    static std::unique_ptr<Win9xBackend> open(const QString& folder, QString* error);
    // Over files already read; folder names the target.
    static std::unique_ptr<Win9xBackend> fromFiles(std::unique_ptr<CregFile> user,
                                                   std::unique_ptr<CregFile> system, const QString& folder);

    QString writeRefusal() const override;
    // An installation that is not running has nothing to restart.
    bool requestRestart() override { return true; }
    QString targetName() const override { return QStringLiteral("win9x:") + m_folder; }

protected:
    long storeKeyExists(const QString& path, bool* exists) override;
    long storeCreateKey(const QString& path, bool* created) override;
    long storeReadValue(const QString& path, const QString& name, RegValue* value) override;
    long storeWriteValue(const QString& path, const QString& name, const RegValue& value) override;
    long storeDeleteValue(const QString& path, const QString& name) override;
    long storeValueNames(const QString& path, QStringList* names) override;

private:
    Win9xBackend() = default;
    // The file and the key path in it that a full path names; nullptr when none.
    const CregFile* locate(const QString& fullPath, QString* keyPath) const;

    QString m_folder;
    std::unique_ptr<CregFile> m_user;
    std::unique_ptr<CregFile> m_system;
    QString m_userRoot; // ".DEFAULT" in a USER.DAT without user profiles
};

} // namespace tavimor
