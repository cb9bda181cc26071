// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <string>

namespace qbr {

// A numeric option of the command line: decimal, or hexadecimal with 0x, from
// `least` to `greatest`; `store` takes the number. A value with a sign, junk, an
// empty value or one outside the range is kept in options.badNumber (the first
// one), to be refused as a usage error once the language of the texts is known.
CLI::Option* AddNumberOption(CLI::App& app, CliOptions& options, const std::string& name, uint64_t least,
                             uint64_t greatest, std::function<void(uint64_t)> store, const std::string& help);

// The usage error of a bad number, in the current language.
std::string BadNumberText(const BadNumber& bad);

}  // namespace qbr
