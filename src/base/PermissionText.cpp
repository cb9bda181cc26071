// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/PermissionText.h"

#include "base/Config.h"
#include "base/Language.h"
#include "base/MessageId.h"
#include "base/MessageTable.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string_view>

namespace qbr {
namespace {

constexpr const char* kRuleFileName = "60-qbr5150.rules";
// Where `cmake --install` puts the rule: the build's QBR_UDEV_RULES_DIR, empty
// for the choice by prefix (see InstalledRuleDirectory).
#ifndef QBR_UDEV_RULES_DIR
#define QBR_UDEV_RULES_DIR ""
#endif
constexpr const char* kConfiguredRuleDirectory = QBR_UDEV_RULES_DIR;
constexpr const char* kReloadCommand = "sudo udevadm control --reload-rules && sudo udevadm trigger";

struct Wording {
    const char* refused;
    const char* installRule;  // the rule still has to be copied where udev reads it
    const char* reloadRule;   // the installation has put the rule where udev reads it
    const char* replug;
};

constexpr Bilingual<Wording> kWording = {{
                                             "The programmer is connected, but this user is not allowed to open it.",
                                             "Install the device rule with this command:",
                                             "Load the installed device rule with this command:",
                                             "Then unplug the programmer and plug it in again.",
                                         },
                                         {
                                             "已找到编程器，但当前用户无权打开它。",
                                             "请用以下命令安装设备规则：",
                                             "请用以下命令加载已安装的设备规则：",
                                             "然后拔下编程器再重新插上。",
                                         }};

// The path as one shell word: quoted when it holds anything but the characters
// that are safe unquoted, so a program directory with blanks can be pasted as is.
std::string ShellWord(const std::string& path) {
    const bool plain = std::all_of(path.begin(), path.end(), [](unsigned char c) {
        return std::isalnum(c) || std::string_view("/._-+,:@%").find(static_cast<char>(c)) != std::string_view::npos;
    });
    if (plain) return path;
    std::string quoted = "'";
    for (char c : path) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string WithoutEndSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The installation's prefix: the data lie in PREFIX/share/qbr5150/.
std::string InstalledPrefix(const std::string& dataDirectory) {
    return (std::filesystem::path(dataDirectory) / "../..").lexically_normal().string();
}

}  // namespace

std::string InstalledRuleDirectory(const std::string& prefix, const std::string& configured) {
    std::string directory = configured;
    if (directory.empty()) directory = WithoutEndSlash(prefix) == "/usr" ? "lib/udev/rules.d" : "/etc/udev/rules.d";
    if (directory.front() != '/') directory = (std::filesystem::path(prefix) / directory).string();
    return WithoutEndSlash(std::filesystem::path(directory).lexically_normal().string());
}

bool UdevReadsRulesIn(const std::string& directory) {
    const std::string folder = WithoutEndSlash(std::filesystem::path(directory).lexically_normal().string());
    return folder == "/etc/udev/rules.d" || folder == "/run/udev/rules.d" || folder == "/usr/lib/udev/rules.d" ||
           folder == "/lib/udev/rules.d";
}

std::string DeviceRulePath() {
    const ProgramPaths& paths = CurrentProgramPaths();
    if (!paths.installed) return paths.dataDirectory + kRuleFileName;
    return InstalledRuleDirectory(InstalledPrefix(paths.dataDirectory), kConfiguredRuleDirectory) + "/" + kRuleFileName;
}

// Reloading is enough where udev reads the rule; a rule anywhere else (a
// portable run's, or one installed to a folder of the builder's choice) is copied
// to /etc/udev/rules.d first.
bool RuleInPlace() {
    const ProgramPaths& paths = CurrentProgramPaths();
    return paths.installed && UdevReadsRulesIn(std::filesystem::path(DeviceRulePath()).parent_path().string());
}

std::string DeviceAccessCommand() {
    if (RuleInPlace()) return kReloadCommand;
    return "sudo install -m 644 " + ShellWord(DeviceRulePath()) + " /etc/udev/rules.d/ && " + kReloadCommand;
}

std::string PermissionDeniedText() {
    // Like the message table's texts, none without a selected language.
    const std::optional<TextLanguage> language = SelectedLanguage();
    if (!language) return {};
    const Wording& wording = kWording.In(*language);
    return std::string(wording.refused) + "\r\n" + (RuleInPlace() ? wording.reloadRule : wording.installRule) + "\r\n" +
           DeviceAccessCommand() + "\r\n" + wording.replug;
}

std::string NoProgrammerText(bool accessDenied) {
    const std::string noProgrammer = MessageText(kMsgNoProgrammer);
    const std::string reason = accessDenied ? PermissionDeniedText() : std::string();
    return reason.empty() ? noProgrammer : noProgrammer + "\r\n\r\n" + reason;
}

std::string ReplugNeededText() {
    static constexpr Bilingual<const char*> kText = {
        "The programmer is out of step with this program: unplug it and plug it in again.",
        "编程器与本程序的通信已失步：请拔下编程器再重新插上。"};
    return InCurrentLanguage(kText);
}

}  // namespace qbr
