// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/IniFile.h"

#include "base/AtomicFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

namespace qbr {
namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// One line of the file without its line break.
struct Line {
    std::string_view text;
    size_t begin;  // offset of the line in the file text
    size_t end;    // offset just behind the line break
};

// Editors may start a UTF-8 file with a byte-order mark; it is no part of the
// first line and stays in the file on writing.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    size_t pos = text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        size_t next = nl == std::string::npos ? text.size() : nl + 1;
        std::string_view body(text.data() + pos, (nl == std::string::npos ? text.size() : nl) - pos);
        if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
        lines.push_back({body, pos, next});
        pos = next;
    }
    return lines;
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

bool IsComment(std::string_view line) {
    line = Trim(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// Key and value of a "key=value" line.
std::optional<std::pair<std::string_view, std::string_view>> KeyValue(std::string_view line) {
    if (IsComment(line)) return std::nullopt;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return std::make_pair(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
}

// A section's header line and the end of its body: its lines are (header, last).
struct SectionRange {
    size_t header;
    size_t last;
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, std::string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        auto name = SectionName(lines[i].text);
        if (!name || !EqualNoCase(*name, section)) continue;
        size_t j = i + 1;
        while (j < lines.size() && !SectionName(lines[j].text)) ++j;
        return SectionRange{i, j};
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const std::vector<Line>& lines, const SectionRange& range, std::string_view key) {
    for (size_t i = range.header + 1; i < range.last; ++i) {
        auto kv = KeyValue(lines[i].text);
        if (kv && EqualNoCase(kv->first, key)) return i;
    }
    return std::nullopt;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Cuts a text to at most `limit` bytes without splitting a UTF-8 character.
std::string CutUtf8(std::string_view s, size_t limit) {
    if (s.size() <= limit) return std::string(s);
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    return std::string(s.substr(0, cut));
}

std::string LineBreakOf(const std::string& text) {
    size_t nl = text.find('\n');
    return (nl != std::string::npos && nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    // Only a regular file holds settings; a directory in its place reads as nothing
    // and is never replaced.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(std::istreambuf_iterator<char>(in), {});
    if (in.bad()) return std::nullopt;
    return text;
}

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

std::string IniFile::ReadFromText(const std::string& text, const std::string& section, const std::string& key) {
    const auto lines = SplitLines(text);
    const auto range = FindSection(lines, section);
    if (!range) return {};
    const auto index = FindKey(lines, *range, key);
    if (!index) return {};
    return CutUtf8(Unquote(KeyValue(lines[*index].text)->second), kMaxValueLength);
}

std::string IniFile::WriteToText(const std::string& text, const std::string& section, const std::string& key,
                                 const std::string& value) {
    const auto lines = SplitLines(text);
    const std::string eol = LineBreakOf(text);
    const std::string entry = key + "=" + value;
    const auto range = FindSection(lines, section);
    if (!range) {
        std::string out = text;
        if (!out.empty() && out.back() != '\n') out += eol;
        return out + "[" + section + "]" + eol + entry + eol;
    }
    if (auto index = FindKey(lines, *range, key)) {
        const Line& old = lines[*index];
        const size_t breakAt = old.begin + old.text.size();
        return text.substr(0, old.begin) + entry + text.substr(breakAt);
    }
    // Insert behind the section's last non-blank line, so blank separator lines stay between sections.
    size_t last = range->header;
    for (size_t i = range->header + 1; i < range->last; ++i) {
        if (!Trim(lines[i].text).empty()) last = i;
    }
    const Line& after = lines[last];
    std::string head = text.substr(0, after.end);
    if (head.back() != '\n') head += eol;
    return head + entry + eol + text.substr(after.end);
}

std::string IniFile::Read(const std::string& path, const std::string& section, const std::string& key) {
    const auto text = ReadWholeFile(path);
    return text ? ReadFromText(*text, section, key) : std::string();
}

bool IniFile::Write(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
    std::string old;
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        // A file that exists but can't be read is left alone rather than replaced by one key.
        auto text = ReadWholeFile(path);
        if (!text) return false;
        old = std::move(*text);
    } else if (error) {
        return false;
    }
    return AtomicFile::Replace(path, WriteToText(old, section, key, value));
}

}  // namespace qbr
