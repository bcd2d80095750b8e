// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/Cipher.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;

namespace {

const QString kPass = cataloguePassPhrase();
const QString kRefused = u"-2"_s;

QByteArray envelopeOf(const QString& cipherText) {
    return QByteArray::fromBase64(cipherText.toLatin1());
}

QString textOf(const QByteArray& envelope) {
    return QString::fromLatin1(envelope.toBase64());
}

} // namespace

TEST(Cipher, RoundTripsTextsOfEveryKindInAFreshEnvelope) {
    QString big;
    while (big.size() < 5 * 1024 * 1024)
        big += u"<ENTRY NAME=\"NoRun\" CURRENTVALUE=\"%1\"/>\r\n"_s.arg(big.size());
    const QString samples[] = {u"<?xml version=\"1.0\"?><TAVIMOR/>"_s,
                               u"Größe \u00e9t\u00e9 \u4e2d\u6587 \U0001F600 line\r\nbreak"_s, QString(),
                               big};
    for (const QString& text : samples) {
        const QString cipher = EncipherText(text, kPass);
        EXPECT_FALSE(cipher.startsWith(u'-') || cipher.contains(u'\n'));
        EXPECT_EQ(DecipherText(cipher, kPass), text);
        EXPECT_EQ(EncipheredSize(text.toUtf8().size()), cipher.size());
    }
    for (const int size : {1, 2, 3, 4})
        EXPECT_EQ(EncipheredSize(size), EncipherBytes(QByteArray(size, 'x'), kPass).size()) << size;

    // Handed over in pieces of every length, the text makes the same kind of envelope.
    for (const qsizetype pieceSize : {1, 2, 7, 65537}) {
        const QByteArray utf8 = big.toUtf8().left(pieceSize < 8 ? 20000 : big.size());
        const QByteArray pieces = EncipherPieces(
            [&](const std::function<void(QByteArrayView)>& piece) {
                for (qsizetype at = 0; at < utf8.size(); at += pieceSize)
                    piece(QByteArrayView(utf8).sliced(at, std::min(pieceSize, utf8.size() - at)));
            },
            kPass, 0);
        EXPECT_EQ(pieces.size(), EncipheredSize(utf8.size())) << pieceSize;
        EXPECT_EQ(DecipherBytes(pieces, kPass), utf8) << pieceSize;
    }

    // Hand-copied text may be wrapped and indented.
    const QString cipher = EncipherText(samples[0], kPass);
    QString wrapped;
    for (qsizetype at = 0; at < cipher.size(); at += 20)
        wrapped += u" \t"_s + cipher.mid(at, 20) + u"\r\n"_s;
    EXPECT_EQ(DecipherText(wrapped, kPass), samples[0]);

    // Salt and nonce both change.
    const QByteArray envelope = envelopeOf(cipher), second = envelopeOf(EncipherText(samples[0], kPass));
    EXPECT_NE(envelope.mid(10, 16), second.mid(10, 16));
    EXPECT_NE(envelope.mid(26, 12), second.mid(26, 12));
}

TEST(Cipher, RefusesWhatItDidNotWrite) {
    EXPECT_EQ(DecipherText(QString(), kPass), u"-1"_s);
    const QString cipher = EncipherText(u"<TAVIMOR/>"_s, kPass);
    EXPECT_EQ(DecipherText(cipher, kPass + u'x'), kRefused);

    QByteArray noise(200, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    const QString refused[] = {
        u"<?xml version=\"1.0\"?><TAVIMOR/>"_s,
        textOf(noise),
        cipher.left(cipher.size() / 2),
        textOf(envelopeOf(cipher).left(53)),
        cipher + u"AAAA"_s,
        u"\u00e9"_s + cipher,
        u"\r\n"_s,
    };
    for (const QString& text : refused)
        EXPECT_EQ(DecipherText(text, kPass), kRefused) << text.left(60).toStdString();
}

TEST(Cipher, DetectsDamageAnywhereInTheEnvelope) {
    const QByteArray envelope = envelopeOf(EncipherText(u"<TAVIMOR>payload</TAVIMOR>"_s, kPass));
    // Magic, version, KDF id, iterations, salt, nonce, ciphertext, tag.
    for (const qsizetype at : {0, 4, 5, 9, 12, 30, 40, 50, 70}) {
        QByteArray damaged = envelope;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x01);
        EXPECT_EQ(DecipherText(textOf(damaged), kPass), kRefused) << "byte " << at;
    }
    // Without the range check these would fail in the KDF or run for hours.
    for (const quint32 iterations : {0u, 999u, 1000001u, 0xFFFFFFFFu}) {
        QByteArray changed = envelope;
        qToBigEndian(iterations, changed.data() + 6);
        EXPECT_EQ(DecipherText(textOf(changed), kPass), kRefused) << iterations;
    }
}
