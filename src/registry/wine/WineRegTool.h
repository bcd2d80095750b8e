// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/KeyStoreBackend.h"

#include <QString>
#include <QStringList>

namespace tavimor {

// Wine's own programs run in a prefix: "reg" for keys and values while a wineserver holds the
// registry, "wineboot" for the restart. Full key names ("HKEY_CURRENT_USER\Software") throughout;
// values as the ANSI registry functions hand them over.
class WineRegTool {
public:
    explicit WineRegTool(const QString& prefix);

    // The wine loader: $WINE, else "wine" or "wine64" on the PATH, else Debian's wine64 beside it.
    static QString wineProgram();
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

    long keyExists(const QString& key, bool* exists);
    long createKey(const QString& key);
    long readValue(const QString& key, const QString& name, RegValue* value);
    long writeValue(const QString& key, const QString& name, const RegValue& value);
    // ERROR_FILE_NOT_FOUND when the value was not there.
    long deleteValue(const QString& key, const QString& name);
    // What "reg export" writes for the key and everything below it (a version 5 .reg file in
    // UTF-16LE); *exists false, and ERROR_SUCCESS, when there is no such key.
    long exportKey(const QString& key, QByteArray* content, bool* exists);
    // Runs "reg import" of a .reg file with this content. reg goes on past a key it cannot
    // write and says so in *messages only, so what it did is for the caller to read back.
    long importFile(const QByteArray& content, QString* messages);
    // Ends the prefix's Windows session and boots it again, as Wine's own restart does.
    bool restart();

    // Parses "reg query KEY /v NAME" output; nullopt when the value is not in it.
    static std::optional<RegValue> parseQuery(const QByteArray& output, const QString& name);
    QString lastError() const { return m_lastError; }

private:
    // The exit code, or -1 when Wine could not be run or did not end in time.
    int run(const QStringList& arguments, QByteArray* output = nullptr, const QString& folder = QString(),
            QByteArray* errors = nullptr);

    QString m_prefix;
    QString m_lastError;
    int m_timeout = 60000;
};

} // namespace tavimor
