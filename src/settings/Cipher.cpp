// SPDX-License-Identifier: GPL-3.0-or-later
#include "Cipher.h"

#include <QByteArray>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/rand.h>
#include <optional>

namespace tavimor {

namespace {

// Envelope: magic | version | KDF id | iterations (BE) | salt | nonce | ciphertext | tag.
constexpr char kMagic[4] = {'T', 'V', 'R', 'D'};
constexpr unsigned char kVersion = 0x01;
constexpr unsigned char kKdfPbkdf2Sha256 = 0x01;
constexpr qsizetype kIterationsAt = 6;
constexpr qsizetype kSaltAt = 10;
constexpr qsizetype kSaltSize = 16;
constexpr qsizetype kNonceAt = kSaltAt + kSaltSize;
constexpr qsizetype kNonceSize = 12;
constexpr qsizetype kHeaderSize = kNonceAt + kNonceSize;
constexpr qsizetype kTagSize = 16;
constexpr int kKeySize = 32;
// The pass phrase ships inside every copy, so the envelope is about integrity and shape rather
// than secrecy; a modest count keeps settings files opening fast.
constexpr quint32 kIterations = 20000;
constexpr quint32 kMinIterations = 1000;
// The count comes from the file; a hostile one must not make opening it take seconds.
constexpr quint32 kMaxIterations = 100000;
// EVP lengths are int; large texts go through in pieces.
constexpr qsizetype kChunk = 1 << 20;

struct KdfFree {
    void operator()(EVP_KDF* kdf) const { EVP_KDF_free(kdf); }
};
struct KdfCtxFree {
    void operator()(EVP_KDF_CTX* ctx) const { EVP_KDF_CTX_free(ctx); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using KdfPtr = std::unique_ptr<EVP_KDF, KdfFree>;
using KdfCtxPtr = std::unique_ptr<EVP_KDF_CTX, KdfCtxFree>;
using CipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

// The derived key, wiped when it goes out of scope.
class Key {
public:
    Key() = default;
    ~Key() { OPENSSL_cleanse(m_bytes.data(), m_bytes.size()); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    unsigned char* data() { return m_bytes.data(); }

private:
    std::array<unsigned char, kKeySize> m_bytes{};
};

enum class Fault { None, NoContext, Library, BadData };

const unsigned char* bytes(const QByteArray& data, qsizetype at = 0) {
    return reinterpret_cast<const unsigned char*>(data.constData()) + at;
}

unsigned char* bytes(QByteArray& data, qsizetype at = 0) {
    return reinterpret_cast<unsigned char*>(data.data()) + at;
}

Fault deriveKey(const QByteArray& passPhrase, const unsigned char* salt, quint32 iterations, Key& key) {
    const KdfPtr kdf(EVP_KDF_fetch(nullptr, OSSL_KDF_NAME_PBKDF2, nullptr));
    if (!kdf)
        return Fault::NoContext;
    const KdfCtxPtr ctx(EVP_KDF_CTX_new(kdf.get()));
    if (!ctx)
        return Fault::NoContext;
    QByteArray password = passPhrase;
    std::uint64_t count = iterations;
    char digest[] = "SHA256";
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD, password.data(), password.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<unsigned char*>(salt), kSaltSize),
        OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_ITER, &count),
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_end(),
    };
    if (EVP_KDF_derive(ctx.get(), key.data(), kKeySize, params) != 1)
        return Fault::Library;
    return Fault::None;
}

QString encipherFaultCode(Fault fault) {
    return fault == Fault::NoContext ? QStringLiteral("-2") : QStringLiteral("-3");
}

QString decipherFaultCode(Fault fault) {
    switch (fault) {
    case Fault::NoContext:
        return QStringLiteral("-5");
    case Fault::BadData:
        return QStringLiteral("-2");
    default:
        return QStringLiteral("-3");
    }
}

// Runs the cipher over input into output (same length), a piece at a time.
bool cipherUpdate(EVP_CIPHER_CTX* ctx, bool encrypt, const unsigned char* input, unsigned char* output,
                  qsizetype size) {
    for (qsizetype done = 0; done < size;) {
        const int piece = static_cast<int>(std::min(kChunk, size - done));
        int written = 0;
        const int ok = encrypt ? EVP_EncryptUpdate(ctx, output + done, &written, input + done, piece)
                               : EVP_DecryptUpdate(ctx, output + done, &written, input + done, piece);
        if (ok != 1 || written != piece)
            return false;
        done += piece;
    }
    return true;
}

Fault encipher(const QByteArray& plain, const QByteArray& passPhrase, QByteArray& envelope) {
    CipherCtxPtr ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return Fault::NoContext;

    envelope = QByteArray(kHeaderSize + plain.size() + kTagSize, Qt::Uninitialized);
    std::memcpy(envelope.data(), kMagic, sizeof kMagic);
    envelope[4] = static_cast<char>(kVersion);
    envelope[5] = static_cast<char>(kKdfPbkdf2Sha256);
    qToBigEndian(kIterations, bytes(envelope, kIterationsAt));
    if (RAND_bytes(bytes(envelope, kSaltAt), kSaltSize) != 1 ||
        RAND_bytes(bytes(envelope, kNonceAt), kNonceSize) != 1)
        return Fault::Library;

    Key key;
    if (const Fault fault = deriveKey(passPhrase, bytes(envelope, kSaltAt), kIterations, key);
        fault != Fault::None)
        return fault;

    int written = 0;
    if (EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceSize, nullptr) != 1 ||
        EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key.data(), bytes(envelope, kNonceAt)) != 1 ||
        EVP_EncryptUpdate(ctx.get(), nullptr, &written, bytes(envelope), kHeaderSize) != 1)
        return Fault::Library;
    unsigned char* body = bytes(envelope, kHeaderSize);
    if (!cipherUpdate(ctx.get(), true, bytes(plain), body, plain.size()))
        return Fault::Library;
    if (EVP_EncryptFinal_ex(ctx.get(), body + plain.size(), &written) != 1 || written != 0 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagSize, body + plain.size()) != 1)
        return Fault::Library;
    return Fault::None;
}

// Checks everything that can be checked without the key.
bool envelopeShapeIsValid(const QByteArray& envelope) {
    if (envelope.size() < kHeaderSize + kTagSize)
        return false;
    if (std::memcmp(envelope.constData(), kMagic, sizeof kMagic) != 0)
        return false;
    if (static_cast<unsigned char>(envelope[4]) != kVersion ||
        static_cast<unsigned char>(envelope[5]) != kKdfPbkdf2Sha256)
        return false;
    const quint32 iterations = qFromBigEndian<quint32>(bytes(envelope, kIterationsAt));
    return iterations >= kMinIterations && iterations <= kMaxIterations;
}

Fault decipher(const QByteArray& envelope, const QByteArray& passPhrase, QByteArray& plain) {
    CipherCtxPtr ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return Fault::NoContext;

    Key key;
    const quint32 iterations = qFromBigEndian<quint32>(bytes(envelope, kIterationsAt));
    if (const Fault fault = deriveKey(passPhrase, bytes(envelope, kSaltAt), iterations, key);
        fault != Fault::None)
        return fault;

    int written = 0;
    if (EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceSize, nullptr) != 1 ||
        EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, key.data(), bytes(envelope, kNonceAt)) != 1 ||
        EVP_DecryptUpdate(ctx.get(), nullptr, &written, bytes(envelope), kHeaderSize) != 1)
        return Fault::Library;
    const qsizetype bodySize = envelope.size() - kHeaderSize - kTagSize;
    plain = QByteArray(bodySize, Qt::Uninitialized);
    if (!cipherUpdate(ctx.get(), false, bytes(envelope, kHeaderSize), bytes(plain), bodySize))
        return Fault::Library;
    // The tag is only read by OpenSSL, but the control call takes a non-const pointer.
    QByteArray tag = envelope.right(kTagSize);
    if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, tag.data()) != 1)
        return Fault::Library;
    unsigned char tail[16];
    if (EVP_DecryptFinal_ex(ctx.get(), tail, &written) != 1) {
        OPENSSL_cleanse(plain.data(), plain.size());
        plain.clear();
        return Fault::BadData;
    }
    return Fault::None;
}

// Base64 through OpenSSL, which is several times faster than QByteArray's for large files.
QByteArray toBase64(const QByteArray& data) {
    QByteArray text(4 * ((data.size() + 2) / 3), Qt::Uninitialized);
    // The encoder also writes a terminating zero, which QByteArray always has room for.
    for (qsizetype done = 0, out = 0; done < data.size();) {
        const qsizetype piece = std::min<qsizetype>(3 * kChunk, data.size() - done);
        out += EVP_EncodeBlock(bytes(text, out), bytes(data, done), int(piece));
        done += piece;
    }
    return text;
}

std::optional<QByteArray> fromBase64(const QByteArray& text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    QByteArray data(text.size() / 4 * 3, Qt::Uninitialized);
    qsizetype out = 0;
    for (qsizetype done = 0; done < text.size();) {
        const qsizetype piece = std::min<qsizetype>(4 * kChunk, text.size() - done);
        const int decoded = EVP_DecodeBlock(bytes(data, out), bytes(text, done), int(piece));
        if (decoded < 0)
            return std::nullopt;
        out += decoded;
        done += piece;
    }
    // The decoder counts the padding as zero bytes.
    const qsizetype padding = text.endsWith("==") ? 2 : text.endsWith('=') ? 1 : 0;
    data.truncate(out - padding);
    return data;
}

} // namespace

const QString& cataloguePassPhrase() {
    // Part of the .rds format, not the program's version: every later version must open the files
    // this one wrote, so this text never changes with project(VERSION).
    static const QString passPhrase =
        QStringLiteral("tvm4~catalogue~seal|Qz8r-Lw3k-Pd6n-Xh2v-Bm9t|REGIKEY@4.0");
    return passPhrase;
}

QByteArray EncipherBytes(QByteArray utf8, const QString& passPhrase) {
    QByteArray envelope;
    const Fault fault = encipher(utf8, passPhrase.toUtf8(), envelope);
    // A large text is let go as soon as it is enciphered, before its Base64 form is made.
    utf8 = QByteArray();
    if (fault != Fault::None)
        return encipherFaultCode(fault).toLatin1();
    QByteArray result = toBase64(envelope);
    return result.isEmpty() ? QByteArray("-1") : result;
}

qsizetype EncipheredSize(qsizetype plainSize) {
    return 4 * ((kHeaderSize + plainSize + kTagSize + 2) / 3);
}

QByteArray DecipherBytes(QByteArray base64, const QString& passPhrase) {
    if (base64.isEmpty())
        return QByteArray("-1");
    // Files arrive with line ends, and hand-copied text may be wrapped or indented.
    base64.removeIf([](char c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; });
    std::optional<QByteArray> envelope = fromBase64(base64);
    base64 = QByteArray();
    if (!envelope || !envelopeShapeIsValid(*envelope))
        return QByteArray("-2");
    QByteArray plain;
    if (const Fault fault = decipher(*envelope, passPhrase.toUtf8(), plain); fault != Fault::None)
        return decipherFaultCode(fault).toLatin1();
    return plain;
}

QString EncipherText(const QString& text, const QString& passPhrase) {
    return QString::fromLatin1(EncipherBytes(text.toUtf8(), passPhrase));
}

QString DecipherText(const QString& text, const QString& passPhrase) {
    if (text.isEmpty())
        return QStringLiteral("-1");
    return QString::fromUtf8(DecipherBytes(text.toLatin1(), passPhrase));
}

} // namespace tavimor
