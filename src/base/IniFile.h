// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace qbr {

// Reads and writes single keys of an INI file with the rules of the classic
// private-profile functions:
// - section and key names are compared without regard to case;
// - a UTF-8 byte-order mark at the start of the file is skipped (and kept);
// - a value read is at most kMaxValueLength bytes (cut at a UTF-8 character boundary);
// - a missing file, section or key reads as the empty text;
// - a write keeps every other line (comments included) and creates the file or
//   the section when missing. The file is replaced through a temporary file and a
//   rename, so a failed or interrupted write never leaves a half-written file.
class IniFile {
public:
    static constexpr size_t kMaxValueLength = 199;

    static std::string Read(const std::string& path, const std::string& section, const std::string& key);
    static bool Write(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& value);

    // Same rules over the file's text; exposed for tests and for callers holding the text.
    static std::string ReadFromText(const std::string& text, const std::string& section, const std::string& key);
    static std::string WriteToText(const std::string& text, const std::string& section, const std::string& key,
                                   const std::string& value);
};

}  // namespace qbr
