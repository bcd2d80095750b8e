// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/SharedLibrary.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/rand.h>

namespace tavimor {

// The libcrypto functions the cipher uses, opened when a settings file or a password first needs
// them: most commands never do.
struct CryptoLibrary {
    static constexpr const char* kSoname = "libcrypto.so.3";

    // nullptr with *error naming the library and why it cannot be used.
    static const CryptoLibrary* get(QString* error = nullptr) {
        return SharedLibrary::once<CryptoLibrary>(error);
    }
    QString resolve();

    decltype(&::CRYPTO_memcmp) CRYPTO_memcmp = nullptr;
    decltype(&::OPENSSL_cleanse) OPENSSL_cleanse = nullptr;
    decltype(&::RAND_bytes) RAND_bytes = nullptr;
    decltype(&::EVP_KDF_fetch) EVP_KDF_fetch = nullptr;
    decltype(&::EVP_KDF_free) EVP_KDF_free = nullptr;
    decltype(&::EVP_KDF_CTX_new) EVP_KDF_CTX_new = nullptr;
    decltype(&::EVP_KDF_CTX_free) EVP_KDF_CTX_free = nullptr;
    decltype(&::EVP_KDF_derive) EVP_KDF_derive = nullptr;
    decltype(&::OSSL_PARAM_construct_octet_string) OSSL_PARAM_construct_octet_string = nullptr;
    decltype(&::OSSL_PARAM_construct_uint32) OSSL_PARAM_construct_uint32 = nullptr;
    decltype(&::OSSL_PARAM_construct_uint64) OSSL_PARAM_construct_uint64 = nullptr;
    decltype(&::OSSL_PARAM_construct_utf8_string) OSSL_PARAM_construct_utf8_string = nullptr;
    decltype(&::OSSL_PARAM_construct_end) OSSL_PARAM_construct_end = nullptr;
    decltype(&::EVP_aes_256_gcm) EVP_aes_256_gcm = nullptr;
    decltype(&::EVP_CIPHER_CTX_new) EVP_CIPHER_CTX_new = nullptr;
    decltype(&::EVP_CIPHER_CTX_free) EVP_CIPHER_CTX_free = nullptr;
    decltype(&::EVP_CIPHER_CTX_ctrl) EVP_CIPHER_CTX_ctrl = nullptr;
    decltype(&::EVP_EncryptInit_ex) EVP_EncryptInit_ex = nullptr;
    decltype(&::EVP_EncryptUpdate) EVP_EncryptUpdate = nullptr;
    decltype(&::EVP_EncryptFinal_ex) EVP_EncryptFinal_ex = nullptr;
    decltype(&::EVP_DecryptInit_ex) EVP_DecryptInit_ex = nullptr;
    decltype(&::EVP_DecryptUpdate) EVP_DecryptUpdate = nullptr;
    decltype(&::EVP_DecryptFinal_ex) EVP_DecryptFinal_ex = nullptr;
    decltype(&::EVP_EncodeBlock) EVP_EncodeBlock = nullptr;
    decltype(&::EVP_DecodeBlock) EVP_DecodeBlock = nullptr;
};

} // namespace tavimor
