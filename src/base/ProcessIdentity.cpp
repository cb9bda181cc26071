// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/ProcessIdentity.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace qbr {

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string BootId() {
    std::string id = ReadAll("/proc/sys/kernel/random/boot_id");
    while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
    return id;
}

// The start time of a running process, in clock ticks since boot (field 22 of
// /proc/PID/stat); none when there is no such process or it has exited.
std::optional<std::string> StartTime(long pid) {
    const std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
    // The command name (field 2) is in parentheses and may hold spaces and ')'.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    fields >> state;  // field 3
    if (state == "Z" || state == "X") return std::nullopt;
    std::string field;
    for (int number = 4; number <= 22; ++number) {
        if (!(fields >> field)) return std::nullopt;
    }
    return field;
}

}  // namespace

std::string CurrentProcessToken() {
    const long pid = getpid();
    return BootId() + "/" + std::to_string(pid) + "/" + StartTime(pid).value_or("");
}

bool ProcessTokenAlive(const std::string& token) {
    const size_t first = token.find('/');
    const size_t second = token.find('/', first == std::string::npos ? first : first + 1);
    if (second == std::string::npos) return false;
    if (token.substr(0, first) != BootId()) return false;
    long pid = 0;
    const char* pidEnd = token.data() + second;
    const auto [stop, error] = std::from_chars(token.data() + first + 1, pidEnd, pid);
    if (error != std::errc() || stop != pidEnd || pid <= 0) return false;
    const std::optional<std::string> started = StartTime(pid);
    return started && *started == token.substr(second + 1);
}

}  // namespace qbr
