// sha256.h: SHA-256 digests, for the checksums a level file's manifest carries.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The digest of size bytes at data as 64 lowercase hexadecimal digits.
std::string sha256Hex(const uint8_t* data, size_t size);
