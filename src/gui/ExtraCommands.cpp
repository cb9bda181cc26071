// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ExtraCommands.h"

#include "gui/ExtraSettings.h"

#include <algorithm>
#include <iterator>

namespace qbr::gui {
namespace {

constexpr ExtraCommandRow kExtraCommands[] = {
    {kExtraOpenBackups, MenuPopup::File, {"Open Backups Folder", "打开备份文件夹"}, "", ExtraKind::Action, ""},
    {kExtraBackUpFirst,
     MenuPopup::Programmer,
     {"Back Up Before Changing the Chip", "改动芯片前先备份"},
     "",
     ExtraKind::Toggle,
     kExtraKeyBackUpFirst},
    {kExtraReadTwice, MenuPopup::Programmer, {"Read Twice", "读取两次"}, "", ExtraKind::Toggle, kExtraKeyReadTwice},
    {kExtraShown, MenuPopup::Help, {"Extras", "扩展功能"}, "", ExtraKind::Toggle, kExtraKeyShown},
    {kExtraCompare, MenuPopup::Programmer, {"Compare With Chip", "与芯片比较"}, "", ExtraKind::Action, ""},
    {kExtraFind, MenuPopup::Edit, {"Find...", "查找..."}, "Ctrl+F", ExtraKind::Action, ""},
    {kExtraNext, MenuPopup::Edit, {"Next (Difference or Find)", "下一个 (差异或查找)"}, "F3", ExtraKind::Action, ""},
    {kExtraPrevious,
     MenuPopup::Edit,
     {"Previous (Difference or Find)", "上一个 (差异或查找)"},
     "Shift+F3",
     ExtraKind::Action,
     ""},
    {kExtraChipMap, MenuPopup::Edit, {"Chip Map", "芯片图"}, "", ExtraKind::Toggle, kExtraKeyChipMap},
};

}  // namespace

std::span<const ExtraCommandRow> ExtraCommandTable() {
    return kExtraCommands;
}

const ExtraCommandRow* FindExtraCommand(int id) {
    const auto* found = std::find_if(std::begin(kExtraCommands), std::end(kExtraCommands),
                                     [id](const auto& row) { return row.id == id; });
    return found == std::end(kExtraCommands) ? nullptr : found;
}

}  // namespace qbr::gui
