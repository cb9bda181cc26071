// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/ByteSearch.h"

#include "base/Bilingual.h"
#include "base/Language.h"
#include "base/TextFill.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace qbr {
namespace {

struct FaultWording {
    const char* empty;
    const char* oddDigitCount;  // the group
    const char* notHexDigit;    // the character
};

constexpr Bilingual<FaultWording> kWording = {
    {
        "Type the bytes to find.",
        "Hex bytes take two digits each: \"{}\".",
        "\"{}\" is not a hex digit.",
    },
    {
        "请输入要查找的字节。",
        "每个十六进制字节需要两位数字：“{}”。",
        "“{}”不是十六进制数字。",
    },
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The whole UTF-8 character that starts at `text[at]`, to name it in a message.
std::string CharacterAt(std::string_view text, size_t at) {
    size_t end = at + 1;
    while (end < text.size() && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) ++end;
    return std::string(text.substr(at, end - at));
}

SearchPattern ParseHex(std::string_view text) {
    SearchPattern pattern;
    size_t at = 0;
    while (at < text.size()) {
        if (IsBlank(text[at])) {
            ++at;
            continue;
        }
        const size_t groupStart = at;
        while (at < text.size() && !IsBlank(text[at])) {
            if (HexValue(text[at]) < 0) return {{}, PatternFault::NotHexDigit, CharacterAt(text, at)};
            ++at;
        }
        if ((at - groupStart) % 2 != 0) {
            return {{}, PatternFault::OddDigitCount, std::string(text.substr(groupStart, at - groupStart))};
        }
        for (size_t i = groupStart; i < at; i += 2) {
            pattern.bytes.push_back(static_cast<uint8_t>(HexValue(text[i]) << 4 | HexValue(text[i + 1])));
        }
    }
    return pattern;
}

// Two bytes of the needle that every hit must have, checked at many positions at
// once before a whole comparison: the last byte and the closest byte before it that
// differs from it, so that a run of one byte value, such as erased chip bytes,
// rarely passes both.
struct Anchors {
    size_t first = 0;
    size_t second = 0;
    uint8_t firstByte = 0;
    uint8_t secondByte = 0;
};

Anchors AnchorsOf(std::span<const uint8_t> needle) {
    Anchors anchors;
    anchors.second = needle.size() - 1;
    anchors.first = anchors.second;
    while (anchors.first > 0 && needle[anchors.first] == needle[anchors.second]) --anchors.first;
    anchors.firstByte = needle[anchors.first];
    anchors.secondByte = needle[anchors.second];
    return anchors;
}

constexpr size_t kBlock = 64;

// Bit k is set when start `p + k` (k < count) has both anchor bytes. A whole block
// is first tested in a loop the compiler turns into vector instructions.
uint64_t CandidateBits(const uint8_t* p, size_t count, const Anchors& anchors) {
    if (count == kBlock) {
        std::array<uint8_t, kBlock> both;
        for (size_t k = 0; k < kBlock; ++k) {
            both[k] = (p[k + anchors.first] == anchors.firstByte) & (p[k + anchors.second] == anchors.secondByte);
        }
        std::array<uint64_t, kBlock / 8> words;
        std::memcpy(words.data(), both.data(), kBlock);
        if (std::all_of(words.begin(), words.end(), [](uint64_t word) { return word == 0; })) return 0;
    }
    uint64_t bits = 0;
    for (size_t k = 0; k < count; ++k) {
        if (p[k + anchors.first] == anchors.firstByte && p[k + anchors.second] == anchors.secondByte) {
            bits |= uint64_t{1} << k;
        }
    }
    return bits;
}

// The first hit that lies wholly inside [begin, end) of `data`.
std::optional<uint32_t> FirstHit(const uint8_t* data, size_t begin, size_t end, std::span<const uint8_t> needle) {
    const size_t n = needle.size();
    if (end < begin + n) return std::nullopt;
    if (n == 1) {
        const void* hit = std::memchr(data + begin, needle[0], end - begin);
        if (hit == nullptr) return std::nullopt;
        return static_cast<uint32_t>(static_cast<const uint8_t*>(hit) - data);
    }
    const Anchors anchors = AnchorsOf(needle);
    const size_t startsEnd = end - n + 1;
    for (size_t block = begin; block < startsEnd; block += kBlock) {
        for (uint64_t bits = CandidateBits(data + block, std::min(kBlock, startsEnd - block), anchors); bits != 0;
             bits &= bits - 1) {
            const size_t start = block + static_cast<size_t>(std::countr_zero(bits));
            if (std::memcmp(data + start, needle.data(), n) == 0) return static_cast<uint32_t>(start);
        }
    }
    return std::nullopt;
}

// The last hit that lies wholly inside [begin, end) of `data`.
std::optional<uint32_t> LastHit(const uint8_t* data, size_t begin, size_t end, std::span<const uint8_t> needle) {
    const size_t n = needle.size();
    if (end < begin + n) return std::nullopt;
    if (n == 1) {
        const void* hit = memrchr(data + begin, needle[0], end - begin);
        if (hit == nullptr) return std::nullopt;
        return static_cast<uint32_t>(static_cast<const uint8_t*>(hit) - data);
    }
    const Anchors anchors = AnchorsOf(needle);
    for (size_t blockEnd = end - n + 1; blockEnd > begin;) {
        const size_t block = blockEnd - std::min(kBlock, blockEnd - begin);
        for (uint64_t bits = CandidateBits(data + block, blockEnd - block, anchors); bits != 0;) {
            const int k = 63 - std::countl_zero(bits);
            const size_t start = block + static_cast<size_t>(k);
            if (std::memcmp(data + start, needle.data(), n) == 0) return static_cast<uint32_t>(start);
            bits &= ~(uint64_t{1} << k);
        }
        blockEnd = block;
    }
    return std::nullopt;
}

}  // namespace

SearchPattern ParseSearchPattern(std::string_view text, SearchKind kind) {
    SearchPattern pattern = kind == SearchKind::Hex ? ParseHex(text)
                                                    : SearchPattern{{text.begin(), text.end()}, PatternFault::None, {}};
    if (pattern.fault == PatternFault::None && pattern.bytes.empty()) pattern.fault = PatternFault::Empty;
    return pattern;
}

std::string PatternFaultMessage(const SearchPattern& pattern) {
    const FaultWording& wording = InCurrentLanguage(kWording);
    switch (pattern.fault) {
    case PatternFault::None: return {};
    case PatternFault::Empty: return wording.empty;
    case PatternFault::OddDigitCount: return Fill(wording.oddDigitCount, {pattern.faultText});
    case PatternFault::NotHexDigit: return Fill(wording.notHexDigit, {pattern.faultText});
    }
    return {};
}

std::optional<SearchHit> FindBytes(std::span<const uint8_t> haystack, std::span<const uint8_t> needle, uint32_t from,
                                   SearchDirection direction) {
    const size_t n = needle.size(), length = haystack.size();
    if (n == 0 || n > length) return std::nullopt;
    const uint8_t* data = haystack.data();
    std::optional<uint32_t> hit;
    if (direction == SearchDirection::Forward) {
        const size_t start = std::min<size_t>(from, length);
        if ((hit = FirstHit(data, start, length, needle))) return SearchHit{*hit, false};
        // Past the end: the hits that start before `from`.
        if ((hit = FirstHit(data, 0, std::min(start + n - 1, length), needle))) return SearchHit{*hit, true};
        return std::nullopt;
    }
    const size_t start = std::min<size_t>(from, length - n);
    if ((hit = LastHit(data, 0, start + n, needle))) return SearchHit{*hit, false};
    // Past the start: the hits that start after `from`.
    if ((hit = LastHit(data, start + 1, length, needle))) return SearchHit{*hit, true};
    return std::nullopt;
}

}  // namespace qbr
