// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Checksums.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <openssl/evp.h>
#include <zlib.h>

namespace qbr {

uint32_t Crc32(std::span<const uint8_t> data) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes at most a uInt's worth of bytes a call.
    constexpr size_t kStep = std::numeric_limits<uInt>::max();
    for (size_t at = 0; at < data.size(); at += kStep) {
        crc = crc32(crc, data.data() + at, static_cast<uInt>(std::min(kStep, data.size() - at)));
    }
    return static_cast<uint32_t>(crc);
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

std::string Sha256Text(std::span<const uint8_t> data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr) != 1) return {};
    return HexText(digest, length);
}

DataSums SumsOf(std::span<const uint8_t> data) {
    return {Crc32Text(Crc32(data)), Sha256Text(data)};
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
