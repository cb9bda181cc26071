// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/TextFill.h"

namespace qbr {

std::string Fill(std::string_view pattern, std::initializer_list<std::string> values) {
    std::string text;
    auto value = values.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.substr(i, 2) == "{}" && value != values.end()) {
            text += *value++;
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

std::string ReplaceAll(std::string text, std::string_view placeholder, const std::string& value) {
    for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + value.size())) {
        text.replace(at, placeholder.size(), value);
    }
    return text;
}

}  // namespace qbr
