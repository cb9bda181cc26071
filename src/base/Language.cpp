// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Language.h"

#include "base/Config.h"

#include <atomic>

namespace qbr {
namespace {

// The language the setting selects, or none. An atomic, so that a batch's
// threads read the language while the main thread may set it.
std::atomic<std::optional<TextLanguage>> theLanguage;

void Store(const std::string& language) {
    std::optional<TextLanguage> selected;
    if (language == kLanguageEnglish) selected = TextLanguage::English;
    if (language == kLanguageChinese) selected = TextLanguage::Chinese;
    theLanguage.store(selected, std::memory_order_relaxed);
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
    const std::optional<TextLanguage> language = SelectedLanguage();
    if (!language) return {};
    return *language == TextLanguage::Chinese ? kLanguageChinese : kLanguageEnglish;
}

std::optional<TextLanguage> SelectedLanguage() {
    return theLanguage.load(std::memory_order_relaxed);
}

TextLanguage TextLanguageOrEnglish() {
    return SelectedLanguage().value_or(TextLanguage::English);
}

void SaveDefaultChipName(const std::string& name) {
    WriteConfig("Run", "DefaultChipName", name);
}

}  // namespace qbr
