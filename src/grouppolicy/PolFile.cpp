// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolFile.h"

#include "registry/RegistryBackend.h"

#include <QtEndian>

namespace tavimor {

namespace {

constexpr char kSignature[] = "PReg";
constexpr quint32 kVersion = 1;
const QLatin1String kDeletePrefix("**del.");

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
