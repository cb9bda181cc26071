// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ProgramDir.h"

#include "base/Config.h"
#include "base/Language.h"
#include "base/MessageTable.h"

namespace qbr::test {

ProgramDir::ProgramDir(const std::string& configText) {
    WriteFileText(file("config.ini"), configText);
    SetExecutableDirectory(dirText());
    Reload();
}

void ProgramDir::Reload() const {
    LoadLanguageSetting();
    BuildMessageTable();
}

std::string ProgramDir::config() const {
    return ReadFileText(file("config.ini"));
}

std::string SampleConfig(const std::string& language, const std::string& defaultChip) {
    std::string text = "[Run]\nDefaultLanguage=" + language + "\n";
    if (!defaultChip.empty()) text += "DefaultChipName=" + defaultChip + "\n";
    for (const char* section : {"English", "SimpleChinese"}) {
        text += std::string("[") + section + "]\nCaption=Caption " + section +
                "\nLogFile=test.log\nDataBaseFile=chips.dat\n";
    }
    return text;
}

}  // namespace qbr::test
