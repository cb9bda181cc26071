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
constexpr const char* kReloadCommand = "sudo udevadm control --reload-rules && sudo udevadm trigger";

struct Wording {
    const char* refused;
    const char* installRule;  // portable run: the rule still has to be installed
    const char* reloadRule;   // installed run: the package has put the rule in place
    const char* replug;
};

constexpr Wording kEnglish = {
    "The programmer is connected, but this user is not allowed to open it.",
    "Install the device rule with this command:",
    "Load the installed device rule with this command:",
    "Then unplug the programmer and plug it in again.",
};

constexpr Wording kChinese = {
    "已找到编程器，但当前用户无权打开它。",
    "请用以下命令安装设备规则：",
    "请用以下命令加载已安装的设备规则：",
    "然后拔下编程器再重新插上。",
};

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

}  // namespace

std::string DeviceRulePath() {
    const ProgramPaths& paths = CurrentProgramPaths();
    if (!paths.installed) return paths.dataDirectory + kRuleFileName;
    return (std::filesystem::path(paths.dataDirectory) / "../../lib/udev/rules.d" / kRuleFileName)
        .lexically_normal()
        .string();
}

std::string DeviceAccessCommand() {
    if (CurrentProgramPaths().installed) return kReloadCommand;
    return "sudo install -m 644 " + ShellWord(DeviceRulePath()) + " /etc/udev/rules.d/ && " + kReloadCommand;
}

std::string PermissionDeniedText() {
    const std::string language = GetLanguage();
    const Wording* wording = language == kLanguageEnglish   ? &kEnglish
                             : language == kLanguageChinese ? &kChinese
                                                            : nullptr;
    if (wording == nullptr) return {};
    const ProgramPaths& paths = CurrentProgramPaths();
    return std::string(wording->refused) + "\r\n" + (paths.installed ? wording->reloadRule : wording->installRule) +
           "\r\n" + DeviceAccessCommand() + "\r\n" + wording->replug;
}

std::string NoProgrammerText(bool accessDenied) {
    const std::string noProgrammer = MessageText(kMsgNoProgrammer);
    const std::string reason = accessDenied ? PermissionDeniedText() : std::string();
    return reason.empty() ? noProgrammer : noProgrammer + "\r\n\r\n" + reason;
}

}  // namespace qbr
