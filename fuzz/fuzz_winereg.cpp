// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/wine/WineRegFile.h"
#include "registry/wine/WineRegIndex.h"
#include "registry/wine/WineRegSyntax.h"

#include <cstdint>
#include <cstdlib>

using namespace tavimor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    std::optional<WineRegFile> file = WineRegFile::parse(bytes);
    if (!file)
        return 0;
    if (file->serialize() != bytes)
        abort();

    // The lazy index must answer as the full parse does, key by key and value by value.
    if (const std::optional<WineRegIndex> index = WineRegIndex::index(bytes)) {
        for (const QString& key : file->keyPaths()) {
            if (!index->hasKey(key) || index->isLink(key) != file->isLink(key))
                abort();
            for (const QString& name : file->valueNames(key))
                if (index->value(key, name) != file->value(key, name))
                    abort();
        }
    }

    // Change a value, add one and a key: what we write must read back as it was set.
    constexpr qint64 kTime = 0x1dd85800fa10402LL;
    QList<std::pair<QString, QString>> touched;
    const RegValue value{quint32(size % 12), bytes.left(40)};
    const QStringList keys = file->keyPaths();
    if (!keys.isEmpty()) {
        const QString key = keys.first();
        const QStringList names = file->valueNames(key);
        if (!names.isEmpty() && file->setValue(key, names.first(), value, kTime))
            touched.append({key, names.first()});
        const QString name = QString::fromLatin1(bytes.left(12));
        if (file->setValue(key, name, RegValue{REG_SZ, winereg::utf16Data(name)}, kTime))
            touched.append({key, name});
        const QString child = key + QStringLiteral("\\Fuzz");
        if (file->createKey(child, kTime) && file->setValue(child, QString(), value, kTime))
            touched.append({child, QString()});
    }
    const QByteArray first = file->serialize();
    const std::optional<WineRegFile> again = WineRegFile::parse(first);
    if (!again || again->serialize() != first)
        abort();
    for (const auto& [key, name] : std::as_const(touched)) {
        if (!file->value(key, name) || again->value(key, name) != file->value(key, name))
            abort();
        if (again->modified(key) != kTime)
            abort();
    }
    return 0;
}
