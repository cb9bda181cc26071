#include "app/Config.h"

#include "app/IniFile.h"

#include <filesystem>
#include <optional>

namespace qbr {
namespace {

std::optional<std::string>& DirectoryOverride() {
    static std::optional<std::string> directory;
    return directory;
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
    if (DirectoryOverride()) return *DirectoryOverride();
    static const std::string directory = DirectoryOfPath(RunningExecutablePath());
    return directory;
}

void SetExecutableDirectory(const std::string& directory) {
    std::string text = directory;
    if (!text.empty() && text.back() != '/') text += '/';
    DirectoryOverride() = text;
}

std::string ConfigFilePath() { return ExecutableDirectory() + "config.ini"; }

std::string ReadConfig(const std::string& section, const std::string& key) {
    return IniFile::Read(ConfigFilePath(), section, key);
}

bool WriteConfig(const std::string& section, const std::string& key, const std::string& value) {
    return IniFile::Write(ConfigFilePath(), section, key, value);
}

}  // namespace qbr
