// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Language.h"

#include "base/Config.h"

#include <atomic>

namespace qbr {
namespace {

// The language the setting selects as a TextLanguage's number, -1 for none: an atomic
// int (lock-free without libatomic) that a batch's threads read while it may be set.
std::atomic<int> theLanguage{-1};

void Store(const std::string& language) {
    int selected = -1;
    if (language == kLanguageEnglish) selected = static_cast<int>(TextLanguage::English);
    if (language == kLanguageChinese) selected = static_cast<int>(TextLanguage::Chinese);
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
    const int language = theLanguage.load(std::memory_order_relaxed);
    return language < 0 ? std::nullopt : std::optional(static_cast<TextLanguage>(language));
}

TextLanguage TextLanguageOrEnglish() {
    return SelectedLanguage().value_or(TextLanguage::English);
}

void SaveDefaultChipName(const std::string& name) {
    WriteConfig("Run", "DefaultChipName", name);
}

}  // namespace qbr
