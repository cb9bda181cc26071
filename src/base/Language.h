// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace qbr {

inline constexpr const char* kLanguageEnglish = "English";
inline constexpr const char* kLanguageChinese = "SimpleChinese";

// The process-wide LanguageSetting. Only "English" and "SimpleChinese" select a
// language; any other value makes every message text empty.
void LoadLanguageSetting();                               // from [Run] DefaultLanguage of config.ini
void SetLanguage(const std::string& language);            // and store it in config.ini
void SetLanguageForSession(const std::string& language);  // this run only, config.ini untouched
std::string GetLanguage();

// Remembers the chip for the next start: [Run] DefaultChipName.
void SaveDefaultChipName(const std::string& name);

}  // namespace qbr
