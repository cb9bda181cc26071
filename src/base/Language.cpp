// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Language.h"

#include "base/Config.h"

#include <atomic>

namespace qbr {
namespace {

// The setting as the texts see it: one of the two languages, or none. An atomic,
// so that a batch's threads read the language while the main thread may set it.
enum class Setting { None, English, Chinese };

std::atomic<Setting> theSetting{Setting::None};

void Store(const std::string& language) {
    const Setting setting = language == kLanguageEnglish   ? Setting::English
                            : language == kLanguageChinese ? Setting::Chinese
                                                           : Setting::None;
    theSetting.store(setting, std::memory_order_relaxed);
}

}  // namespace

std::string LoadLanguageSetting() {
    const std::string language = ReadConfig("Run", "DefaultLanguage");
    if (language == kLanguageEnglish || language == kLanguageChinese) {
        Store(language);
        return {};
    }
    Store(kLanguageEnglish);
    const std::string key = "DefaultLanguage in section [Run] of " + ConfigFilePath();
    if (language.empty()) return key + " is missing or empty; the texts are in English.";
    return key + " is \"" + language +
           "\", not English or SimpleChinese (written exactly so); the texts are in English.";
}

void SetLanguage(const std::string& language) {
    Store(language);
    WriteConfig("Run", "DefaultLanguage", language);
}

void SetLanguageForSession(const std::string& language) {
    Store(language);
}

std::string GetLanguage() {
    switch (theSetting.load(std::memory_order_relaxed)) {
    case Setting::English: return kLanguageEnglish;
    case Setting::Chinese: return kLanguageChinese;
    case Setting::None: break;
    }
    return {};
}

std::optional<TextLanguage> SelectedLanguage() {
    switch (theSetting.load(std::memory_order_relaxed)) {
    case Setting::English: return TextLanguage::English;
    case Setting::Chinese: return TextLanguage::Chinese;
    case Setting::None: break;
    }
    return std::nullopt;
}

TextLanguage TextLanguageOrEnglish() {
    return SelectedLanguage().value_or(TextLanguage::English);
}

void SaveDefaultChipName(const std::string& name) {
    WriteConfig("Run", "DefaultChipName", name);
}

}  // namespace qbr
