// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/LogFile.h"

#include "base/ConfiguredFiles.h"
#include "base/FileKind.h"
#include "base/TickCount.h"

#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace qbr {

std::string LogFile::FormatEntry(const std::string& text, std::time_t now, uint32_t tick) {
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y/%m/%d/ %X", &local);
    char prefix[96];
    std::snprintf(prefix, sizeof prefix, "%s.%-.3d: ", stamp, static_cast<int>(tick % 1000));
    return "\r\n" + std::string(prefix) + text;
}

// Every entry goes to the end, also when the runs of a batch log from their threads
// at once or another program appends meanwhile.
void LogFile::Append(const std::string& path, const std::string& text) {
    static std::mutex appending;
    const std::lock_guard lock(appending);
    // A FIFO nobody reads is not waited on: the open doesn't wait, the writes then do.
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) return;
    ::fcntl(fd, F_SETFL, O_APPEND);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || (info.st_size > kSizeLimit && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return;
    }
    const std::string entry = FormatEntry(text, std::time(nullptr), TickCount());
    WriteAll(fd, entry.data(), entry.size());
    ::close(fd);
}

void LogText(const std::string& text) {
    LogFile::Append(ConfiguredFilePath(ConfiguredFile::Log), text);
}

}  // namespace qbr
