// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/MessageTable.h"

#include "base/Config.h"
#include "base/ConfiguredFiles.h"
#include "base/Language.h"

#include <array>
#include <optional>

namespace qbr {
namespace {

struct MessageEntry {
    int key = -1;
    Bilingual<std::string> text;
};

// The fixed texts. Rows 90 to 100 come from config.ini and are added by BuildMessageTable.
const MessageEntry kFixedTexts[] = {
    {0, "Programmer is busy, please wait a moment!", "编程器器正忙，请稍后再试!"},
    {1, "No programmer linked to computer!", "未发现有编程器连接到电脑!"},
    {2, "USB Link OK!", "设备连接状态: 正常!"},
    {3, "No USB Link!", "设备连接状态: 未连接!"},
    {4, "Open File", "打开文件"},
    {5, "Save File", "保存到文件"},
    {6, "Buffer Fill", "填充缓冲区"},
    {7, "Byte Swap", "高低字节交换"},
    {8, "Auto", "自动完成"},
    {9, "Erase Chip", "擦除芯片"},
    {10, "Write Chip", "写芯片"},
    {11, "Verify Chip", "校验芯片"},
    {12, "Read Chip", "读芯片"},
    {13, "Detect Chip", "检测芯片型号"},
    {14, "Read Firmware Version", "读固件版本"},
    {15, "Update Firmware", "固件升级"},
    {16, "User Manual", "用户手册"},
    {17, "About", "关于"},
    {18, "Database error!", "器件信息数据库加载失败!"},
    {19, "Memory overflow!", "内存不足!"},
    {20, "No manual file!", "找不到帮助文件!"},
    {21, "Address format error!", "输入格式错误!"},
    {22, "Start address error!", "开始地址超出范围!"},
    {23, "File is too long!", "文件长度超出范围, 超出部分将被忽略!"},
    {24, "Load file!", "加载文件!"},
    {25, "Load file cancel!", "取消加载文件!"},
    {26, "Open file error!", "文件打开失败!"},
    {27, "Save file!", "保存文件!"},
    {28, "Save file cancel!", "取消保存文件!"},
    {29, "Save file successful!", "保存文件成功!"},
    {30, "Drop file error!", "一次不能拖入多个文件!"},
    {31, "Auto!", "自动编程!"},
    {32, "Read chip!", "读芯片!"},
    {33, "Read chip error!", "读芯片出错!"},
    {34, "Reading...", "正在读芯片..."},
    {35, "Read chip ok!", "读芯片成功!"},
    {36, "Erase chip!", "擦除芯片!"},
    {37, "Erase chip error!", "擦除芯片出错!"},
    {38, "Erasing...", "正在擦除芯片..."},
    {39, "Erase chip ok!", "擦除芯片成功!"},
    {40, "Write chip!", "写芯片!"},
    {41, "Write chip error!", "写芯片出错!"},
    {42, "Writting...", "正在写芯片..."},
    {43, "Write chip ok!", "写芯片成功!"},
    {44, "Verify chip!", "校验芯片!"},
    {45, "Verify chip error!", "校验芯片出错!"},
    {46, "Verifying...", "正在校验芯片..."},
    {47, "Verify chip ok!", "校验芯片成功!"},
    {48, "Addr:", "地  址:"},
    {49, " Buf:", "缓冲区:"},
    {50, "Chip:", "芯  片:"},
    {51, "Detect chip!", "识别芯片!"},
    {52, "Detect chip error!", "检测芯片型号出错!"},
    {53, "Detect chip error!",
     "探测芯片型号出错!\r\n自动识别功能仅适用于部分厂商的25系列芯片!\r\n对于探测出错的芯片，请手动选择正确型号!"},
    {54, "Chip type is unknown!", "无法检测该芯片型号!"},
    {55, "Chip type:", "检测到芯片:"},
    {56,
     "The real chip may be a compatible model of the same maker and capacity; reading and writing are not affected!",
     "实际芯片的型号可能跟软件检测出的型号是同厂家同容量的兼容型号, 这不会影响到后续读写操作!"},
    {57, "Read firmware version!", "获取固件版本!"},
    {58, "Read firmware version error!", "读固件版本号出错!"},
    {59, "Firmware version: ", "固件版本号: "},
    {60, "Auto test!", "自检!"},
    {61, "Auto test start!", "测试开始!"},
    {62, "Auto test error!", "测试出错!"},
    {63, "Auto test result:", "测试结果:"},
    {64, "Auto test result: Hardware is OK!", "测试结果: 编程器一切正常!"},
    {65, "Auto test result: Hardware has some problems!", "测试结果: 编程器有硬件故障!"},
    {66, "Read Serial number!", "读编程器序列号!"},
    {67, "Read Serial number error!", "读编程器序列号出错!"},
    {68, "Serial number:", "编程器序列号:"},
    {69, "Firmware update!", "固件升级!"},
    {70, "Update File", "固件升级文件"},
    {71, "Open file error!", "打开文件失败!"},
    {72, "File format error!", "文件格式错误!"},
    {73, "Wait for linking!", "等待设备连接!"},
    {74, "Please click \"OK\", and link programmer to computer in 10 seconds!",
     "请先断开编程器，点“确定”按钮后，10秒钟内连接编程器!"},
    {75, "Firmware update error!", "升级失败!"},
    {76, "Firmware updating...", "正在升级固件..."},
    {77, "Firmware update ok!", "升级固件完成!"},
    {78, "Search chip!", "查找芯片!"},
    {79, "Search chip cancel!", "取消查找芯片!"},
    {80, "(High 8 bits first, low 8 bits followed)", "(高8位在前，低8位在后)"},
    {81, "Chip:", "器件:"},
    {82, "Manu", "厂商:"},
    {83, "Select Chip", "器件选择"},
    {84, "Type:", "类型:"},
    {85, "Manu:", "厂商:"},
    {86, "Chip:", "器件:"},
    {87, "Capacity:", "容量:"},
    {88, "Search...", "芯片查找..."},
    {89, "Set language to english!", "语言设置为简体中文!"},
    {94, "OK", "确  定"},
    {101, "About(&A)...", "关于(&A)..."},
    {102, "Buffer Fill", "缓冲区填充"},
    {103, "Addr(HEX):", "地址(16进制):"},
    {104, " Len(HEX):", "长度(16进制):"},
    {105, "Data(HEX):", "数据(16进制):"},
    {106, "OK", "确定"},
    {107, "Cancel", "取消"},
    {108, "Address Location", "地址定位"},
    {109, "Addr(HEX):", "地址(16进制):"},
    {110, "OK", "确定"},
    {111, "Cancel", "取消"},
    {112, "Search chip...", "查找芯片..."},
    {113, "Chip Name:", "器件名称:"},
    {114, "Case insensitive,and support wildcard character '*',for example:EN25*80",
     "不区分大小写，支持‘*’通配符，例如: EN25*80"},
    {115, "Select", "选  择"},
    {116, "Cancel", "取  消"},
    {117, "Chip Name", "芯片名称"},
    {118, "Capacity", "容量"},
    {119, "Manu", "厂商"},
    {120, "Type", "类型"},
    {121, "Find ", "共找到 "},
    {122, " Chips!", " 个结果!"},
    {123, "Please select a chip!", "请选择芯片型号!"},
    {124, "Elapsed time: ", "耗时: "},
    {125,
     "The buffer holds changes that were neither saved to a file nor written to a chip.\n"
     "Close the program and lose them?",
     "缓冲区中的修改既未保存到文件, 也未写入芯片.\n关闭程序并放弃这些修改吗?"},
    {126, "Yes", "是"},
    {127, "No", "否"},
    {128, "No program could be started to show the manual file:\n", "无法启动程序来显示帮助文件:\n"},
};

// The rows config.ini fills, from its language sections.
const struct {
    int key;
    const char* configKey;
} kConfigRows[] = {
    {kMsgCaption, "Caption"},
    {kMsgVersion, "Version"},
    {kMsgCompany, "Company"},
    {kMsgWebsite, "Website"},
};

using Table = std::array<MessageEntry, kMessageCount>;

Table& TheTable() {
    static Table table;
    return table;
}

}  // namespace

void BuildMessageTable() {
    Table& table = TheTable();
    for (const MessageEntry& entry : kFixedTexts) {
        table[entry.key] = entry;
    }
    for (const auto& row : kConfigRows) {
        table[row.key] = {row.key,
                          {ReadConfig(kLanguageEnglish, row.configKey), ReadConfig(kLanguageChinese, row.configKey)}};
    }
    const std::string chip = ReadConfig("Run", "DefaultChipName");
    table[kMsgDefaultChipName] = {kMsgDefaultChipName, {chip, chip}};
    ReadConfiguredFiles();
}

std::string MessageText(int id) {
    if (id < 0 || id >= kMessageCount) return {};
    const MessageEntry& entry = TheTable()[id];
    if (entry.key != id) return {};
    const std::optional<TextLanguage> language = SelectedLanguage();
    return language ? entry.text.In(*language) : std::string();
}

}  // namespace qbr
