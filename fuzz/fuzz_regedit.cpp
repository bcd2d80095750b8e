// SPDX-License-Identifier: GPL-3.0-or-later
#include "registry/MemoryBackend.h"
#include "registry/regfile/RegEditFile.h"
#include "registry/regfile/RegPatch.h"
#include "registry/wine/WineRegExport.h"

#include <cstdint>
#include <cstdlib>
#include <tuple>

using namespace tavimor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The readers of import-reg and of what Wine (or the agent) exports share this file's syntax.
    std::ignore = RegPatch::parse(bytes, nullptr, nullptr);
    std::ignore = parseRegExport(bytes);
    std::optional<RegEditFile> file = RegEditFile::parse(bytes);
    if (!file)
        return 0;
    if (file->serialize() != bytes)
        abort();

    // Change a value, add one, add a key: the canonical lines must read back as they were set.
    QList<std::pair<QString, QString>> touched;
    const RegValue value{size % 3 == 0 ? REG_SZ : quint32(size % 12), bytes.left(40)};
    const QStringList keys = file->keyPaths();
    if (!keys.isEmpty()) {
        const QString key = keys.first();
        const QStringList names = file->valueNames(key);
        if (!names.isEmpty() && file->setValue(key, names.first(), value))
            touched.append({key, names.first()});
        if (file->setValue(key, QStringLiteral("Fuzz"), regDword(quint32(size))))
            touched.append({key, QStringLiteral("Fuzz")});
        const QString child = key + QStringLiteral("\\Fuzz");
        if (file->createKey(child) && file->setValue(child, QString(), value))
            touched.append({child, QString()});
    }
    const QByteArray first = file->serialize();
    const std::optional<RegEditFile> again = RegEditFile::parse(first);
    if (!again || again->serialize() != first)
        abort();
    for (const auto& [key, name] : std::as_const(touched)) {
        if (!file->value(key, name) || again->value(key, name) != file->value(key, name))
            abort();
    }
    return 0;
}
