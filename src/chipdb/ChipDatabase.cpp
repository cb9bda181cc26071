// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/ChipDatabase.h"

#include "base/FileKind.h"
#include "chipdb/ChipDatabaseFile.h"
#include "chipdb/ChipType.h"

#include <algorithm>
#include <fstream>

namespace qbr {

namespace {

constexpr size_t kMaxFragments = 20;
constexpr size_t kMaxFragmentLength = 49;
constexpr size_t kMaxFileBytes = ChipDatabase::kHeaderSize + ChipDatabase::kRecordSize * ChipDatabase::kMaxRecords;

bool OfType(const ChipRecord& chip, uint32_t type) {
    return type == AllTypes || chip.chipType == type;
}

// The non-empty pieces of the pattern between '*', within the search's fixed limits.
std::vector<std::string_view> SplitPattern(std::string_view pattern) {
    std::vector<std::string_view> fragments;
    size_t start = 0;
    while (start < pattern.size() && fragments.size() < kMaxFragments) {
        size_t star = std::min(pattern.find('*', start), pattern.size());
        if (star > start) fragments.push_back(pattern.substr(start, std::min(star - start, kMaxFragmentLength)));
        start = star + 1;
    }
    return fragments;
}

// Each fragment's first occurrence at or after the end of the previous one.
bool MatchesFragments(std::string_view name, const std::vector<std::string_view>& fragments) {
    size_t position = 0;
    for (std::string_view fragment : fragments) {
        size_t found = name.find(fragment, position);
        if (found == std::string_view::npos) return false;
        position = found + fragment.size();
    }
    return true;
}

}  // namespace

bool ChipDatabase::Load(const std::string& path) {
    records_.clear();
    // A FIFO or a device would be waited on by the open below.
    if (KindOfFile(path) != FileKind::Regular) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    // Nothing past the largest database the format allows can matter.
    std::vector<uint8_t> file(kMaxFileBytes);
    in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()));
    file.resize(static_cast<size_t>(in.gcount()));
    return LoadFromBytes(file);
}

bool ChipDatabase::LoadFromBytes(std::span<const uint8_t> file) {
    records_.clear();
    if (file.size() < kHeaderSize) return false;
    size_t count = file[0] | (size_t{file[1]} << 8);
    if (count > kMaxRecords || file.size() - kHeaderSize < kRecordSize * count) return false;
    records_.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        records_.push_back(DecodeRecord(file.subspan(kHeaderSize + i * kRecordSize).first<kRecordSize>()));
    }
    return true;
}

std::vector<std::string> ChipDatabase::ListMakers(uint32_t type) const {
    std::vector<std::string> makers;
    for (const ChipRecord& chip : records_) {
        if (OfType(chip, type) && std::find(makers.begin(), makers.end(), chip.makerName) == makers.end()) {
            makers.push_back(chip.makerName);
        }
    }
    return makers;
}

std::optional<ChipRecord> ChipDatabase::FindByName(std::string_view name) const {
    auto it = std::ranges::find(records_, name, &ChipRecord::chipName);
    return it == records_.end() ? std::nullopt : std::optional(*it);
}

std::optional<ChipRecord> ChipDatabase::FindByTypedName(const std::string& name) const {
    std::optional<ChipRecord> chip = FindByName(name);
    return chip ? chip : FindByName(UpperCaseLetters(name));
}

std::vector<ChipRecord> ChipDatabase::ListByMaker(std::string_view maker, uint32_t type) const {
    std::vector<ChipRecord> found;
    for (const ChipRecord& chip : records_) {
        if (OfType(chip, type) && chip.makerName == maker) found.push_back(chip);
    }
    return found;
}

std::optional<ChipRecord> ChipDatabase::FindById(uint8_t manufacturerId, uint8_t deviceId) const {
    auto it = std::find_if(records_.begin(), records_.end(), [&](const ChipRecord& chip) {
        return chip.manufacturerId == manufacturerId && chip.deviceId == deviceId;
    });
    return it == records_.end() ? std::nullopt : std::optional(*it);
}

std::vector<ChipRecord> ChipDatabase::SearchByPattern(std::string_view pattern, uint32_t type, size_t limit) const {
    std::vector<std::string_view> fragments = SplitPattern(pattern);
    std::vector<ChipRecord> found;
    for (const ChipRecord& chip : records_) {
        if (found.size() >= limit) break;
        if (OfType(chip, type) && MatchesFragments(chip.chipName, fragments)) found.push_back(chip);
    }
    return found;
}

std::string UpperCaseLetters(std::string text) {
    std::ranges::transform(text, text.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return text;
}

}  // namespace qbr
