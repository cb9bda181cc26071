// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>

struct evp_md_ctx_st;  // OpenSSL's EVP_MD_CTX

namespace qbr {

// The checksums users compare with published firmware checksums and with those of
// other tools: CRC-32 (as zlib, gzip and PNG compute it) and SHA-256.
uint32_t Crc32(std::span<const uint8_t> data);
// Eight lower-case hex digits.
std::string Crc32Text(uint32_t crc);

// The CRC-32 and SHA-256 of some data, as texts.
struct DataSums {
    std::string crc32;
    std::string sha256;
};
DataSums SumsOf(std::span<const uint8_t> data);

// Both checksums of data that comes in parts (a file read a piece at a time, so
// that a file of any length is summed in little memory).
class RunningChecksums {
public:
    RunningChecksums();
    ~RunningChecksums();
    RunningChecksums(const RunningChecksums&) = delete;
    RunningChecksums& operator=(const RunningChecksums&) = delete;

    void Add(std::span<const uint8_t> data);
    std::string Crc32Text() const;
    // Sixty-four lower-case hex digits. Ends the sum: call once, after the last Add.
    std::string Sha256Text();

private:
    uint32_t crc_;
    ::evp_md_ctx_st* sha_;  // null after an OpenSSL failure: no SHA-256
};

}  // namespace qbr
