// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Config.h"

#include "base/IniFile.h"

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace qbr {
namespace {

std::optional<ProgramPaths>& ChosenPaths() {
    static std::optional<ProgramPaths> paths;
    return paths;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The directory of the running executable, ending with '/'; empty when unknown.
std::string ExecutableDirectory() {
    std::error_code error;
    const std::string path = std::filesystem::read_symlink("/proc/self/exe", error).string();
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace

const ProgramPaths& CurrentProgramPaths() {
    if (!ChosenPaths()) ChosenPaths() = ChooseProgramPaths(ExecutableDirectory(), Environment);
    return *ChosenPaths();
}

void SetProgramPaths(const ProgramPaths& paths) {
    ChosenPaths() = paths;
}

void SetExecutableDirectory(const std::string& directory) {
    SetProgramPaths(PortablePaths(directory));
}

std::string ConfigFilePath() {
    return CurrentProgramPaths().configFile;
}

std::string ReadConfig(const std::string& section, const std::string& key) {
    return IniFile::Read(ConfigFilePath(), section, key);
}

bool WriteConfig(const std::string& section, const std::string& key, const std::string& value) {
    return IniFile::Write(ConfigFilePath(), section, key, value);
}

}  // namespace qbr
