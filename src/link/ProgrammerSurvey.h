// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qbr {

// One endpoint of an interface as sysfs describes it.
struct SurveyedEndpoint {
    uint8_t address = 0;  // direction bit included
    std::string type;     // "Bulk", "Interrupt", ...
    uint16_t maxPacketSize = 0;
};

// Whether this user may open a device node.
enum class NodeAccess { Allowed, Denied, Missing };

// The interface the program talks through.
struct SurveyedInterface {
    std::string name;    // e.g. "1-1.2:1.0"; empty when the device has no interface
    std::string driver;  // the kernel driver bound to it; empty when none
    std::vector<SurveyedEndpoint> endpoints;

    bool HasBulkPair() const;
};

// What the system tells about one programmer on the bus (vendor 10c4, product
// f5a0), read before anything opens it.
struct SurveyedProgrammer {
    std::string busPort;     // the device's sysfs name, e.g. "1-1.2"
    std::string serial;      // the USB serial string; empty when the device has none
    std::string speed;       // in Mbit/s as sysfs gives it: "12" for full speed
    std::string deviceNode;  // its usbfs node
    NodeAccess nodeAccess = NodeAccess::Missing;
    // The first interface with a bulk IN and a bulk OUT endpoint, as both access
    // paths choose it, else the first interface.
    SurveyedInterface interface;
};

// The first line of a sysfs attribute file; empty when it can't be read.
std::string SysfsAttribute(const std::filesystem::path& file);
// The same attribute read as a hexadecimal number; 0 when it holds none.
unsigned long HexAttribute(const std::filesystem::path& file);
// The usbfs node of a sysfs device under `deviceNodes`, named by its bus and device numbers.
std::string DeviceNodeOf(const std::filesystem::path& device, const std::filesystem::path& deviceNodes);

// Finds the programmers in sysfs, in the order of
// their sysfs names. The roots are those of the running system unless a test
// points them elsewhere.
std::vector<SurveyedProgrammer> SurveyProgrammers(const std::filesystem::path& sysfsDevices = "/sys/bus/usb/devices",
                                                  const std::filesystem::path& deviceNodes = "/dev/bus/usb");

}  // namespace qbr
