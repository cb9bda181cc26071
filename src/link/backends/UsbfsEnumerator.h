// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/DeviceEnumerator.h"
#include "link/backends/UsbfsDevice.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace qbr {

// The direct path on Linux: interfaces are found in sysfs and opened through usbfs.
//
// No driver announces interface classes here, so every USB interface with a bulk
// IN and a bulk OUT endpoint stands for one, whatever class is asked for; the
// caller picks the programmer out by the IDs in the path. A device path reads
// "usb#vid_10c4&pid_f5a0#1-1.2:1.0": the device's IDs and the interface's sysfs
// name. Its pipe "PIPE00" is the bulk IN endpoint and "PIPE01" the bulk OUT one.
//
// Handles opened on the same interface share one usbfs file, since only one file
// can claim an interface at a time; the file closes with the last handle.
class UsbfsEnumerator : public DeviceEnumerator {
public:
    static constexpr const char* kReadPipeName = "PIPE00";
    static constexpr const char* kWritePipeName = "PIPE01";

    explicit UsbfsEnumerator(std::filesystem::path sysfsDevices = "/sys/bus/usb/devices",
                             std::filesystem::path deviceNodes = "/dev/bus/usb")
        : sysfsDevices_(std::move(sysfsDevices)), deviceNodes_(std::move(deviceNodes)) {}

    std::vector<std::string> ListInterfaces(std::string_view interfaceClass) override;
    std::shared_ptr<PipeHandle> Open(const std::string& path, bool& accessDenied) override;

private:
    struct BulkInterface {
        int number = 0;
        uint8_t inEndpoint = 0;
        uint8_t outEndpoint = 0;
    };

    std::optional<BulkInterface> ReadBulkInterface(const std::string& interfaceName) const;
    std::shared_ptr<UsbfsDevice> OpenShared(const std::string& interfaceName, int interfaceNumber, bool& accessDenied);

    std::filesystem::path sysfsDevices_;
    std::filesystem::path deviceNodes_;
    std::map<std::string, std::weak_ptr<UsbfsDevice>> openDevices_;
};

}  // namespace qbr
