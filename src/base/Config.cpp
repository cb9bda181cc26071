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

std::string RunningExecutablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

}  // namespace

std::string DirectoryOfPath(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExecutableDirectory() {
    static const std::string directory = DirectoryOfPath(RunningExecutablePath());
    return directory;
}

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
