// SPDX-License-Identifier: GPL-3.0-or-later
#include "CregLayout.h"

#include <QList>
#include <QtEndian>
#include <vector>

namespace tavimor {

namespace {

constexpr qsizetype kHeaderSize = 32;
constexpr qsizetype kBlockHeaderSize = 32;
constexpr qsizetype kKeyEntrySize = 28;
constexpr quint32 kNone = 0xFFFFFFFF;

quint32 u32(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

quint16 u16(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

QString hex(quint32 offset) {
    return QStringLiteral("0x%1").arg(offset, 0, 16);
}

} // namespace

QString cregLayoutFault(const QByteArray& bytes) {
    const qsizetype size = bytes.size();
    if (size < kHeaderSize + kBlockHeaderSize || !bytes.startsWith("CREG"))
        return QStringLiteral("it does not begin as one (CREG)");
    const qsizetype navigationAt = kHeaderSize;
    if (bytes.mid(navigationAt, 4) != "RGKN")
        return QStringLiteral("its key tree (RGKN) is not where it belongs");
    const quint32 navigationSize = u32(bytes, navigationAt + 4);
    if (navigationSize < kBlockHeaderSize || navigationSize > size - navigationAt)
        return QStringLiteral("its key tree (RGKN) runs past the end of the file");

    // Data blocks follow one another from the header's offset, each as long as it says.
    const quint32 blocks = u32(bytes, 16);
    if (blocks > quint32(size / kBlockHeaderSize))
        return QStringLiteral("it counts %1 data blocks, more than the file can hold").arg(blocks);
    qint64 blockAt = u32(bytes, 8);
    for (quint32 i = 0; i < blocks; ++i) {
        if (blockAt < navigationAt + navigationSize || blockAt > size - kBlockHeaderSize ||
            bytes.mid(blockAt, 4) != "RGDB")
            return QStringLiteral("its data block %1 (RGDB) is not where it belongs").arg(i);
        const quint32 blockSize = u32(bytes, blockAt + 4);
        if (blockSize < kBlockHeaderSize)
            return QStringLiteral("its data block %1 (RGDB) is too short").arg(i);
        if (blockSize > size - blockAt)
            return QStringLiteral("its data block %1 (RGDB) runs past the end of the file").arg(i);
        blockAt += blockSize;
    }

    // Every key reachable from the root, through first sub-keys and next keys, is read once.
    std::vector<bool> seen(navigationSize, false);
    QList<quint32> pending{u32(bytes, navigationAt + 8)};
    while (!pending.isEmpty()) {
        // libcreg takes 0 for an offset, the key tree's own header, not for the end of a list.
        const quint32 offset = pending.takeLast();
        if (offset == kNone)
            continue;
        if (offset < kBlockHeaderSize || offset > navigationSize - kKeyEntrySize)
            return QStringLiteral("a key lies outside its key tree (offset %1)").arg(hex(offset));
        if (seen[offset])
            return QStringLiteral("its key tree loops back to offset %1").arg(hex(offset));
        seen[offset] = true;
        const qsizetype entry = navigationAt + offset;
        const quint32 parent = u32(bytes, entry + 12);
        if (parent != kNone && parent != 0 &&
            (parent < kBlockHeaderSize || parent > navigationSize - kKeyEntrySize))
            return QStringLiteral("a key's parent lies outside its key tree (offset %1)").arg(hex(parent));
        const qint16 block = qint16(u16(bytes, entry + 26));
        if (block >= 0 && quint32(block) >= blocks)
            return QStringLiteral("a key names data block %1 of %2").arg(block).arg(blocks);
        pending.append(u32(bytes, entry + 16));
        pending.append(u32(bytes, entry + 20));
    }
    return QString();
}

} // namespace tavimor
