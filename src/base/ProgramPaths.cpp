// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/ProgramPaths.h"

#include "base/IniFile.h"
#include "base/Language.h"

#include <filesystem>

namespace qbr {
namespace {

namespace fs = std::filesystem;

std::string WithSlash(const fs::path& path) {
    std::string text = path.lexically_normal().string();
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

// An XDG base directory: the variable when it holds an absolute path, else the
// default below $HOME.
fs::path BaseDirectory(const std::function<std::string(const char*)>& environment, const char* variable,
                       const char* fallbackBelowHome) {
    const std::string value = environment(variable);
    if (!value.empty() && value.front() == '/') return value;
    return fs::path(environment("HOME")) / fallbackBelowHome;
}

// The Version texts belong to the installed program, not to the user: after an
// upgrade the user's copy takes them from the packaged config.ini, so that About
// shows the version that runs. Everything else in the user's copy stays.
void RefreshVersionTexts(const std::string& packaged, const std::string& user) {
    for (const char* section : {kLanguageEnglish, kLanguageChinese}) {
        const std::string version = IniFile::Read(packaged, section, "Version");
        if (!version.empty() && IniFile::Read(user, section, "Version") != version) {
            IniFile::Write(user, section, "Version", version);
        }
    }
}

}  // namespace

ProgramPaths PortablePaths(const std::string& directory) {
    const std::string dir = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    return {dir + "config.ini", dir, dir, false, dir + "backups/"};
}

ProgramPaths InstalledPaths(const std::string& executableDirectory,
                            const std::function<std::string(const char*)>& environment) {
    ProgramPaths paths;
    paths.installed = true;
    paths.dataDirectory = WithSlash(fs::path(executableDirectory) / ".." / "share" / "qbr5150");
    paths.configFile = (BaseDirectory(environment, "XDG_CONFIG_HOME", ".config") / "qbr5150" / "config.ini")
                           .lexically_normal()
                           .string();
    paths.logDirectory = WithSlash(BaseDirectory(environment, "XDG_STATE_HOME", ".local/state") / "qbr5150");
    paths.backupDirectory = WithSlash(BaseDirectory(environment, "XDG_DATA_HOME", ".local/share") / "qbr5150" /
                                      "backups");
    return paths;
}

ProgramPaths ChooseProgramPaths(const std::string& executableDirectory,
                                const std::function<std::string(const char*)>& environment) {
    std::error_code error;
    if (fs::exists(fs::path(executableDirectory) / "config.ini", error)) return PortablePaths(executableDirectory);
    ProgramPaths paths = InstalledPaths(executableDirectory, environment);
    fs::create_directories(fs::path(paths.configFile).parent_path(), error);
    fs::create_directories(paths.logDirectory, error);
    const std::string packaged = paths.dataDirectory + "config.ini";
    if (fs::exists(paths.configFile, error)) {
        RefreshVersionTexts(packaged, paths.configFile);
    } else {
        fs::copy_file(packaged, paths.configFile, error);
    }
    return paths;
}

}  // namespace qbr
