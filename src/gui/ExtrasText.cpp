// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ExtrasText.h"

#include "base/Language.h"

namespace qbr::gui {
namespace {

constexpr Bilingual<ExtrasWording> kWording = {
    {
        "No program could be started to show the folder {}",
        "   Backup: {}",
        "The two reads differ: the contact of the chip is unreliable (clip, socket or wiring). The buffer was not "
        "changed.",
        "Programmer: {} ({})",
        "--emulate-count {}: the number of programmers must be between 1 and 64.",
    },
    {
        "无法启动任何程序来显示文件夹 {}",
        "   备份: {}",
        "两次读取的结果不一致: 芯片接触不可靠 (夹子、座子或连线)。缓冲区没有被改动。",
        "编程器: {} ({})",
        "--emulate-count {}: 编程器数量必须在 1 和 64 之间。",
    }};

}  // namespace

const ExtrasWording& CurrentExtrasWording() {
    return InCurrentLanguage(kWording);
}

}  // namespace qbr::gui
