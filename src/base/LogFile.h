// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace qbr {

// The program's log: one time-stamped entry per event. The file is opened,
// extended and closed for every entry, so an entry is on disk when the call
// returns. A file grown beyond kSizeLimit is emptied before the next entry.
class LogFile {
public:
    static constexpr long kSizeLimit = 0xA00000;

    // Appends an entry; a file that can't be opened or created drops it silently.
    static void Append(const std::string& path, const std::string& text);

    // "\r\n" + local time as "%Y/%m/%d/ %X" + "." + tick % 1000 in three digits + ": " + text.
    static std::string FormatEntry(const std::string& text, std::time_t now, uint32_t tick);
};

// Appends to the log file named by the message table in the current language.
void LogText(const std::string& text);

}  // namespace qbr
