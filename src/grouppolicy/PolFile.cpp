// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolFile.h"

#include "registry/RegistryBackend.h"

#include <QtEndian>
#include <algorithm>

namespace tavimor {

namespace {

constexpr char kSignature[] = "PReg";
constexpr quint32 kVersion = 1;
const QLatin1String kDeletePrefix("**del.");
const QLatin1String kSoftPrefix("**soft.");
const QLatin1String kCommandPrefix("**");
const QLatin1String kDeleteAllValues("**delvals.");
const QLatin1String kDeleteListedValues("**DeleteValues");
const QLatin1String kDeleteListedKeys("**DeleteKeys");

bool same(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool same(QStringView a, QLatin1StringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Some writers end a key with a backslash; Windows does not tell the two apart.
QStringView bareKey(QStringView key) {
    while (key.endsWith(QLatin1Char('\\')))
        key.chop(1);
    return key;
}

bool sameKey(QStringView a, QStringView b) {
    return same(bareKey(a), bareKey(b));
}

bool isBelow(QStringView key, QStringView parent) {
    key = bareKey(key);
    parent = bareKey(parent);
    return same(key, parent) || (key.size() > parent.size() && key.at(parent.size()) == QLatin1Char('\\') &&
                                 same(key.left(parent.size()), parent));
}

// The value a record's name is about: NAME for "NAME", "**del.NAME" and "**soft.NAME"; another
// command ("**delvals.") is about itself.
QStringView subjectOf(QStringView name) {
    if (name.startsWith(kDeletePrefix, Qt::CaseInsensitive))
        return name.mid(kDeletePrefix.size());
    if (name.startsWith(kSoftPrefix, Qt::CaseInsensitive))
        return name.mid(kSoftPrefix.size());
    return name;
}

// The names a "**DeleteValues" or "**DeleteKeys" record lists: UTF-16 text, separated by ';'.
QStringList listedNames(const QByteArray& data) {
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(data.constData()), data.size() / 2);
    return text.section(QChar(0), 0, 0).split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

// A record with no name, no type and no data only makes its key.
bool onlyMakesKey(const PolRecord& record) {
    return record.valueName.isEmpty() && record.type == REG_NONE && record.data.isEmpty();
}

class Reader {
public:
    explicit Reader(const QByteArray& bytes)
        : m_bytes(bytes) {}

    qsizetype offset() const { return m_at; }
    bool atEnd() const { return m_at >= m_bytes.size(); }

    std::optional<quint32> dword() {
        if (m_bytes.size() - m_at < 4)
            return std::nullopt;
        const quint32 value = qFromLittleEndian<quint32>(m_bytes.constData() + m_at);
        m_at += 4;
        return value;
    }
    std::optional<char16_t> unit() {
        if (m_bytes.size() - m_at < 2)
            return std::nullopt;
        const char16_t value = qFromLittleEndian<char16_t>(m_bytes.constData() + m_at);
        m_at += 2;
        return value;
    }
    bool expect(char16_t wanted) { return unit() == wanted; }
    // Units up to a terminating 0, which is consumed.
    std::optional<QString> string() {
        QString text;
        while (true) {
            const std::optional<char16_t> c = unit();
            if (!c)
                return std::nullopt;
            if (*c == 0)
                return text;
            text.append(QChar(*c));
        }
    }
    std::optional<QByteArray> bytes(quint32 size) {
        if (quint64(m_bytes.size() - m_at) < size)
            return std::nullopt;
        QByteArray data = m_bytes.mid(m_at, qsizetype(size));
        m_at += qsizetype(size);
        return data;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_at = 0;
};

void putDword(QByteArray& out, quint32 value) {
    char buffer[4];
    qToLittleEndian(value, buffer);
    out.append(buffer, 4);
}

void putUnit(QByteArray& out, char16_t value) {
    char buffer[2];
    qToLittleEndian(value, buffer);
    out.append(buffer, 2);
}

void putString(QByteArray& out, const QString& text) {
    for (const QChar c : text)
        putUnit(out, c.unicode());
    putUnit(out, 0);
}

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

bool readRecord(Reader& in, PolRecord& record, QString* error) {
    const qsizetype start = in.offset();
    auto broken = [&](const char* what) {
        return fail(error, QStringLiteral("the record at byte %1 %2").arg(start).arg(QLatin1String(what)));
    };
    if (!in.expect(u'['))
        return broken("does not begin with [");
    const std::optional<QString> key = in.string();
    if (!key || !in.expect(u';'))
        return broken("has no key name ending in 0 and ;");
    const std::optional<QString> name = in.string();
    if (!name || !in.expect(u';'))
        return broken("has no value name ending in 0 and ;");
    const std::optional<quint32> type = in.dword();
    if (!type || !in.expect(u';'))
        return broken("has no type followed by ;");
    const std::optional<quint32> size = in.dword();
    if (!size || !in.expect(u';'))
        return broken("has no size followed by ;");
    const std::optional<QByteArray> data = in.bytes(*size);
    if (!data)
        return broken("is shorter than its size says");
    if (!in.expect(u']'))
        return broken("does not end with ]");
    record = {*key, *name, *type, *data};
    return true;
}

} // namespace

bool PolRecord::isDeletion() const {
    return valueName.startsWith(kDeletePrefix, Qt::CaseInsensitive);
}

QString PolRecord::targetName() const {
    return isDeletion() ? valueName.mid(kDeletePrefix.size()) : valueName;
}

std::optional<quint32> PolRecord::dword() const {
    if (type != REG_DWORD || data.size() != 4)
        return std::nullopt;
    return qFromLittleEndian<quint32>(data.constData());
}

PolRecord PolRecord::dwordRecord(const QString& key, const QString& name, quint32 value) {
    QByteArray data;
    putDword(data, value);
    return {key, name, REG_DWORD, data};
}

PolRecord PolRecord::deletion(const QString& key, const QString& name) {
    // What policy editors write for a deletion: a REG_SZ holding one space and its 0.
    return {key, kDeletePrefix + name, REG_SZ, QByteArray(" \0\0\0", 4)};
}

std::optional<RegValue> PolFile::valueOf(const QString& key, const QString& name) const {
    std::optional<RegValue> value;
    if (name.startsWith(kCommandPrefix)) {
        for (const PolRecord& record : records)
            if (sameKey(record.key, key) && same(record.valueName, name))
                value = RegValue{record.type, record.data};
        return value;
    }
    for (const PolRecord& record : records) {
        const QString& recordName = record.valueName;
        if (!sameKey(record.key, key)) {
            if (same(recordName, kDeleteListedKeys) && isBelow(key, record.key))
                for (const QString& listed : listedNames(record.data))
                    if (isBelow(key, listed) ||
                        isBelow(key, QString(record.key + QLatin1Char('\\') + listed)))
                        value.reset();
            continue;
        }
        if (same(recordName, name)) {
            if (!onlyMakesKey(record))
                value = RegValue{record.type, record.data};
        } else if (same(recordName, kDeleteAllValues) ||
                   (same(subjectOf(recordName), name) &&
                    recordName.startsWith(kDeletePrefix, Qt::CaseInsensitive))) {
            value.reset();
        } else if (same(recordName, kDeleteListedValues)) {
            if (listedNames(record.data).contains(name, Qt::CaseInsensitive))
                value.reset();
        } else if (same(subjectOf(recordName), name) && !value) {
            value = RegValue{record.type, record.data}; // "**soft.": only where nothing is set
        }
    }
    return value;
}

bool PolFile::hasKey(const QString& key) const {
    return std::any_of(records.cbegin(), records.cend(),
                       [&](const PolRecord& record) { return isBelow(record.key, key); });
}

qsizetype PolFile::recordFor(const QString& key, const QString& name) const {
    const QStringView subject = subjectOf(name);
    for (qsizetype i = 0; i < records.size(); ++i)
        if (sameKey(records[i].key, key) && same(subjectOf(records[i].valueName), subject))
            return i;
    return -1;
}

QStringList PolFile::valueNames(const QString& key) const {
    QStringList names;
    for (const PolRecord& record : records) {
        const QString name = subjectOf(record.valueName).toString();
        if (sameKey(record.key, key) && !name.startsWith(QLatin1String("**")) &&
            std::none_of(names.cbegin(), names.cend(),
                         [&](const QString& seen) { return same(seen, name); }) &&
            valueOf(key, name))
            names.append(name);
    }
    return names;
}

bool PolFile::setRecord(const QString& key, const QString& name, const RegValue& value) {
    const qsizetype first = recordFor(key, name);
    if (first < 0) {
        records.append({key, name, value.type, value.data});
        return true;
    }
    PolRecord& record = records[first];
    // The spelling a file has is kept where only the case differs.
    PolRecord wanted{record.key, same(record.valueName, name) ? record.valueName : name, value.type,
                     value.data};
    bool changed = record != wanted;
    record = std::move(wanted);
    const QStringView subject = subjectOf(name);
    for (qsizetype i = records.size() - 1; i > first; --i)
        if (sameKey(records[i].key, key) && same(subjectOf(records[i].valueName), subject)) {
            records.removeAt(i);
            changed = true;
        }
    return changed;
}

bool PolFile::removeRecords(const QString& key, const QString& name) {
    const QStringView subject = subjectOf(name);
    return records.removeIf([&](const PolRecord& record) {
        return sameKey(record.key, key) && same(subjectOf(record.valueName), subject);
    }) > 0;
}

std::optional<PolFile> PolFile::parse(const QByteArray& bytes, QString* error) {
    Reader in(bytes);
    const std::optional<QByteArray> signature = in.bytes(4);
    if (!signature || *signature != kSignature) {
        fail(error, QStringLiteral("not a Registry.pol file (no PReg signature)"));
        return std::nullopt;
    }
    const std::optional<quint32> version = in.dword();
    if (version != kVersion) {
        fail(error, version ? QStringLiteral("version %1 is not the known version 1").arg(*version)
                            : QStringLiteral("the header is cut short"));
        return std::nullopt;
    }
    PolFile file;
    while (!in.atEnd()) {
        PolRecord record;
        if (!readRecord(in, record, error))
            return std::nullopt;
        file.records.append(std::move(record));
    }
    return file;
}

QByteArray PolFile::serialize() const {
    QByteArray out;
    qsizetype size = 8;
    for (const PolRecord& record : records)
        size += 2 * (record.key.size() + record.valueName.size()) + record.data.size() + 26;
    out.reserve(size);
    out.append(kSignature, 4);
    putDword(out, kVersion);
    for (const PolRecord& record : records) {
        putUnit(out, u'[');
        putString(out, record.key);
        putUnit(out, u';');
        putString(out, record.valueName);
        putUnit(out, u';');
        putDword(out, record.type);
        putUnit(out, u';');
        putDword(out, quint32(record.data.size()));
        putUnit(out, u';');
        out.append(record.data);
        putUnit(out, u']');
    }
    return out;
}

} // namespace tavimor
