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

std::string LoadLanguageSetting() {
    const std::string language = ReadConfig("Run", "DefaultLanguage");
    if (language == kLanguageEnglish || language == kLanguageChinese) {
        LanguageSetting() = language;
        return {};
    }
    LanguageSetting() = kLanguageEnglish;
    const std::string key = "DefaultLanguage in section [Run] of " + ConfigFilePath();
    if (language.empty()) return key + " is missing or empty; the texts are in English.";
    return key + " is \"" + language +
           "\", not English or SimpleChinese (written exactly so); the texts are in English.";
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
