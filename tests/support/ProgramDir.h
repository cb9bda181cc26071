// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/TempDir.h"

#include <string>

namespace qbr::test {

// A temporary program directory: config.ini with the given text, made the
// program's directory, with the language and the message table loaded from it.
class ProgramDir : public TempDir {
public:
    explicit ProgramDir(const std::string& configText);
    // Rereads config.ini into the language setting and the message table.
    void Reload() const;
    std::string config() const;
};

// A config.ini for tests: English, log in "test.log", database "chips.dat".
std::string SampleConfig(const std::string& language = "English", const std::string& defaultChip = "");

}  // namespace qbr::test
