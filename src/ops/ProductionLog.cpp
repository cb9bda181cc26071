// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/ProductionLog.h"

#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace qbr {

namespace {

constexpr const char* kHeader = "time,programmer,chip,command,serial,result,crc32,elapsed_ms\n";

// A CSV field: quoted, with its quotes doubled, when it holds a comma, a quote or
// a line break.
std::string Field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}

std::string IsoTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    return text;
}

bool WriteAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool AppendProductionRecord(const std::string& path, const ProductionRecord& record) {
    // The programmers of a batch log from their own threads: one header, whole lines.
    static std::mutex appending;
    const std::lock_guard lock(appending);
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat info {};
    std::string text = ::fstat(fd, &info) == 0 && info.st_size == 0 ? kHeader : "";
    text += IsoTime(record.when) + ',' + Field(record.programmer) + ',' + Field(record.chip) + ',' +
            Field(record.command) + ',' + (record.serial ? std::to_string(*record.serial) : "") + ',' +
            Field(record.result) + ',' + record.crc32 + ',' + std::to_string(record.elapsedMs) + '\n';
    const bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

}  // namespace qbr
