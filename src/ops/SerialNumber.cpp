// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/SerialNumber.h"

#include "base/NumberText.h"

#include <algorithm>
#include <array>

namespace qbr {

namespace {

constexpr uint32_t kMaxTextWidth = 64;

struct KindName {
    std::string_view name;
    SerialFormat::Kind kind;
};

constexpr std::array<KindName, 4> kKinds = {{{"dec", SerialFormat::Kind::Decimal},
                                             {"hex", SerialFormat::Kind::Hex},
                                             {"le", SerialFormat::Kind::LittleEndian},
                                             {"be", SerialFormat::Kind::BigEndian}}};

std::optional<std::vector<uint8_t>> Digits(uint64_t number, uint32_t base, uint32_t width) {
    std::vector<uint8_t> text(width, '0');
    for (uint32_t i = width; i-- > 0 && number != 0; number /= base) text[i] = "0123456789ABCDEF"[number % base];
    if (number != 0) return std::nullopt;
    return text;
}

}  // namespace

std::optional<SerialFormat> SerialFormat::Parse(std::string_view text) {
    const size_t first = text.find(',');
    const size_t second = first == std::string_view::npos ? first : text.find(',', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    const std::optional<uint64_t> address = ParseNumber(text.substr(0, first));
    const std::optional<uint64_t> width = ParseNumber(text.substr(second + 1));
    const std::string_view kind = text.substr(first + 1, second - first - 1);
    for (const KindName& entry : kKinds) {
        if (entry.name != kind || !address || *address > UINT32_MAX || !width || *width == 0) continue;
        const bool binary = entry.kind == Kind::LittleEndian || entry.kind == Kind::BigEndian;
        if (*width > (binary ? 8 : kMaxTextWidth)) return std::nullopt;
        return SerialFormat{static_cast<uint32_t>(*address), entry.kind, static_cast<uint32_t>(*width)};
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> SerialFormat::Bytes(uint64_t number) const {
    switch (kind) {
    case Kind::Decimal: return Digits(number, 10, width);
    case Kind::Hex: return Digits(number, 16, width);
    case Kind::LittleEndian:
    case Kind::BigEndian: break;
    }
    if (width < 8 && number >> (8 * width) != 0) return std::nullopt;
    std::vector<uint8_t> bytes(width);
    for (uint32_t i = 0; i < width; ++i) bytes[i] = static_cast<uint8_t>(number >> (8 * i));
    if (kind == Kind::BigEndian) std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

}  // namespace qbr
