// SPDX-License-Identifier: GPL-3.0-or-later
#include "CregFile.h"

#include "CregLayout.h"
#include "CregLibrary.h"
#include "base/FileUtil.h"

#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace tavimor {

namespace {

// Called only once a file was opened, which needs the library.
const CregLibrary& creg() {
    return *CregLibrary::get();
}

struct ErrorGuard {
    libcreg_error_t* error = nullptr;
    ~ErrorGuard() { creg().libcreg_error_free(&error); }
    QString text() const {
        char buffer[512] = {};
        if (error)
            creg().libcreg_error_sprint(error, buffer, sizeof buffer);
        return QString::fromLocal8Bit(buffer).trimmed();
    }
};

struct Key {
    libcreg_key_t* key = nullptr;
    ~Key() { creg().libcreg_key_free(&key, nullptr); }
};

struct Value {
    libcreg_value_t* value = nullptr;
    ~Value() { creg().libcreg_value_free(&value, nullptr); }
};

} // namespace

struct CregFile::Handle {
    libcreg_file_t* file = nullptr;
    ~Handle() {
        creg().libcreg_file_close(file, nullptr);
        creg().libcreg_file_free(&file, nullptr);
    }
    // 1 with *key set, 0 when there is no such key, -1 on a damaged file.
    int key(const QString& path, Key* key) const {
        const QByteArray utf8 = path.toUtf8();
        if (path.isEmpty())
            return creg().libcreg_file_get_root_key(file, &key->key, nullptr);
        return creg().libcreg_file_get_key_by_utf8_path(file,
                                                        reinterpret_cast<const uint8_t*>(utf8.constData()),
                                                        size_t(utf8.size()), &key->key, nullptr);
    }
};

CregFile::CregFile(std::unique_ptr<Handle> handle)
    : m_handle(std::move(handle)) {
}

CregFile::~CregFile() = default;

std::unique_ptr<CregFile> CregFile::open(const QString& path, QString* error) {
    // Read here, not by libcreg: a FIFO must not hold the program, nor a huge file fill its memory.
    QString why;
    const std::optional<QByteArray> bytes = readWholeFile(path, kMaxCregFileSize, &why);
    if (!bytes) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(path, why);
        return nullptr;
    }
    return fromBytes(*bytes, path, error);
}

std::unique_ptr<CregFile> CregFile::fromBytes(const QByteArray& bytes, const QString& name, QString* error) {
    if (const QString fault = cregLayoutFault(bytes); !fault.isEmpty()) {
        *error = QStringLiteral("%1 is not a sound Windows 95/98/Me registry file: %2").arg(name, fault);
        return nullptr;
    }
    QString missing;
    if (!CregLibrary::get(&missing)) {
        *error = QStringLiteral("%1 cannot be opened: %2").arg(name, missing);
        return nullptr;
    }
    // libcreg reads from a path; an anonymous file holds exactly the bytes checked above.
    const int fd = ::memfd_create("creg", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != ssize_t(bytes.size())) {
        *error =
            QStringLiteral("%1 cannot be read: %2").arg(name, QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    auto handle = std::make_unique<Handle>();
    ErrorGuard failure;
    const QByteArray copy = QStringLiteral("/proc/self/fd/%1").arg(fd).toLatin1();
    const bool opened =
        creg().libcreg_file_initialize(&handle->file, &failure.error) == 1 &&
        creg().libcreg_file_open(handle->file, copy.constData(), LIBCREG_OPEN_READ, &failure.error) == 1;
    // libcreg holds a descriptor of its own once it has opened the file.
    ::close(fd);
    if (!opened) {
        *error = QStringLiteral("%1 is not a Windows 95/98/Me registry file (%2)").arg(name, failure.text());
        return nullptr;
    }
    return std::unique_ptr<CregFile>(new CregFile(std::move(handle)));
}

bool CregFile::keyExists(const QString& keyPath) const {
    Key key;
    return m_handle->key(keyPath, &key) == 1;
}

long CregFile::valueNames(const QString& keyPath, QStringList* names) const {
    Key key;
    const int found = m_handle->key(keyPath, &key);
    if (found != 1)
        return found == 0 ? ERROR_FILE_NOT_FOUND : ERROR_BADDB;
    int count = 0;
    if (creg().libcreg_key_get_number_of_values(key.key, &count, nullptr) != 1)
        return ERROR_BADDB;
    for (int i = 0; i < count; ++i) {
        Value value;
        size_t size = 0;
        if (creg().libcreg_key_get_value_by_index(key.key, i, &value.value, nullptr) != 1 ||
            creg().libcreg_value_get_utf8_name_size(value.value, &size, nullptr) != 1)
            return ERROR_BADDB;
        QByteArray name(qsizetype(size), '\0');
        if (size > 0 && creg().libcreg_value_get_utf8_name(
                            value.value, reinterpret_cast<uint8_t*>(name.data()), size, nullptr) != 1)
            return ERROR_BADDB;
        names->append(QString::fromUtf8(name.constData()));
    }
    return ERROR_SUCCESS;
}

long CregFile::value(const QString& keyPath, const QString& name, RegValue* result) const {
    Key key;
    const int found = m_handle->key(keyPath, &key);
    if (found != 1)
        return found == 0 ? ERROR_FILE_NOT_FOUND : ERROR_BADDB;
    Value value;
    const QByteArray utf8 = name.toUtf8();
    const int has =
        creg().libcreg_key_get_value_by_utf8_name(key.key, reinterpret_cast<const uint8_t*>(utf8.constData()),
                                                  size_t(utf8.size()), &value.value, nullptr);
    if (has != 1)
        return has == 0 ? ERROR_FILE_NOT_FOUND : ERROR_BADDB;
    uint32_t type = 0;
    size_t size = 0;
    if (creg().libcreg_value_get_value_type(value.value, &type, nullptr) != 1 ||
        creg().libcreg_value_get_value_data_size(value.value, &size, nullptr) != 1)
        return ERROR_BADDB;
    QByteArray data(qsizetype(size), '\0');
    if (size > 0 && creg().libcreg_value_get_value_data(value.value, reinterpret_cast<uint8_t*>(data.data()),
                                                        size, nullptr) != 1)
        return ERROR_BADDB;
    // Windows 9x keeps text in the ANSI code page, sometimes without its terminating zero.
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && !data.endsWith('\0'))
        data.append('\0');
    *result = RegValue{type, data};
    return ERROR_SUCCESS;
}

} // namespace tavimor
