// SPDX-License-Identifier: GPL-3.0-or-later
#include "CryptoLibrary.h"

namespace tavimor {

QString CryptoLibrary::resolve() {
    return SharedLibrary::load(kSoname, {TAVIMOR_LIBRARY_SYMBOL(CRYPTO_memcmp),
                                         TAVIMOR_LIBRARY_SYMBOL(OPENSSL_cleanse),
                                         TAVIMOR_LIBRARY_SYMBOL(RAND_bytes),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_KDF_fetch),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_KDF_free),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_KDF_CTX_new),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_KDF_CTX_free),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_KDF_derive),
                                         TAVIMOR_LIBRARY_SYMBOL(OSSL_PARAM_construct_octet_string),
                                         TAVIMOR_LIBRARY_SYMBOL(OSSL_PARAM_construct_uint32),
                                         TAVIMOR_LIBRARY_SYMBOL(OSSL_PARAM_construct_uint64),
                                         TAVIMOR_LIBRARY_SYMBOL(OSSL_PARAM_construct_utf8_string),
                                         TAVIMOR_LIBRARY_SYMBOL(OSSL_PARAM_construct_end),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_aes_256_gcm),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_CIPHER_CTX_new),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_CIPHER_CTX_free),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_CIPHER_CTX_ctrl),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_EncryptInit_ex),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_EncryptUpdate),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_EncryptFinal_ex),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_DecryptInit_ex),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_DecryptUpdate),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_DecryptFinal_ex),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_EncodeBlock),
                                         TAVIMOR_LIBRARY_SYMBOL(EVP_DecodeBlock)});
}

} // namespace tavimor
