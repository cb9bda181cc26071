// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DoctorText.h"

#include "base/Language.h"

namespace qbr {
namespace {

constexpr Bilingual<DoctorWording> kWording = {
    {
        "Programmers on the bus",
        "Access path",
        "Permission",
        "Kernel driver",
        "Endpoints",
        "Programmer",
        "ok",
        "PROBLEM",
        "skipped",

        "The emulated programmer stands in for a QBR5150; the USB bus is not looked at.",
        "{} found.",
        "{}  {}  serial: {}  {}",
        "(none)",
        "The program uses the first one, {}.",
        "No QBR5150 (10c4:f5a0) is on the USB bus. Plug it in, or try another cable or port; "
        "`lsusb -d 10c4:f5a0` must list it.",

        "The emulated programmer, inside this program.",
        "Library path over libusb. Set QBR5150_USB=direct to use the direct path over usbfs instead.",
        "Direct path over usbfs, because QBR5150_USB=direct is set.",
        "Direct path over usbfs, because libusb could not start.",

        "This user may open {}.",
        "The device node {} is missing. Is /dev/bus/usb there? (In a container, pass the USB device in.)",
        "Device rule: {}",

        "The programmer shows no interface. Unplug it and plug it in again.",
        "No kernel driver holds interface {}.",
        "Another program has interface {} open. Close it (another qbr5150 window or qbr5150-cli) and try again.",
        "The kernel driver {} is bound to interface {}; the program detaches it when it opens the programmer.",

        "{}  {} {}  {} bytes",
        "A full-speed device with 64-byte bulk packets, as expected.",
        "Expected a full-speed device (12 Mbit/s) with 64-byte bulk packets; this one runs at {} Mbit/s with the "
        "packets above. The program may fail with it: please report what this step shows.",
        "No interface has a bulk IN and a bulk OUT endpoint.",

        "The system refused to open the programmer (see step 3).",
        "The programmer is on the bus but could not be opened (see steps 3 and 4).",
        "No programmer could be opened.",
        "Skipped: no programmer.",

        "All is well.",
        "Problems found: {}.",
        "No programmer found.",
    },

    {
        "总线上的编程器",
        "访问方式",
        "访问权限",
        "内核驱动",
        "端点",
        "编程器",
        "正常",
        "问题",
        "跳过",

        "由模拟编程器代替 QBR5150，不检查 USB 总线。",
        "找到 {} 个。",
        "{}  {}  序列号：{}  {}",
        "（无）",
        "程序使用第一个：{}。",
        "USB 总线上没有 QBR5150 (10c4:f5a0)。请插上编程器，或换一根数据线、换一个接口；"
        "`lsusb -d 10c4:f5a0` 应能列出它。",

        "程序内的模拟编程器。",
        "经 libusb 的库方式。设置 QBR5150_USB=direct 可改用经 usbfs 的直接方式。",
        "经 usbfs 的直接方式，因为设置了 QBR5150_USB=direct。",
        "经 usbfs 的直接方式，因为 libusb 无法启动。",

        "当前用户可以打开 {}。",
        "设备节点 {} 不存在。请检查 /dev/bus/usb 是否存在（在容器中运行时需把 USB 设备传入容器）。",
        "设备规则：{}",

        "编程器没有提供接口。请拔下编程器再重新插上。",
        "没有内核驱动占用接口 {}。",
        "另一个程序已打开接口 {}。请关闭它（另一个 qbr5150 窗口或 qbr5150-cli）后重试。",
        "内核驱动 {} 已绑定接口 {}；程序打开编程器时会将其分离。",

        "{}  {} {}  {} 字节",
        "全速设备，批量包 64 字节，与预期相符。",
        "预期为全速设备（12 Mbit/s）、批量包 64 字节；此设备速率为 {} Mbit/s，包长见上。"
        "程序可能无法使用它：请报告本步骤显示的内容。",
        "没有同时具有批量输入端点和批量输出端点的接口。",

        "系统拒绝打开编程器（见第 3 步）。",
        "编程器在总线上，但无法打开（见第 3、4 步）。",
        "无法打开编程器。",
        "跳过：没有编程器。",

        "一切正常。",
        "发现问题：{} 处。",
        "未找到编程器。",
    }};

}  // namespace

const DoctorWording& CurrentDoctorWording() {
    return InCurrentLanguage(kWording);
}

}  // namespace qbr
