// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/ConfiguredFiles.h"

#include "base/Bilingual.h"
#include "base/Config.h"
#include "base/Language.h"
#include "base/ProgramPaths.h"

#include <array>

namespace qbr {
namespace {

constexpr const char* kConfigKeys[] = {"LogFile", "DataBaseFile", "ManualFile", "AboutPictureFile", "MainPictureFile"};
constexpr size_t kFileCount = std::size(kConfigKeys);

std::array<Bilingual<std::string>, kFileCount>& ThePaths() {
    static std::array<Bilingual<std::string>, kFileCount> paths;
    return paths;
}

}  // namespace

void ReadConfiguredFiles() {
    const ProgramPaths& program = CurrentProgramPaths();
    for (size_t i = 0; i < kFileCount; ++i) {
        const std::string& directory = i == 0 ? program.logDirectory : program.dataDirectory;
        ThePaths()[i] = {directory + ReadConfig(kLanguageEnglish, kConfigKeys[i]),
                         directory + ReadConfig(kLanguageChinese, kConfigKeys[i])};
    }
}

std::string ConfiguredFilePath(ConfiguredFile file) {
    return InCurrentLanguage(ThePaths()[static_cast<size_t>(file)]);
}

}  // namespace qbr
