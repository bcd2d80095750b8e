// SPDX-License-Identifier: GPL-3.0-or-later
#include "Cipher.h"

#include "settings/CryptoLibrary.h"

#include <QByteArray>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace tavimor {

namespace {

// Every public function below has made sure the library is there before this is called.
const CryptoLibrary& ssl() {
    return *CryptoLibrary::get();
}

bool haveLibrary() {
    return CryptoLibrary::get() != nullptr;
}

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
// Text is enciphered and decoded through a buffer of this size, which stays in the cache.
constexpr qsizetype kPiece = 64 * 1024;

struct KdfFree {
    void operator()(EVP_KDF* kdf) const { ssl().EVP_KDF_free(kdf); }
};
struct KdfCtxFree {
    void operator()(EVP_KDF_CTX* ctx) const { ssl().EVP_KDF_CTX_free(ctx); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { ssl().EVP_CIPHER_CTX_free(ctx); }
};
using KdfPtr = std::unique_ptr<EVP_KDF, KdfFree>;
using KdfCtxPtr = std::unique_ptr<EVP_KDF_CTX, KdfCtxFree>;
using CipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

// The derived key, wiped when it goes out of scope.
class Key {
public:
    Key() = default;
    ~Key() { ssl().OPENSSL_cleanse(m_bytes.data(), m_bytes.size()); }
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
    const KdfPtr kdf(ssl().EVP_KDF_fetch(nullptr, OSSL_KDF_NAME_PBKDF2, nullptr));
    if (!kdf)
        return Fault::NoContext;
    const KdfCtxPtr ctx(ssl().EVP_KDF_CTX_new(kdf.get()));
    if (!ctx)
        return Fault::NoContext;
    QByteArray password = passPhrase;
    std::uint64_t count = iterations;
    char digest[] = "SHA256";
    const OSSL_PARAM params[] = {
        ssl().OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD, password.data(), password.size()),
        ssl().OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<unsigned char*>(salt),
                                                kSaltSize),
        ssl().OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_ITER, &count),
        ssl().OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        ssl().OSSL_PARAM_construct_end(),
    };
    if (ssl().EVP_KDF_derive(ctx.get(), key.data(), kKeySize, params) != 1)
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
        const int ok = encrypt ? ssl().EVP_EncryptUpdate(ctx, output + done, &written, input + done, piece)
                               : ssl().EVP_DecryptUpdate(ctx, output + done, &written, input + done, piece);
        if (ok != 1 || written != piece)
            return false;
        done += piece;
    }
    return true;
}

// Base64 of a byte stream that arrives in pieces: each three bytes are encoded as they come.
class Base64Writer {
public:
    explicit Base64Writer(QByteArray& out)
        : m_out(out) {}

    void add(const unsigned char* data, qsizetype size) {
        while (m_carried > 0 && m_carried < 3 && size > 0) {
            m_carry[m_carried++] = *data++;
            --size;
        }
        if (m_carried == 3) {
            encode(m_carry, 3);
            m_carried = 0;
        }
        const qsizetype whole = size / 3 * 3;
        for (qsizetype done = 0; done < whole;) {
            const qsizetype piece = std::min<qsizetype>(3 * kChunk, whole - done);
            encode(data + done, piece);
            done += piece;
        }
        for (qsizetype i = whole; i < size; ++i)
            m_carry[m_carried++] = data[i];
    }
    void finish() {
        if (m_carried > 0)
            encode(m_carry, m_carried);
        m_carried = 0;
    }

private:
    void encode(const unsigned char* data, qsizetype size) {
        const qsizetype at = m_out.size();
        m_out.resize(at + 4 * ((size + 2) / 3));
        // The encoder also writes a terminating zero, which QByteArray always has room for.
        ssl().EVP_EncodeBlock(bytes(m_out, at), data, int(size));
    }

    QByteArray& m_out;
    unsigned char m_carry[3] = {};
    int m_carried = 0;
};

// The envelope of a text handed over in pieces, written as Base64 into out: nothing but one
// piece is ever held beside it.
Fault encipher(const PieceWriter& write, const QByteArray& passPhrase, QByteArray& out) {
    CipherCtxPtr ctx(ssl().EVP_CIPHER_CTX_new());
    if (!ctx)
        return Fault::NoContext;

    unsigned char header[kHeaderSize];
    std::memcpy(header, kMagic, sizeof kMagic);
    header[4] = kVersion;
    header[5] = kKdfPbkdf2Sha256;
    qToBigEndian(kIterations, header + kIterationsAt);
    if (ssl().RAND_bytes(header + kSaltAt, kSaltSize) != 1 ||
        ssl().RAND_bytes(header + kNonceAt, kNonceSize) != 1)
        return Fault::Library;

    Key key;
    if (const Fault fault = deriveKey(passPhrase, header + kSaltAt, kIterations, key); fault != Fault::None)
        return fault;

    int written = 0;
    if (ssl().EVP_EncryptInit_ex(ctx.get(), ssl().EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
        ssl().EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceSize, nullptr) != 1 ||
        ssl().EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key.data(), header + kNonceAt) != 1 ||
        ssl().EVP_EncryptUpdate(ctx.get(), nullptr, &written, header, kHeaderSize) != 1)
        return Fault::Library;
    Base64Writer base64(out);
    base64.add(header, kHeaderSize);
    std::vector<unsigned char> sealed(static_cast<size_t>(kPiece));
    bool ok = true;
    write([&](QByteArrayView piece) {
        for (qsizetype done = 0; ok && done < piece.size();) {
            const qsizetype size = std::min(kPiece, piece.size() - done);
            ok = cipherUpdate(ctx.get(), true, reinterpret_cast<const unsigned char*>(piece.data()) + done,
                              sealed.data(), size);
            base64.add(sealed.data(), size);
            done += size;
        }
    });
    unsigned char tag[kTagSize];
    if (!ok || ssl().EVP_EncryptFinal_ex(ctx.get(), tag, &written) != 1 || written != 0 ||
        ssl().EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagSize, tag) != 1)
        return Fault::Library;
    base64.add(tag, kTagSize);
    base64.finish();
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

// Deciphers the envelope where it stands: on success it holds the plain text and nothing else.
Fault decipherInPlace(QByteArray& envelope, const QByteArray& passPhrase) {
    CipherCtxPtr ctx(ssl().EVP_CIPHER_CTX_new());
    if (!ctx)
        return Fault::NoContext;

    Key key;
    const quint32 iterations = qFromBigEndian<quint32>(bytes(std::as_const(envelope), kIterationsAt));
    if (const Fault fault = deriveKey(passPhrase, bytes(std::as_const(envelope), kSaltAt), iterations, key);
        fault != Fault::None)
        return fault;

    int written = 0;
    if (ssl().EVP_DecryptInit_ex(ctx.get(), ssl().EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
        ssl().EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceSize, nullptr) != 1 ||
        ssl().EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, key.data(),
                                 bytes(std::as_const(envelope), kNonceAt)) != 1 ||
        ssl().EVP_DecryptUpdate(ctx.get(), nullptr, &written, bytes(std::as_const(envelope)), kHeaderSize) !=
            1)
        return Fault::Library;
    const qsizetype bodySize = envelope.size() - kHeaderSize - kTagSize;
    unsigned char tag[kTagSize];
    std::memcpy(tag, bytes(std::as_const(envelope), kHeaderSize + bodySize), kTagSize);
    unsigned char* body = bytes(envelope, kHeaderSize);
    if (!cipherUpdate(ctx.get(), false, body, body, bodySize))
        return Fault::Library;
    if (ssl().EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, tag) != 1)
        return Fault::Library;
    unsigned char tail[16];
    if (ssl().EVP_DecryptFinal_ex(ctx.get(), tail, &written) != 1) {
        ssl().OPENSSL_cleanse(envelope.data(), size_t(envelope.size()));
        envelope.clear();
        return Fault::BadData;
    }
    envelope.truncate(kHeaderSize + bodySize);
    envelope.remove(0, kHeaderSize);
    return Fault::None;
}

// Base64 through OpenSSL, which is several times faster than QByteArray's for large files. The
// bytes take the place of the text they come from, so no second buffer is needed.
bool fromBase64InPlace(QByteArray& text) {
    if (text.size() % 4 != 0)
        return false;
    std::vector<unsigned char> piece(static_cast<size_t>(kPiece / 4 * 3 + 1));
    qsizetype out = 0;
    for (qsizetype done = 0; done < text.size();) {
        const qsizetype size = std::min(kPiece, text.size() - done);
        const int decoded = ssl().EVP_DecodeBlock(piece.data(), bytes(std::as_const(text), done), int(size));
        if (decoded < 0)
            return false;
        // What was read is always ahead of what is written.
        std::memcpy(bytes(text, out), piece.data(), size_t(decoded));
        out += decoded;
        done += size;
    }
    // The decoder counts the padding as zero bytes.
    const qsizetype padding = text.endsWith("==") ? 2 : text.endsWith('=') ? 1 : 0;
    text.truncate(out - padding);
    return true;
}

} // namespace

QString cipherUnavailable() {
    QString why;
    CryptoLibrary::get(&why);
    return why;
}

const QString& cataloguePassPhrase() {
    // Part of the .rds format, not the program's version: every later version must open the files
    // this one wrote, so this text never changes with project(VERSION).
    static const QString passPhrase =
        QStringLiteral("tvm4~catalogue~seal|Qz8r-Lw3k-Pd6n-Xh2v-Bm9t|REGIKEY@4.0");
    return passPhrase;
}

QByteArray EncipherPieces(const PieceWriter& write, const QString& passPhrase, qsizetype sizeHint,
                          qsizetype room) {
    if (!haveLibrary())
        return encipherFaultCode(Fault::Library).toLatin1();
    QByteArray result;
    result.reserve(EncipheredSize(sizeHint) + room);
    const Fault fault = encipher(write, passPhrase.toUtf8(), result);
    if (fault != Fault::None)
        return encipherFaultCode(fault).toLatin1();
    return result.isEmpty() ? QByteArray("-1") : result;
}

QByteArray EncipherBytes(QByteArray utf8, const QString& passPhrase) {
    return EncipherPieces([&utf8](const std::function<void(QByteArrayView)>& piece) { piece(utf8); },
                          passPhrase, utf8.size());
}

qsizetype EncipheredSize(qsizetype plainSize) {
    return 4 * ((kHeaderSize + plainSize + kTagSize + 2) / 3);
}

QByteArray DecipherBytes(QByteArray base64, const QString& passPhrase) {
    if (base64.isEmpty())
        return QByteArray("-1");
    if (!haveLibrary())
        return decipherFaultCode(Fault::Library).toLatin1();
    // Files arrive with line ends, and hand-copied text may be wrapped or indented.
    base64.removeIf([](char c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; });
    if (!fromBase64InPlace(base64) || !envelopeShapeIsValid(base64))
        return QByteArray("-2");
    if (const Fault fault = decipherInPlace(base64, passPhrase.toUtf8()); fault != Fault::None)
        return decipherFaultCode(fault).toLatin1();
    return base64;
}

QString EncipherText(const QString& text, const QString& passPhrase) {
    return QString::fromLatin1(EncipherBytes(text.toUtf8(), passPhrase));
}

QString DecipherText(const QString& text, const QString& passPhrase) {
    if (text.isEmpty())
        return QStringLiteral("-1");
    return QString::fromUtf8(DecipherBytes(text.toLatin1(), passPhrase));
}

namespace {

// scrypt with N = 2^15, r = 8, p = 1: 32 MiB and a tenth of a second a try, as a login can afford.
constexpr quint32 kScryptLogN = 15;
constexpr quint32 kScryptR = 8;
constexpr quint32 kScryptP = 1;
constexpr qsizetype kHashSize = 32;
const QString kHashPrefix = QStringLiteral("$scrypt$");

std::optional<QByteArray> scrypt(const QString& password, const QByteArray& salt, quint32 logN, quint32 r,
                                 quint32 p) {
    const KdfPtr kdf(ssl().EVP_KDF_fetch(nullptr, OSSL_KDF_NAME_SCRYPT, nullptr));
    const KdfCtxPtr ctx(kdf ? ssl().EVP_KDF_CTX_new(kdf.get()) : nullptr);
    if (!ctx)
        return std::nullopt;
    QByteArray secret = password.toUtf8();
    QByteArray saltCopy = salt;
    std::uint64_t n = std::uint64_t(1) << logN;
    std::uint64_t maxMemory = 128 * std::uint64_t(r) * (n + p + 2) + (1 << 20);
    const OSSL_PARAM params[] = {
        ssl().OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD, secret.data(),
                                                size_t(secret.size())),
        ssl().OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, saltCopy.data(),
                                                size_t(saltCopy.size())),
        ssl().OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_N, &n),
        ssl().OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_R, &r),
        ssl().OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_P, &p),
        ssl().OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_MAXMEM, &maxMemory),
        ssl().OSSL_PARAM_construct_end(),
    };
    QByteArray hash(kHashSize, Qt::Uninitialized);
    const bool derived = ssl().EVP_KDF_derive(ctx.get(), bytes(hash), size_t(hash.size()), params) == 1;
    ssl().OPENSSL_cleanse(secret.data(), size_t(secret.size()));
    return derived ? std::optional<QByteArray>(hash) : std::nullopt;
}

QString base64(const QByteArray& data) {
    return QString::fromLatin1(data.toBase64(QByteArray::OmitTrailingEquals));
}

std::optional<QByteArray> fromHashBase64(const QString& text, qsizetype size) {
    const auto decoded = QByteArray::fromBase64Encoding(
        text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors | QByteArray::OmitTrailingEquals);
    if (!decoded || decoded.decoded.size() != size)
        return std::nullopt;
    return decoded.decoded;
}

} // namespace

namespace {

struct HashParts {
    quint32 logN = 0;
    quint32 r = 0;
    quint32 p = 0;
    QByteArray salt;
    QByteArray hash;
};

std::optional<HashParts> hashParts(const QString& text) {
    if (!text.startsWith(kHashPrefix))
        return std::nullopt;
    const QStringList parts = text.mid(kHashPrefix.size()).split(QLatin1Char('$'));
    if (parts.size() != 5)
        return std::nullopt;
    bool ok[3] = {};
    HashParts result{parts[0].toUInt(&ok[0]), parts[1].toUInt(&ok[1]), parts[2].toUInt(&ok[2]), {}, {}};
    // A store may be edited by hand: its costs are held to what ours could have been.
    if (!ok[0] || !ok[1] || !ok[2] || result.logN < 10 || result.logN > 20 || result.r < 1 || result.r > 16 ||
        result.p < 1 || result.p > 4)
        return std::nullopt;
    const std::optional<QByteArray> salt = fromHashBase64(parts[3], kSaltSize);
    const std::optional<QByteArray> hash = fromHashBase64(parts[4], kHashSize);
    if (!salt || !hash)
        return std::nullopt;
    result.salt = *salt;
    result.hash = *hash;
    return result;
}

} // namespace

bool isPasswordHash(const QString& text) {
    return hashParts(text).has_value();
}

std::optional<QString> DecipherStoredText(const QString& text, const QString& passPhrase) {
    if (!haveLibrary())
        return std::nullopt;
    QByteArray envelope = text.toLatin1();
    if (!fromBase64InPlace(envelope) || !envelopeShapeIsValid(envelope) ||
        decipherInPlace(envelope, passPhrase.toUtf8()) != Fault::None)
        return std::nullopt;
    return QString::fromUtf8(envelope);
}

QString PasswordHash(const QString& password) {
    if (!haveLibrary())
        return QString();
    QByteArray salt(kSaltSize, Qt::Uninitialized);
    if (ssl().RAND_bytes(bytes(salt), int(salt.size())) != 1)
        return QString();
    const std::optional<QByteArray> hash = scrypt(password, salt, kScryptLogN, kScryptR, kScryptP);
    if (!hash)
        return QString();
    return kHashPrefix + QStringLiteral("%1$%2$%3$").arg(kScryptLogN).arg(kScryptR).arg(kScryptP) +
           base64(salt) + QLatin1Char('$') + base64(*hash);
}

std::optional<bool> PasswordHashMatches(const QString& password, const QString& hash) {
    const std::optional<HashParts> parts = hashParts(hash);
    if (!parts || !haveLibrary())
        return std::nullopt;
    const std::optional<QByteArray> derived = scrypt(password, parts->salt, parts->logN, parts->r, parts->p);
    if (!derived)
        return std::nullopt;
    return ssl().CRYPTO_memcmp(derived->constData(), parts->hash.constData(), size_t(kHashSize)) == 0;
}

} // namespace tavimor
