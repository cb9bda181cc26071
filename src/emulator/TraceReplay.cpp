// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/TraceReplay.h"

#include "base/Checksums.h"
#include "base/FileKind.h"
#include "base/Language.h"
#include "base/TextFill.h"
#include "link/AccessPath.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <fstream>
#include <stdexcept>

namespace qbr {

namespace {

// The replay's texts; "{}" stands for a value, filled in by Fill.
using Text = Bilingual<const char*>;
constexpr Text kCantRead = {"Can't read the trace {}", "无法读取跟踪文件 {}"};
constexpr Text kAtLine = {"{}, line {}: {}", "{}, 第 {} 行: {}"};
constexpr Text kEmpty = {"the file is empty", "文件是空的"};
constexpr Text kOtherFormat = {"not a trace of this program's format, version {}",
                               "不是本程序格式 (版本 {}) 的跟踪文件"};
constexpr Text kOddDigits = {"odd number of hex digits", "十六进制数字的个数是奇数"};
constexpr Text kBadHex = {"bad hex digits \"{}\"", "错误的十六进制数字 \"{}\""};
constexpr Text kUnknownStatus = {"unknown status \"{}\"", "未知的状态 \"{}\""};
constexpr Text kBadEndpoint = {"bad endpoint \"{}\"", "错误的端点 \"{}\""};
constexpr Text kBadDirection = {"dir is neither in nor out", "dir 既不是 in 也不是 out"};
constexpr Text kEdgesDontFit = {"head and tail don't fit the length", "head 和 tail 与长度不符"};
constexpr Text kDataDoesntFit = {"the data doesn't fit the length", "数据与长度不符"};
constexpr Text kTransfer = {"transfer {}, line {}", "第 {} 次传输, 第 {} 行"};
constexpr Text kFailedAt = {"Replay failed at {} ({}): {}.", "回放失败于{} ({}): {}。"};
constexpr Text kStoppedBefore = {
    "Replay failed: the host stopped before {}, leaving {} of {} recorded transfers unplayed.",
    "回放失败: 主机在{}之前停止, 有 {} 次 (共 {} 次) 记录的传输未回放。"};
constexpr Text kAfterLast = {"the host asked for {} after the trace's last transfer",
                             "在跟踪文件的最后一次传输之后, 主机还要求{}"};
constexpr Text kOtherTransfer = {"the host asked for {}, the trace has {}", "主机要求{}, 跟踪文件中是{}"};
constexpr Text kRead = {"a read of {} bytes from {}", "读取 {} 字节 (端点 {})"};
constexpr Text kWrite = {"a write of {} bytes to {}", "写入 {} 字节 (端点 {})"};
constexpr Text kByteDiffers = {"at offset {} the trace has {}, the host sent {}",
                               "偏移 {} 处跟踪文件中是 {}, 主机发送的是 {}"};
constexpr Text kCrcDiffers = {"the data's CRC-32 is {}, the trace has {}", "数据的 CRC-32 是 {}, 跟踪文件中是 {}"};
constexpr Text kUnplayable = {
    "the trace keeps only the ends and the CRC-32 of these {} bytes, and nothing of this replay rebuilds bytes with "
    "that CRC-32; the read can't be played back",
    "跟踪文件只保存了这 {} 字节的首尾和 CRC-32, 本次回放中没有数据能重建出这个 CRC-32 的字节; 这次读取无法回放"};

// A text in the current language with its values.
std::string Say(const Text& text, std::initializer_list<std::string> values = {}) {
    return Fill(InCurrentLanguage(text), values);
}

std::vector<uint8_t> FromHex(const std::string& text) {
    if (text.size() % 2 != 0) throw std::invalid_argument(Say(kOddDigits));
    std::vector<uint8_t> bytes(text.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char* pair = text.data() + 2 * i;
        if (std::from_chars(pair, pair + 2, bytes[i], 16).ptr != pair + 2) {
            throw std::invalid_argument(Say(kBadHex, {text.substr(2 * i, 2)}));
        }
    }
    return bytes;
}

TraceStatus ParseStatus(const std::string& name) {
    for (const TraceStatus status :
         {TraceStatus::Ok, TraceStatus::Failed, TraceStatus::Timeout, TraceStatus::Cancelled}) {
        if (name == TraceStatusName(status)) return status;
    }
    throw std::invalid_argument(Say(kUnknownStatus, {name}));
}

// An endpoint as the trace writes it: "0x" and two hex digits.
uint8_t ParseEndpoint(const std::string& text) {
    if (text.size() != 4 || text.compare(0, 2, "0x") != 0) throw std::invalid_argument(Say(kBadEndpoint, {text}));
    return FromHex(text.substr(2)).front();
}

// "a read of 64 bytes from 0x81", "a write of 3 bytes to 0x01".
std::string TransferText(bool in, uint8_t endpoint, uint32_t length) {
    return Say(in ? kRead : kWrite, {std::to_string(length), HexByte(endpoint)});
}

}  // namespace

std::unique_ptr<TraceReplay> TraceReplay::Load(const std::string& path, std::string& error) {
    // A FIFO or a device would be waited on by the open.
    std::ifstream file;
    if (KindOfFile(path) == FileKind::Regular) file.open(path);
    if (!file.is_open()) {
        error = Say(kCantRead, {path});
        return nullptr;
    }
    std::unique_ptr<TraceReplay> replay(new TraceReplay);
    std::string line;
    int lineNumber = 0;
    try {
        if (!std::getline(file, line)) throw std::invalid_argument(Say(kEmpty));
        ++lineNumber;
        const nlohmann::json header = nlohmann::json::parse(line);
        if (header.value("format", "") != TransferTrace::kFormatName ||
            header.value("version", 0) != TransferTrace::kFormatVersion) {
            throw std::invalid_argument(Say(kOtherFormat, {std::to_string(TransferTrace::kFormatVersion)}));
        }
        replay->header_ = {header.at("program"), header.at("arguments"), header.at("chip"), header.at("path")};
        while (std::getline(file, line)) {
            ++lineNumber;
            replay->transfers_.push_back(ParseTransfer(line));
        }
    } catch (const std::exception& e) {
        error = Say(kAtLine, {path, std::to_string(lineNumber), e.what()});
        return nullptr;
    }
    return replay;
}

TraceReplay::Recorded TraceReplay::ParseTransfer(const std::string& line) {
    const nlohmann::json json = nlohmann::json::parse(line);
    Recorded recorded;
    recorded.in = json.at("dir") == "in";
    if (!recorded.in && json.at("dir") != "out") throw std::invalid_argument(Say(kBadDirection));
    recorded.endpoint = ParseEndpoint(json.at("endpoint"));
    recorded.length = json.at("length");
    recorded.moved = json.at("moved");
    recorded.status = ParseStatus(json.at("status"));
    const uint32_t size = recorded.in ? std::min(recorded.moved, recorded.length) : recorded.length;
    if (json.contains("crc32")) {
        recorded.crc = static_cast<uint32_t>(std::stoul(json.at("crc32").get<std::string>(), nullptr, 16));
        recorded.data = FromHex(json.at("head"));
        recorded.tail = FromHex(json.at("tail"));
        if (size <= TransferTrace::kWholeDataLimit || recorded.data.size() != TransferTrace::kEdgeBytes ||
            recorded.tail.size() != TransferTrace::kEdgeBytes) {
            throw std::invalid_argument(Say(kEdgesDontFit));
        }
    } else {
        recorded.data = FromHex(json.at("data"));
        if (recorded.data.size() != size) throw std::invalid_argument(Say(kDataDoesntFit));
    }
    return recorded;
}

std::string TraceReplay::Verdict() const {
    const Lock lock(mutex_);
    if (!failure_.empty()) return failure_;
    if (next_ < transfers_.size()) {
        return Say(kStoppedBefore,
                   {Where(), std::to_string(transfers_.size() - next_), std::to_string(transfers_.size())});
    }
    return {};
}

int TraceReplay::CountDevices(uint32_t& count) {
    count = 1;
    return 0;
}

int TraceReplay::GetDeviceIds(uint16_t index, uint16_t& vendorId, uint16_t& productId) {
    if (index != 0) return kNoDevice;
    vendorId = AccessPath::kVendorId;
    productId = AccessPath::kProductId;
    return 0;
}

int TraceReplay::OpenDevice(uint16_t index, Handle& handle) {
    if (index != 0) return kNoDevice;
    const Lock lock(mutex_);
    handle = nextHandle_++;
    return 0;
}

void TraceReplay::CloseDevice(Handle) {}

int TraceReplay::Write(Handle handle, const uint8_t* buffer, uint32_t count, uint32_t& written, uint32_t timeoutMs) {
    Lock lock(mutex_);
    written = 0;
    const Recorded* recorded = Take(false, EndpointAddress(handle, false), count);
    if (recorded == nullptr || !SameData(*recorded, buffer, count)) return kFailed;
    ++next_;
    if (recorded->crc) written_[*recorded->crc].assign(buffer, buffer + count);
    written = recorded->moved;
    return Finish(lock, recorded->status, timeoutMs);
}

int TraceReplay::Read(Handle handle, uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) {
    Lock lock(mutex_);
    received = 0;
    const Recorded* recorded = Take(true, EndpointAddress(handle, true), count);
    if (recorded == nullptr || !FillRead(*recorded, buffer)) return kFailed;
    ++next_;
    received = std::min(recorded->moved, count);
    return Finish(lock, recorded->status, timeoutMs);
}

void TraceReplay::CancelTransfers(Handle) {
    const Lock lock(mutex_);
    ++cancels_;
    cancelled_.notify_all();
}

// The next recorded transfer when it goes the same way, through the same endpoint,
// with the same length; null (and the replay failed) otherwise.
const TraceReplay::Recorded* TraceReplay::Take(bool in, uint8_t endpoint, uint32_t count) {
    if (!failure_.empty()) return nullptr;
    const std::string asked = TransferText(in, endpoint, count);
    if (next_ == transfers_.size()) {
        Fail(in, Say(kAfterLast, {asked}));
        return nullptr;
    }
    const Recorded& recorded = transfers_[next_];
    if (recorded.in != in || recorded.endpoint != endpoint || recorded.length != count) {
        Fail(in, Say(kOtherTransfer, {asked, TransferText(recorded.in, recorded.endpoint, recorded.length)}));
        return nullptr;
    }
    return &recorded;
}

bool TraceReplay::SameData(const Recorded& recorded, const uint8_t* data, uint32_t count) {
    const uint32_t tailStart = recorded.crc ? count - TransferTrace::kEdgeBytes : count;
    // Whether the bytes from `start` differ from `expected`: the first difference fails the replay.
    const auto differ = [&](const std::vector<uint8_t>& expected, uint32_t start) {
        const auto mismatch = std::ranges::mismatch(expected, std::span(data + start, expected.size())).in1;
        if (mismatch == expected.end()) return false;
        const auto offset = static_cast<uint32_t>(start + (mismatch - expected.begin()));
        Fail(false, Say(kByteDiffers, {std::to_string(offset), HexByte(*mismatch), HexByte(data[offset])}));
        return true;
    };
    if (differ(recorded.data, 0) || differ(recorded.tail, tailStart)) return false;
    if (recorded.crc && Crc32({data, count}) != *recorded.crc) {
        Fail(false, Say(kCrcDiffers, {Crc32Text(Crc32({data, count})), Crc32Text(*recorded.crc)}));
        return false;
    }
    return true;
}

// The recorded bytes of a read. Long data is rebuilt from its recorded ends and a
// candidate middle, and only the middle that gives the recorded CRC-32 is played.
bool TraceReplay::FillRead(const Recorded& recorded, uint8_t* buffer) {
    std::copy(recorded.data.begin(), recorded.data.end(), buffer);
    if (!recorded.crc) return true;
    const uint32_t size = std::min(recorded.moved, recorded.length);
    std::copy(recorded.tail.begin(), recorded.tail.end(), buffer + size - TransferTrace::kEdgeBytes);
    for (const std::vector<uint8_t>& middle : MiddleCandidates(recorded, size)) {
        std::copy(middle.begin(), middle.end(), buffer + TransferTrace::kEdgeBytes);
        if (Crc32({buffer, size}) == *recorded.crc) return true;
    }
    Fail(true, Say(kUnplayable, {std::to_string(size)}));
    return false;
}

// What the middle of a long read may be: the middle of data the host wrote during
// this replay with the same CRC-32, or a run of the byte at either end.
std::vector<std::vector<uint8_t>> TraceReplay::MiddleCandidates(const Recorded& recorded, uint32_t size) const {
    const uint32_t middle = size - 2 * TransferTrace::kEdgeBytes;
    std::vector<std::vector<uint8_t>> candidates;
    const auto sent = written_.find(*recorded.crc);
    if (sent != written_.end() && sent->second.size() == size) {
        const auto from = sent->second.begin() + TransferTrace::kEdgeBytes;
        candidates.emplace_back(from, from + middle);
    }
    candidates.emplace_back(middle, recorded.data.back());
    candidates.emplace_back(middle, recorded.tail.front());
    return candidates;
}

// Ends a call as the recorded one ended. A time-out of 0 means none.
int TraceReplay::Finish(Lock& lock, TraceStatus status, uint32_t timeoutMs) {
    if (status == TraceStatus::Ok) return 0;
    if (status == TraceStatus::Failed) return kFailed;
    const uint64_t cancels = cancels_;
    const auto cancelled = [&] { return cancels_ != cancels; };
    if (timeoutMs == 0) {
        cancelled_.wait(lock, cancelled);
    } else {
        cancelled_.wait_for(lock, std::chrono::milliseconds(timeoutMs), cancelled);
    }
    return cancelled() ? kCancelled : kTimedOut;
}

// Names the transfer by its number and its line in the file (the header is line 1).
void TraceReplay::Fail(bool in, const std::string& what) {
    failure_ = Say(kFailedAt, {Where(), in ? "in" : "out", what});
}

std::string TraceReplay::Where() const {
    return Say(kTransfer, {std::to_string(next_ + 1), std::to_string(next_ + 2)});
}

}  // namespace qbr
