// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace tavimor {

// The INI text of the settings store, in the form Qt's QSettings reads and writes, so stores of
// earlier versions stay readable. Parsing is strict: a line that is neither blank, a comment, a
// [section] nor key=value makes the whole text unreadable, never silently empty.
class IniFile {
public:
    // nullopt when the text cannot be read; *error then names the line and why.
    static std::optional<IniFile> parse(const QByteArray& bytes, QString* error = nullptr);
    QByteArray serialize() const;

    std::optional<QString> value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& text);

    static QByteArray escapedValue(const QString& text);
    // nullopt for an unterminated quote.
    static std::optional<QString> unescapedValue(QByteArrayView raw);

private:
    struct Entry {
        QString key;
        QByteArray raw; // the value as written, kept for values we do not change
    };
    struct Section {
        QString name;
        QList<Entry> entries;
    };
    Section& section(const QString& name);

    QList<Section> m_sections;
};

} // namespace tavimor
