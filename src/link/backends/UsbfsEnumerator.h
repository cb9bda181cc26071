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
// Handles opened on the same interface share one usbfs file, since only one file
// can claim an interface at a time; the file closes with the last handle.
class UsbfsEnumerator : public DeviceEnumerator {
public:
    explicit UsbfsEnumerator(std::filesystem::path sysfsDevices = "/sys/bus/usb/devices",
                             std::filesystem::path deviceNodes = "/dev/bus/usb")
        : sysfsDevices_(std::move(sysfsDevices)), deviceNodes_(std::move(deviceNodes)) {}

    std::vector<Interface> ListInterfaces() override;
    std::shared_ptr<PipeHandle> Open(const std::string& name, Pipe pipe, bool& accessDenied) override;

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
