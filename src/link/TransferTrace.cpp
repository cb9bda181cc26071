// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/TransferTrace.h"

#include "base/Checksums.h"
#include "base/FileKind.h"
#include "base/Language.h"
#include "base/TextFill.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qbr {

namespace {

// Why a trace file can't be written, in one language. "{}" stands for a value, filled in by Fill.
struct TraceFileWording {
    const char* cantWrite;  // path, reason
    const char* lonelyFifo;
    const char* notATrace;
};

constexpr Bilingual<TraceFileWording> kWording = {
    {"Can't write the trace {}: {}", "nobody reads from the FIFO",
     "not a trace, an empty file, a FIFO or a character device; left as it was"},
    {"无法写入跟踪文件 {}: {}", "没有进程在读取这个 FIFO", "不是跟踪文件、空文件、FIFO 或字符设备; 文件保持原样"}};

std::string Hex(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const uint8_t byte : bytes) text += {kDigits[byte >> 4], kDigits[byte & 0x0F]};
    return text;
}

// Whether a regular file is empty or opens as a trace does: only such a file is
// emptied, so that a trace named by mistake (an image in the place of the trace)
// never costs the file.
bool EmptyOrTrace(int fd, const struct stat& info) {
    if (info.st_size == 0) return true;
    // The file was opened for writing only: its start is read through a second descriptor.
    const int reader = ::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_RDONLY | O_CLOEXEC);
    if (reader < 0) return false;
    const std::string opening = std::string("{\"format\":\"") + TransferTrace::kFormatName + '"';
    std::string start(opening.size(), '\0');
    const bool trace = ::read(reader, start.data(), start.size()) == static_cast<ssize_t>(start.size()) &&
                       start == opening;
    ::close(reader);
    return trace;
}

// A regular file that is empty or a trace is emptied; a FIFO or a character device
// is written into as it is. Any other file is never written. Back to blocking
// writes once it is known.
bool PrepareTraceFile(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    const bool ready = S_ISREG(info.st_mode) ? EmptyOrTrace(fd, info) && ::ftruncate(fd, 0) == 0
                                             : S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode);
    const int flags = ::fcntl(fd, F_GETFL);
    return ready && flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// Opened without blocking: a FIFO nobody reads from is refused, not waited on.
std::FILE* OpenTraceFile(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const bool lonelyFifo = errno == ENXIO && KindOfFile(path) == FileKind::Fifo;
        error = lonelyFifo ? InCurrentLanguage(kWording).lonelyFifo : std::strerror(errno);
        return nullptr;
    }
    std::FILE* file = PrepareTraceFile(fd) ? ::fdopen(fd, "w") : nullptr;
    if (file == nullptr) {
        error = InCurrentLanguage(kWording).notATrace;
        ::close(fd);
    }
    return file;
}

}  // namespace

const char* TraceStatusName(TraceStatus status) {
    static constexpr const char* kNames[] = {"ok", "failed", "timeout", "cancelled"};
    return kNames[static_cast<size_t>(status)];
}

std::unique_ptr<TransferTrace> TransferTrace::Create(const std::string& path, std::string& error) {
    std::FILE* file = OpenTraceFile(path, error);
    if (file == nullptr) {
        error = Fill(InCurrentLanguage(kWording).cantWrite, {path, error});
        return nullptr;
    }
    return std::unique_ptr<TransferTrace>(new TransferTrace(file));
}

TransferTrace::~TransferTrace() {
    std::fclose(file_);
}

std::string HexByte(uint8_t value) {
    return "0x" + Hex({&value, 1});
}

void TransferTrace::WriteHeader(const TraceHeader& header) {
    const nlohmann::ordered_json line = {{"format", kFormatName},     {"version", kFormatVersion},
                                         {"program", header.program}, {"arguments", header.arguments},
                                         {"chip", header.chip},       {"path", header.accessPath}};
    WriteLine(line);
}

void TransferTrace::Record(bool in, uint8_t endpoint, uint32_t requested, uint32_t moved, TraceStatus status,
                           const uint8_t* data) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    const uint32_t size = in ? std::min(moved, requested) : requested;
    nlohmann::ordered_json line = {
        {"ms", ms},       {"dir", in ? "in" : "out"},         {"endpoint", HexByte(endpoint)}, {"length", requested},
        {"moved", moved}, {"status", TraceStatusName(status)}};
    if (size <= kWholeDataLimit) {
        line["data"] = Hex({data, size});
    } else {
        line["head"] = Hex({data, kEdgeBytes});
        line["tail"] = Hex({data + size - kEdgeBytes, kEdgeBytes});
        line["crc32"] = Crc32Text(Crc32({data, size}));
    }
    WriteLine(line);
}

// Compact JSON in the order the keys were given, a byte that is not UTF-8 replaced.
void TransferTrace::WriteLine(const nlohmann::ordered_json& json) {
    const std::string line = json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    const std::lock_guard lock(mutex_);
    const bool written = std::fputs(line.c_str(), file_) >= 0 && std::fputc('\n', file_) != EOF &&
                         std::fflush(file_) == 0;
    if (!written) failed_.store(true, std::memory_order_relaxed);
}

}  // namespace qbr
