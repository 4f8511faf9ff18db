// sha256.cpp: SHA-256 through OpenSSL's one-shot digest.
#include "level/sha256.h"

#include <openssl/evp.h>

#include <cstdlib>

std::string sha256Hex(const uint8_t* data, size_t size) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    // Only fails when the library cannot allocate: nothing sensible is left to do then.
    if (EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr) != 1) std::abort();
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        hex.push_back(kDigits[digest[i] >> 4]);
        hex.push_back(kDigits[digest[i] & 15]);
    }
    return hex;
}
