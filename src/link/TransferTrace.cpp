// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/TransferTrace.h"

#include "base/Checksums.h"
#include "base/FileKind.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qbr {

namespace {

std::string Hex(const uint8_t* data, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
    }
    return text;
}

// A JSON string: quotes, backslashes and control characters escaped, UTF-8 kept.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

// Whether a regular file is empty or opens as a trace does: only such a file is
// emptied, so that a trace named by mistake (an image in the place of the trace)
// never costs the file.
bool EmptyOrTrace(int fd, const struct stat& info) {
    if (info.st_size == 0) return true;
    // The file was opened for writing only: its start is read through a second descriptor.
    const int reader = ::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_RDONLY | O_CLOEXEC);
    if (reader < 0) return false;
    const std::string opening = "{\"format\":" + Quoted(TransferTrace::kFormatName);
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
        error = lonelyFifo ? "nobody reads from the FIFO" : std::strerror(errno);
        return nullptr;
    }
    std::FILE* file = PrepareTraceFile(fd) ? ::fdopen(fd, "w") : nullptr;
    if (file == nullptr) {
        error = "not a trace, an empty file, a FIFO or a character device; left as it was";
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
        error = "Can't write the trace " + path + ": " + error;
        return nullptr;
    }
    return std::unique_ptr<TransferTrace>(new TransferTrace(file));
}

TransferTrace::~TransferTrace() {
    std::fclose(file_);
}

void TransferTrace::WriteHeader(const TraceHeader& header) {
    std::string arguments;
    for (const std::string& argument : header.arguments) {
        arguments += (arguments.empty() ? "" : ",") + Quoted(argument);
    }
    WriteLine("{\"format\":" + Quoted(kFormatName) + ",\"version\":" + std::to_string(kFormatVersion) +
              ",\"program\":" + Quoted(header.program) + ",\"arguments\":[" + arguments +
              "],\"chip\":" + Quoted(header.chip) + ",\"path\":" + Quoted(header.accessPath) + "}");
}

void TransferTrace::Record(bool in, uint8_t endpoint, uint32_t requested, uint32_t moved, TraceStatus status,
                           const uint8_t* data) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    char address[8];
    std::snprintf(address, sizeof address, "0x%02x", endpoint);
    const uint32_t size = in ? std::min(moved, requested) : requested;
    std::string line = "{\"ms\":" + std::to_string(ms) + ",\"dir\":\"" + (in ? "in" : "out") + "\",\"endpoint\":\"" +
                       address + "\",\"length\":" + std::to_string(requested) + ",\"moved\":" + std::to_string(moved) +
                       ",\"status\":\"" + TraceStatusName(status) + "\",";
    if (size <= kWholeDataLimit) {
        line += "\"data\":\"" + Hex(data, size) + "\"}";
    } else {
        line += "\"head\":\"" + Hex(data, kEdgeBytes) + "\",\"tail\":\"" + Hex(data + size - kEdgeBytes, kEdgeBytes) +
                "\",\"crc32\":\"" + Crc32Text(Crc32({data, size})) + "\"}";
    }
    WriteLine(line);
}

void TransferTrace::WriteLine(const std::string& line) {
    const std::lock_guard lock(mutex_);
    const bool written = std::fputs(line.c_str(), file_) >= 0 && std::fputc('\n', file_) != EOF &&
                         std::fflush(file_) == 0;
    if (!written) failed_.store(true, std::memory_order_relaxed);
}

}  // namespace qbr
