// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/MenuTexts.h"

#include "base/Language.h"
#include "base/MessageId.h"
#include "core/CommandId.h"

namespace qbr::gui {

const std::vector<MenuPopupText>& MainMenuTexts() {
    static const std::vector<MenuPopupText> popups = {
        {"File(F)",
         "文件(F)",
         {
             {kCmdOpenFile, "Open(&O)", "打开文件(&O)"},
             {kCmdSaveFile, "Save(&S)", "保存文件(&S)"},
             {},
             {kCmdExit, "Exit(&X)", "退出程序(&X)"},
         }},
        {"Edit(&E)",
         "缓冲区(&B)",
         {
             {kCmdBufferFill, "Buffer Fill(&F)", "填充缓冲区(&F)"},
             {kCmdByteSwap, "Byte Swap(&S)", "高低字节交换(&S)"},
             {kCmdAddressLocation, "Address Location(&A)", "地址定位(&A)"},
         }},
        {"Programmer(&P)",
         "编程器(&E)",
         {
             {kCmdAuto, "Auto(&A)", "自动完成(&A)"},
             {kCmdEraseChip, "Chip Erase(&E)", "擦除芯片(&E)"},
             {kCmdWriteChip, "Write Chip(&W)", "写芯片(&W)"},
             {kCmdReadChip, "Read Chip(&R)", "读芯片(&R)"},
             {kCmdVerifyChip, "Verify Chip(&V)", "校验芯片(&V)"},
             {kCmdDetectChip, "Detect Chip(&T)", "检测芯片型号(&T)"},
             {},
             {kCmdSelfTest, "Self Test(&S)", "编程器自检(&S)"},
             {kCmdReadSerialNumber, "Read Serial Number(&N)", "读序列号(&N)"},
         }},
        {"Firmware(&W)",
         "固件(&W)",
         {
             {kCmdReadFirmwareVersion, "Read Firmware Version(&V)", "读固件版本(&V)"},
             {kCmdUpdateFirmware, "Update Firmware(&U)", "固件升级(&U)"},
         }},
        {"Language(&L)",
         "语言(Language)(&L)",
         {
             {kCmdEnglish, "English(&E)", "English(&E)"},
             {kCmdChinese, "中文简体(&C)", "中文简体(&C)"},
         }},
        {"Help(&H)",
         "帮助(&H)",
         {
             {kCmdUserManual, "User Manual(&U)", "用户手册(&U)"},
             {kCmdAbout, "About(&A)", "关于(&A)"},
         }},
    };
    return popups;
}

const std::vector<ToolbarButton>& ToolbarButtons() {
    static const std::vector<ToolbarButton> buttons = {
        {kCmdOpenFile, kMsgTipOpenFile},
        {kCmdSaveFile, kMsgTipSaveFile},
        {},
        {kCmdBufferFill, kMsgTipBufferFill},
        {kCmdByteSwap, kMsgTipByteSwap},
        {},
        {kCmdAuto, kMsgTipAuto},
        {kCmdEraseChip, kMsgTipEraseChip},
        {kCmdWriteChip, kMsgTipWriteChip},
        {kCmdReadChip, kMsgTipReadChip},
        {kCmdVerifyChip, kMsgTipVerifyChip},
        {kCmdDetectChip, kMsgTipDetectChip},
        {},
        {kCmdReadFirmwareVersion, kMsgTipReadFirmwareVersion},
        {kCmdUpdateFirmware, kMsgTipUpdateFirmware},
        {},
        {kCmdUserManual, kMsgTipUserManual},
        {kCmdAbout, kMsgTipAbout},
    };
    return buttons;
}

bool UsesEnglishMenu(const std::string& language) {
    return language == kLanguageEnglish;
}

}  // namespace qbr::gui
