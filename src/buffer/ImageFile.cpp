// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/ImageFile.h"

#include "base/AtomicFile.h"
#include "buffer/ChangeMarks.h"
#include "buffer/InputFile.h"
#include "buffer/IntelHexReader.h"

#include <algorithm>

namespace qbr {
namespace {

constexpr size_t kCaptionPathLimit = 60;
constexpr size_t kCaptionTailLength = 50;

uint32_t FitCapacity(const DataBuffer& buffer, uint32_t capacity) {
    return static_cast<uint32_t>(std::min<uint64_t>(capacity, buffer.bytes.size()));
}

// Every load starts from an erased, unmarked image.
void ResetImage(DataBuffer& buffer, uint32_t capacity) {
    std::fill_n(buffer.bytes.begin(), capacity, uint8_t{0xFF});
    ClearMarks(buffer, buffer.activeLength);
}

ImageLoadResult LoadRaw(const std::string& path, DataBuffer& buffer, uint32_t capacity) {
    InputFile file;
    if (!file.Open(path)) return {ImageLoadResult::Outcome::OpenFailed, false};
    ResetImage(buffer, capacity);
    file.Read(buffer.bytes.data(), capacity);
    if (file.Failed()) return {ImageLoadResult::Outcome::OpenFailed, false};
    return {ImageLoadResult::Outcome::Loaded, file.Size() > capacity};
}

ImageLoadResult LoadIntelHex(const std::string& path, DataBuffer& buffer, uint32_t capacity) {
    ResetImage(buffer, capacity);
    IntelHexReader reader;
    if (!reader.Load(path, buffer.bytes.data(), capacity)) {
        return {reader.FileOpened() ? ImageLoadResult::Outcome::Malformed : ImageLoadResult::Outcome::OpenFailed,
                false};
    }
    return {ImageLoadResult::Outcome::Loaded, reader.extent > capacity};
}

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t CharacterCount(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return !IsUtf8Continuation(c); }));
}

// The last `count` characters of text.
std::string_view LastCharacters(std::string_view text, size_t count) {
    size_t start = text.size();
    for (size_t seen = 0; start > 0 && seen < count;) {
        --start;
        if (!IsUtf8Continuation(text[start])) ++seen;
    }
    return text.substr(start);
}

}  // namespace

bool IsIntelHexName(std::string_view path) {
    return path.ends_with("HEX") || path.ends_with("hex");
}

ImageLoadResult LoadImage(const std::string& path, DataBuffer& buffer, uint32_t capacity) {
    capacity = FitCapacity(buffer, capacity);
    return IsIntelHexName(path) ? LoadIntelHex(path, buffer, capacity) : LoadRaw(path, buffer, capacity);
}

bool SaveImage(const std::string& path, const DataBuffer& buffer, uint32_t capacity) {
    return AtomicFile::Replace(path, buffer.bytes.data(), FitCapacity(buffer, capacity));
}

std::string FileCaptionSuffix(std::string_view path) {
    if (CharacterCount(path) > kCaptionPathLimit) {
        return "   ..." + std::string(LastCharacters(path, kCaptionTailLength));
    }
    return "   " + std::string(path);
}

}  // namespace qbr
