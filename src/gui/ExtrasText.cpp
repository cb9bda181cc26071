// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ExtrasText.h"

#include "base/Language.h"

namespace qbr::gui {
namespace {

constexpr Bilingual<ExtrasWording> kWording = {
    {
        "No program could be started to show the folder {}",
        "Can't make the folder {}: {}",
        "   Backup: {}",
        "The two reads differ: the contact of the chip is unreliable (clip, socket or wiring). The buffer was not "
        "changed.",
        "Programmer: {} ({})",
        "--emulate-count {}: the number of programmers must be between 1 and 64.",
        "Can't write {}",
        "Can't write {}: the extras are not shown.",
        "Can't write {}: the setting stays as it was.",
        "The chip differs from the buffer. Compare the whole chip with the buffer and mark every differing byte?",
        "The chip holds the buffer's bytes: no byte differs.",
        "No differing bytes are marked. Compare With Chip marks them.",
        "Not found: {}",
        "Find",
        "Find:",
        "Hex bytes",
        "Text",
        "Forwards",
        "Backwards",
    },
    {
        "无法启动任何程序来显示文件夹 {}",
        "无法创建文件夹 {}: {}",
        "   备份: {}",
        "两次读取的结果不一致: 芯片接触不可靠 (夹子、座子或连线)。缓冲区没有被改动。",
        "编程器: {} ({})",
        "--emulate-count {}: 编程器数量必须在 1 和 64 之间。",
        "无法写入 {}",
        "无法写入 {}: 附加功能没有显示。",
        "无法写入 {}: 设置保持不变。",
        "芯片与缓冲区不同。是否将整个芯片与缓冲区比较, 并标出每个不同的字节?",
        "芯片中的数据与缓冲区相同: 没有不同的字节。",
        "没有标出不同的字节。请用 \"与芯片比较\" 标出它们。",
        "未找到: {}",
        "查找",
        "查找内容:",
        "十六进制字节",
        "文本",
        "向下",
        "向上",
    }};

}  // namespace

const ExtrasWording& CurrentExtrasWording() {
    return InCurrentLanguage(kWording);
}

}  // namespace qbr::gui
