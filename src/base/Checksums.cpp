// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Checksums.h"

#include <cstdio>
#include <openssl/evp.h>
#include <zlib.h>

namespace qbr {

uint32_t Crc32(std::span<const uint8_t> data) {
    return static_cast<uint32_t>(crc32_z(0, data.data(), data.size()));
}

std::string Crc32Text(uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", crc);
    return text;
}

namespace {

std::string HexText(const unsigned char* digest, unsigned int length) {
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        text += pair;
    }
    return text;
}

}  // namespace

DataSums SumsOf(std::span<const uint8_t> data) {
    RunningChecksums sums;
    sums.Add(data);
    return {sums.Crc32Text(), sums.Sha256Text()};
}

RunningChecksums::RunningChecksums() : crc_(0), sha_(EVP_MD_CTX_new()) {
    if (sha_ && EVP_DigestInit_ex(sha_, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(sha_);
        sha_ = nullptr;
    }
}

RunningChecksums::~RunningChecksums() {
    EVP_MD_CTX_free(sha_);
}

void RunningChecksums::Add(std::span<const uint8_t> data) {
    crc_ = static_cast<uint32_t>(crc32_z(crc_, data.data(), data.size()));
    if (sha_ && EVP_DigestUpdate(sha_, data.data(), data.size()) != 1) {
        EVP_MD_CTX_free(sha_);
        sha_ = nullptr;
    }
}

std::string RunningChecksums::Crc32Text() const {
    return qbr::Crc32Text(crc_);
}

std::string RunningChecksums::Sha256Text() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!sha_ || EVP_DigestFinal_ex(sha_, digest, &length) != 1) return {};
    return HexText(digest, length);
}

}  // namespace qbr
