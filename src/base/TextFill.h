// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace qbr {

// `pattern` with each "{}" replaced by the next of `values`.
std::string Fill(std::string_view pattern, std::initializer_list<std::string> values);

// `text` with every `placeholder` (such as "%d" in a file name) replaced by `value`.
std::string ReplaceAll(std::string text, std::string_view placeholder, const std::string& value);

}  // namespace qbr
