// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Config.h"
#include "base/Language.h"
#include "base/MessageTable.h"
#include "support/TempDir.h"

#include <string>

namespace qbr::test {

// A temporary program directory: config.ini with the given text, made the
// program's directory, with the language and the message table loaded from it.
class ProgramDir : public TempDir {
public:
    explicit ProgramDir(const std::string& configText) {
        WriteFileText(file("config.ini"), configText);
        SetExecutableDirectory(dirText());
        Reload();
    }
    // Rereads config.ini into the language setting and the message table.
    void Reload() const {
        LoadLanguageSetting();
        BuildMessageTable();
    }
    std::string config() const { return ReadFileText(file("config.ini")); }
};

// A config.ini for tests: English, log in "test.log", database "chips.dat".
inline std::string SampleConfig(const std::string& language = "English", const std::string& defaultChip = "") {
    std::string text = "[Run]\nDefaultLanguage=" + language + "\n";
    if (!defaultChip.empty()) text += "DefaultChipName=" + defaultChip + "\n";
    for (const char* section : {"English", "SimpleChinese"}) {
        text += std::string("[") + section + "]\nCaption=Caption " + section +
                "\nLogFile=test.log\nDataBaseFile=chips.dat\n";
    }
    return text;
}

}  // namespace qbr::test
