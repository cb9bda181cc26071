// SPDX-License-Identifier: GPL-3.0-or-later
// Any text as config.ini, read and written with a section, key and value carved
// from the input. Nothing may crash; and when the names are ordinary ones (what the
// program itself writes) and the value has no line break, a write must be read back
// as the value reads in a file of its own, and must leave every other key as it was.

#include "base/IniFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Turns any bytes into a name of letters, digits, '_', '.' and '-', never empty.
std::string OrdinaryName(const std::string& raw) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.-";
    std::string name;
    for (unsigned char c : raw) name += kAlphabet[c % (sizeof kAlphabet - 1)];
    return name.empty() ? std::string("k") : name;
}

std::string WithoutLineBreaks(std::string s) {
    std::replace(s.begin(), s.end(), '\n', ' ');
    std::replace(s.begin(), s.end(), '\r', ' ');
    return s;
}

std::string_view Trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// Section and key names that the text seems to hold, found by a rough scan; any
// pair will do for comparing two texts, so the scan need not be exact.
std::vector<std::pair<std::string, std::string>> KeysIn(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> keys;
    std::string section;
    bool inSection = false;
    size_t pos = 0;
    while (pos < text.size() && keys.size() < 8) {
        const size_t nl = std::min(text.find('\n', pos), text.size());
        const std::string_view line = Trimmed(std::string_view(text).substr(pos, nl - pos));
        pos = nl + 1;
        if (line.size() >= 2 && line.front() == '[' && line.find(']') != std::string_view::npos) {
            section = std::string(Trimmed(line.substr(1, line.find(']') - 1)));
            inSection = true;
        } else if (inSection && line.find('=') != std::string_view::npos) {
            keys.emplace_back(section, std::string(Trimmed(line.substr(0, line.find('=')))));
        }
    }
    return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const bool ordinary = input.ConsumeBool();
    std::string section = input.ConsumeRandomLengthString(64);
    std::string key = input.ConsumeRandomLengthString(64);
    std::string value = input.ConsumeRandomLengthString(400);
    const std::string text = input.ConsumeRemainingBytesAsString();

    const std::string before = qbr::IniFile::ReadFromText(text, section, key);
    Check(before.size() <= qbr::IniFile::kMaxValueLength);
    const std::string written = qbr::IniFile::WriteToText(text, section, key, value);
    Check(qbr::IniFile::ReadFromText(written, section, key).size() <= qbr::IniFile::kMaxValueLength);
    if (!ordinary) return 0;

    section = OrdinaryName(section);
    key = OrdinaryName(key);
    value = WithoutLineBreaks(std::move(value));
    const std::string updated = qbr::IniFile::WriteToText(text, section, key, value);

    const std::string alone = "[" + section + "]\n" + key + "=" + value + "\n";
    Check(qbr::IniFile::ReadFromText(updated, section, key) == qbr::IniFile::ReadFromText(alone, section, key));

    for (const auto& [otherSection, otherKey] : KeysIn(text)) {
        if (EqualNoCase(otherSection, section) && EqualNoCase(otherKey, key)) continue;
        Check(qbr::IniFile::ReadFromText(updated, otherSection, otherKey) ==
              qbr::IniFile::ReadFromText(text, otherSection, otherKey));
    }
    return 0;
}
