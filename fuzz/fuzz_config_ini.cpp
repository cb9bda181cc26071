// SPDX-License-Identifier: GPL-3.0-or-later
// Any text as config.ini, read and written with a section, key and value from the input.
// With ordinary names and a one-line value, a write reads back as the value reads in a
// file of its own, and leaves every other key as it was.
#include "FuzzSupport.h"
#include "base/IniFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <strings.h>

namespace {

using qbr::fuzz::Check;

std::string_view Trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t\r\n");
    return first == std::string_view::npos ? std::string_view()
                                           : s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const bool ordinary = input.ConsumeBool();
    std::string section = input.ConsumeRandomLengthString(64);
    std::string key = input.ConsumeRandomLengthString(64);
    std::string value = input.ConsumeRandomLengthString(400);
    const std::string text = input.ConsumeRemainingBytesAsString();

    Check(qbr::IniFile::ReadFromText(text, section, key).size() <= qbr::IniFile::kMaxValueLength);
    const std::string written = qbr::IniFile::WriteToText(text, section, key, value);
    Check(qbr::IniFile::ReadFromText(written, section, key).size() <= qbr::IniFile::kMaxValueLength);
    if (!ordinary) return 0;

    // Names of letters, digits, '_', '.' and '-', never empty; no line breaks in the value.
    static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.-";
    for (std::string* name : {&section, &key}) {
        for (char& c : *name) c = kAlphabet[static_cast<unsigned char>(c) % kAlphabet.size()];
        if (name->empty()) *name = "k";
    }
    std::replace_if(
        value.begin(), value.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    const std::string updated = qbr::IniFile::WriteToText(text, section, key, value);
    const std::string alone = "[" + section + "]\n" + key + "=" + value + "\n";
    Check(qbr::IniFile::ReadFromText(updated, section, key) == qbr::IniFile::ReadFromText(alone, section, key));

    // The keys the text seems to hold, by a rough scan.
    std::string inSection;
    bool sectionSeen = false;
    for (size_t pos = 0, checked = 0; pos < text.size() && checked < 8;) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        const std::string_view line = Trimmed(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (line.size() >= 2 && line.front() == '[' && line.find(']') != std::string_view::npos) {
            inSection = Trimmed(line.substr(1, line.find(']') - 1));
            sectionSeen = true;
        } else if (sectionSeen && line.find('=') != std::string_view::npos) {
            const std::string otherKey(Trimmed(line.substr(0, line.find('='))));
            ++checked;
            if (strcasecmp(inSection.c_str(), section.c_str()) == 0 && strcasecmp(otherKey.c_str(), key.c_str()) == 0)
                continue;
            Check(qbr::IniFile::ReadFromText(updated, inSection, otherKey) ==
                  qbr::IniFile::ReadFromText(text, inSection, otherKey));
        }
    }
    return 0;
}
