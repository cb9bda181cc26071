// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Language.h"

#include "base/Config.h"

namespace qbr {
namespace {

std::string& LanguageSetting() {
    static std::string language;
    return language;
}

}  // namespace

void LoadLanguageSetting() {
    LanguageSetting() = ReadConfig("Run", "DefaultLanguage");
}

void SetLanguage(const std::string& language) {
    LanguageSetting() = language;
    WriteConfig("Run", "DefaultLanguage", language);
}

void SetLanguageForSession(const std::string& language) {
    LanguageSetting() = language;
}

std::string GetLanguage() {
    return LanguageSetting();
}

void SaveDefaultChipName(const std::string& name) {
    WriteConfig("Run", "DefaultChipName", name);
}

}  // namespace qbr
