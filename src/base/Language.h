// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Bilingual.h"

#include <optional>
#include <string>

namespace qbr {

inline constexpr const char* kLanguageEnglish = "English";
inline constexpr const char* kLanguageChinese = "SimpleChinese";

// The process-wide LanguageSetting. Only "English" and "SimpleChinese" select a
// language; any other value makes every message text empty.
//
// LoadLanguageSetting takes it from [Run] DefaultLanguage of config.ini (section
// and key in any case, the value exactly). A value that selects no language
// (missing, written in another case, unknown) would leave every text empty, so
// English is taken instead and the result is a message that names the key, the
// value and the file; empty when the value was recognised.
std::string LoadLanguageSetting();
void SetLanguage(const std::string& language);            // and store it in config.ini
void SetLanguageForSession(const std::string& language);  // this run only, config.ini untouched
std::string GetLanguage();

// The language switch every text goes through: the language the setting selects,
// none for any other value. Safe to read from any thread.
std::optional<TextLanguage> SelectedLanguage();
// The language of the texts that always have one: English unless Chinese is selected.
TextLanguage TextLanguageOrEnglish();
// The current language's text of `text`.
template <class T>
const T& InCurrentLanguage(const Bilingual<T>& text) {
    return text.In(TextLanguageOrEnglish());
}

// Remembers the chip for the next start: [Run] DefaultChipName.
void SaveDefaultChipName(const std::string& name);

}  // namespace qbr
