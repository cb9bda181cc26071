// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/ImageFile.h"

#include "buffer/ChangeMarks.h"
#include "buffer/InputFile.h"
#include "buffer/IntelHexReader.h"
#include "buffer/IntelHexWriter.h"
#include "buffer/SRecordReader.h"
#include "buffer/SRecordWriter.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

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

ImageLoadResult Failure(ImageLoadResult::Outcome outcome, const RecordError& error = {}) {
    ImageLoadResult result;
    result.outcome = outcome;
    result.error = error;
    return result;
}

// A loaded image of `length` bytes from offset 0 (for records: their extent) in
// room for `capacity`; `origin` is the file address that landed at offset 0.
ImageLoadResult Loaded(uint64_t length, uint32_t capacity, bool empty, uint32_t origin = 0) {
    ImageLoadResult result;
    result.tooLong = length > capacity;
    result.empty = empty;
    result.length = length;
    result.origin = origin;
    return result;
}

ImageLoadResult LoadRaw(const std::string& path, DataBuffer& buffer, uint32_t capacity) {
    InputFile file;
    if (!file.Open(path)) return Failure(ImageLoadResult::Outcome::OpenFailed);
    ResetImage(buffer, capacity);
    file.Read(buffer.bytes.data(), capacity);
    if (file.Failed()) return Failure(ImageLoadResult::Outcome::OpenFailed);
    return Loaded(file.Size(), capacity, file.Size() == 0);
}

// Intel HEX and S-records alike: an erased image, then the records.
template <typename Reader>
ImageLoadResult LoadRecords(const std::string& path, DataBuffer& buffer, uint32_t capacity, RecordPlacement placement) {
    ResetImage(buffer, capacity);
    Reader reader;
    reader.atOwnAddresses = placement == RecordPlacement::AtOwnAddresses;
    if (!reader.Load(path, buffer.bytes.data(), capacity)) {
        if (!reader.FileRead()) return Failure(ImageLoadResult::Outcome::OpenFailed);
        return Failure(ImageLoadResult::Outcome::Malformed, reader.error);
    }
    ImageLoadResult result = Loaded(reader.extent, capacity, !reader.anyData, reader.Origin());
    result.lowest = reader.lowest;
    result.reach = reader.reach;
    return result;
}

// The records of a record file's name, none when a byte's address, `address + i`,
// would pass 2^32 - 1.
std::optional<std::string> RecordText(std::string_view path, std::span<const uint8_t> data, uint32_t address) {
    if (data.size() > (uint64_t{1} << 32) - address) return std::nullopt;
    return IsIntelHexName(path) ? IntelHexText(data, address) : SRecordText(data, address);
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(),
                      [](char s, char t) { return s == std::tolower(static_cast<unsigned char>(t)); });
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

bool IsSRecordName(std::string_view path) {
    constexpr std::array<std::string_view, 5> kSuffixes = {".srec", ".s19", ".s28", ".s37", ".mot"};
    return std::any_of(kSuffixes.begin(), kSuffixes.end(),
                       [path](std::string_view suffix) { return EndsWithIgnoringCase(path, suffix); });
}

ImageLoadResult LoadRawStream(std::FILE* stream, DataBuffer& buffer, uint32_t capacity) {
    capacity = FitCapacity(buffer, capacity);
    ResetImage(buffer, capacity);
    const size_t got = std::fread(buffer.bytes.data(), 1, capacity, stream);
    if (std::ferror(stream)) return Failure(ImageLoadResult::Outcome::OpenFailed);
    // A longer stream is not read to its end: its length is the room plus one.
    const bool longer = got == capacity && std::fgetc(stream) != EOF;
    return Loaded(longer ? uint64_t{capacity} + 1 : got, capacity, got == 0);
}

bool IsRecordFileName(std::string_view path) {
    return IsIntelHexName(path) || IsSRecordName(path);
}

ImageLoadResult LoadImage(const std::string& path, DataBuffer& buffer, uint32_t capacity, RecordPlacement placement) {
    capacity = FitCapacity(buffer, capacity);
    if (IsIntelHexName(path)) return LoadRecords<IntelHexReader>(path, buffer, capacity, placement);
    if (IsSRecordName(path)) return LoadRecords<SRecordReader>(path, buffer, capacity, placement);
    return LoadRaw(path, buffer, capacity);
}

bool SaveImage(const std::string& path, std::span<const uint8_t> data, uint32_t address) {
    if (!IsRecordFileName(path)) return AtomicFile::Replace(path, data.data(), data.size());
    const std::optional<std::string> text = RecordText(path, data, address);
    return text && AtomicFile::Replace(path, *text);
}

NewFileResult SaveNewImage(const std::string& path, std::span<const uint8_t> data) {
    if (!IsRecordFileName(path)) return CreateNewFile(path, data.data(), data.size());
    const std::optional<std::string> text = RecordText(path, data, 0);
    return text ? CreateNewFile(path, text->data(), text->size()) : NewFileResult::Failed;
}

bool SaveImage(const std::string& path, const DataBuffer& buffer, uint32_t capacity) {
    return SaveImage(path, std::span(buffer.bytes.data(), FitCapacity(buffer, capacity)));
}

std::string FileCaptionSuffix(std::string_view path) {
    if (CharacterCount(path) > kCaptionPathLimit) {
        return "   ..." + std::string(LastCharacters(path, kCaptionTailLength));
    }
    return "   " + std::string(path);
}

}  // namespace qbr
