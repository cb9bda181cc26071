// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliText.h"

#include "base/Language.h"

namespace qbr {
namespace {

constexpr CliWording kEnglish = {
    "No chip named \"{}\" in the database.",
    "{} is not an SPI flash chip: only SPI flash is erased.",
    "Can't load the emulated chip from {}",
    "Can't save the emulated chip to {}",
};

constexpr CliWording kChinese = {
    "芯片数据库中没有名为 \"{}\" 的芯片。",
    "{} 不是 SPI Flash 芯片: 只有 SPI Flash 芯片可以擦除。",
    "无法从 {} 载入模拟芯片的内容",
    "无法把模拟芯片的内容保存到 {}",
};

}  // namespace

const CliWording& CurrentCliWording() {
    return GetLanguage() == kLanguageChinese ? kChinese : kEnglish;
}

}  // namespace qbr
