// SPDX-License-Identifier: GPL-3.0-or-later
#include "Hivex.h"

#include "base/FileUtil.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <hivex.h>
#include <type_traits>
#include <vector>

namespace tavimor {

namespace {

// hivex hands types back as the hive stores them, which may lie outside the enum's range:
// move them as bytes, never through a load or a cast of the enum.
using RawType = std::underlying_type_t<hive_type>;
static_assert(sizeof(RawType) == sizeof(hive_type));

quint32 rawType(const hive_type& type) {
    RawType raw = 0;
    std::memcpy(&raw, &type, sizeof raw);
    return quint32(raw);
}

void setRawType(hive_type* type, quint32 value) {
    const RawType raw = RawType(value);
    std::memcpy(type, &raw, sizeof raw);
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Owned = std::unique_ptr<T, FreeDeleter>;

bool isText(quint32 type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// Hives keep text as UTF-16LE; the program hands it over as ANSI with a terminating zero.
QByteArray textToHive(const QByteArray& ansi) {
    const qsizetype nul = ansi.indexOf('\0');
    const QString text = QString::fromLatin1(nul < 0 ? ansi : ansi.left(nul));
    QByteArray bytes(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes.append(2, '\0');
}

// A REG_MULTI_SZ goes over unit for unit, its zeros included: each string and one more zero.
QByteArray multiToHive(const QByteArray& ansi) {
    QByteArray bytes;
    bytes.reserve(ansi.size() * 2 + 2);
    for (const char c : ansi)
        bytes.append(c).append('\0');
    if (!ansi.endsWith(QByteArray(2, '\0')))
        bytes.append(4 - (ansi.endsWith('\0') ? 2 : 0), '\0');
    return bytes;
}

QByteArray multiFromHive(const char* data, size_t size) {
    QByteArray ansi;
    ansi.reserve(qsizetype(size / 2));
    for (size_t i = 0; i + 1 < size; i += 2) {
        const quint16 unit = quint16(quint8(data[i])) | quint16(quint8(data[i + 1])) << 8;
        ansi.append(unit <= 0xFF ? char(unit) : '?');
    }
    return ansi;
}

QByteArray textFromHive(const char* data, size_t size) {
    QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    return text.toLatin1() + '\0';
}

QString why(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

Hivex::~Hivex() {
    hivex_close(m_hive);
}

std::unique_ptr<Hivex> Hivex::open(const QString& path, bool writable, QString* error) {
    // hivex opens without O_NONBLOCK: a FIFO in place of a hive would hold the program for good.
    QFile probe(path);
    QString refusal;
    if (!openRegularFile(probe, &refusal)) {
        if (error)
            *error = QStringLiteral("%1 cannot be read: %2").arg(path, refusal);
        return nullptr;
    }
    probe.close();
    errno = 0;
    hive_h* hive = hivex_open(QFile::encodeName(path).constData(), writable ? HIVEX_OPEN_WRITE : 0);
    if (!hive) {
        if (error)
            *error = errno == ENOTSUP || errno == EINVAL
                         ? QStringLiteral("%1 is not a Windows registry hive").arg(path)
                         : QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    return std::unique_ptr<Hivex>(new Hivex(hive, writable));
}

Hivex::Node Hivex::root() const {
    return hivex_root(m_hive);
}

Hivex::Node Hivex::child(Node parent, const QString& name) const {
    if (!parent || name.isEmpty())
        return 0;
    return hivex_node_get_child(m_hive, parent, name.toUtf8().constData());
}

Hivex::Node Hivex::find(const QString& path) const {
    Node node = root();
    for (const QString& part : path.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        node = child(node, part);
        if (!node)
            return 0;
    }
    return node;
}

Hivex::Node Hivex::addChild(Node parent, const QString& name) {
    if (!m_writable || !parent)
        return 0;
    return hivex_node_add_child(m_hive, parent, name.toUtf8().constData());
}

long Hivex::value(Node node, const QString& name, RegValue* value) const {
    if (!node)
        return ERROR_FILE_NOT_FOUND;
    errno = 0;
    const hive_value_h handle = hivex_node_get_value(m_hive, node, name.toUtf8().constData());
    if (!handle)
        return errno == 0 || errno == HIVEX_NO_KEY ? ERROR_FILE_NOT_FOUND : ERROR_BADDB;
    hive_type type = hive_t_REG_NONE;
    size_t size = 0;
    const Owned<char> data(hivex_value_value(m_hive, handle, &type, &size));
    if (!data)
        return ERROR_BADDB;
    value->type = rawType(type);
    if (textBeyondLatin1(RegValue{value->type, QByteArray::fromRawData(data.get(), qsizetype(size))}))
        return ERROR_CANTREAD;
    value->data = isText(value->type)           ? textFromHive(data.get(), size)
                  : value->type == REG_MULTI_SZ ? multiFromHive(data.get(), size)
                                                : QByteArray(data.get(), qsizetype(size));
    return ERROR_SUCCESS;
}

bool Hivex::setValue(Node node, const QString& name, const RegValue& value) {
    if (!m_writable || !node)
        return false;
    QByteArray key = name.toUtf8();
    QByteArray data = isText(value.type)           ? textToHive(value.data)
                      : value.type == REG_MULTI_SZ ? multiToHive(value.data)
                                                   : value.data;
    hive_set_value set{key.data(), hive_t_REG_NONE, size_t(data.size()), data.data()};
    setRawType(&set.t, value.type);
    return hivex_node_set_value(m_hive, node, &set, 0) == 0;
}

long Hivex::deleteValue(Node node, const QString& name) {
    if (!node)
        return ERROR_FILE_NOT_FOUND;
    if (!m_writable)
        return ERROR_ACCESS_DENIED;
    // hivex has no call for one value: the key gets all its other values back.
    const Owned<hive_value_h> handles(hivex_node_values(m_hive, node));
    if (!handles)
        return ERROR_BADDB;
    std::vector<Owned<char>> owned;
    std::vector<hive_set_value> kept;
    bool found = false;
    for (const hive_value_h* at = handles.get(); *at; ++at) {
        Owned<char> key(hivex_value_key(m_hive, *at));
        hive_type type = hive_t_REG_NONE;
        size_t size = 0;
        Owned<char> data(hivex_value_value(m_hive, *at, &type, &size));
        if (!key || !data)
            return ERROR_BADDB;
        if (!found && QString::fromUtf8(key.get()).compare(name, Qt::CaseInsensitive) == 0) {
            found = true;
            continue;
        }
        kept.push_back(hive_set_value{key.get(), hive_t_REG_NONE, size, data.get()});
        setRawType(&kept.back().t, rawType(type));
        owned.push_back(std::move(key));
        owned.push_back(std::move(data));
    }
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    return hivex_node_set_values(m_hive, node, kept.size(), kept.data(), 0) == 0 ? ERROR_SUCCESS
                                                                                 : ERROR_CANTWRITE;
}

long Hivex::valueNames(Node node, QStringList* names) const {
    if (!node)
        return ERROR_FILE_NOT_FOUND;
    const Owned<hive_value_h> handles(hivex_node_values(m_hive, node));
    if (!handles)
        return ERROR_BADDB;
    for (const hive_value_h* at = handles.get(); *at; ++at) {
        const Owned<char> key(hivex_value_key(m_hive, *at));
        if (!key)
            return ERROR_BADDB;
        names->append(QString::fromUtf8(key.get()));
    }
    return ERROR_SUCCESS;
}

bool Hivex::commit(const QString& path, QString* error) {
    errno = 0;
    if (hivex_commit(m_hive, QFile::encodeName(path).constData(), 0) == 0)
        return true;
    if (error)
        *error = why("cannot write the hive");
    return false;
}

} // namespace tavimor
