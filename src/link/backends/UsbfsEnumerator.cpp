// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/backends/UsbfsEnumerator.h"

#include "link/backends/UsbfsPipe.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace qbr {

namespace fs = std::filesystem;

namespace {

// Interface entries in sysfs are named "<device>:<configuration>.<interface>".
bool IsInterfaceName(const std::string& name) {
    return name.find(':') != std::string::npos;
}

uint8_t ParseHexByte(const std::string& text) {
    return static_cast<uint8_t>(std::strtoul(text.c_str(), nullptr, 16));
}

// The first line of a sysfs attribute file; empty when it can't be read.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string value;
    std::getline(in, value);
    return value;
}

std::string DeviceOf(const std::string& interfaceName) {
    return interfaceName.substr(0, interfaceName.find(':'));
}

}  // namespace

std::vector<std::string> UsbfsEnumerator::ListInterfaces(std::string_view) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sysfsDevices_, error)) {
        const std::string name = entry.path().filename().string();
        if (IsInterfaceName(name) && ReadBulkInterface(name)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        const fs::path device = sysfsDevices_ / DeviceOf(name);
        paths.push_back("usb#vid_" + Attribute(device / "idVendor") + "&pid_" + Attribute(device / "idProduct") + "#" +
                        name);
    }
    return paths;
}

std::shared_ptr<PipeHandle> UsbfsEnumerator::Open(const std::string& path, bool& accessDenied) {
    accessDenied = false;
    const size_t separator = path.rfind(kPipeSeparator);
    const std::string devicePath = path.substr(0, separator);
    const std::string pipeName = separator == std::string::npos ? "" : path.substr(separator + 1);
    const size_t hash = devicePath.rfind('#');
    const std::string interfaceName = hash == std::string::npos ? "" : devicePath.substr(hash + 1);
    const std::optional<BulkInterface> bulk = IsInterfaceName(interfaceName) ? ReadBulkInterface(interfaceName)
                                                                             : std::nullopt;
    if (!bulk || (!pipeName.empty() && pipeName != kReadPipeName && pipeName != kWritePipeName)) {
        return nullptr;
    }
    std::shared_ptr<UsbfsDevice> device = OpenShared(interfaceName, bulk->number, accessDenied);
    if (!device) {
        return nullptr;
    }
    const uint8_t endpoint = pipeName.empty()            ? UsbfsPipe::kNoEndpoint
                             : pipeName == kReadPipeName ? bulk->inEndpoint
                                                         : bulk->outEndpoint;
    return std::make_shared<UsbfsPipe>(std::move(device), endpoint);
}

std::optional<UsbfsEnumerator::BulkInterface> UsbfsEnumerator::ReadBulkInterface(
    const std::string& interfaceName) const {
    const fs::path directory = sysfsDevices_ / interfaceName;
    BulkInterface bulk;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        if (entry.path().filename().string().starts_with("ep_") && Attribute(entry.path() / "type") == "Bulk") {
            const uint8_t address = ParseHexByte(Attribute(entry.path() / "bEndpointAddress"));
            ((address & UsbfsPipe::kDirectionIn) != 0 ? bulk.inEndpoint : bulk.outEndpoint) = address;
        }
    }
    if (bulk.inEndpoint == 0 || bulk.outEndpoint == 0) {
        return std::nullopt;
    }
    bulk.number = ParseHexByte(Attribute(directory / "bInterfaceNumber"));
    return bulk;
}

std::shared_ptr<UsbfsDevice> UsbfsEnumerator::OpenShared(const std::string& interfaceName, int interfaceNumber,
                                                         bool& accessDenied) {
    const fs::path sysfsDevice = sysfsDevices_ / DeviceOf(interfaceName);
    char node[32];
    std::snprintf(node, sizeof node, "%03d/%03d", std::atoi(Attribute(sysfsDevice / "busnum").c_str()),
                  std::atoi(Attribute(sysfsDevice / "devnum").c_str()));
    const std::string nodePath = (deviceNodes_ / node).string();
    std::erase_if(openDevices_, [](const auto& entry) { return entry.second.expired(); });
    const std::string key = nodePath + '#' + std::to_string(interfaceNumber);
    std::shared_ptr<UsbfsDevice> device = openDevices_[key].lock();
    if (!device) {
        device = UsbfsDevice::Open(nodePath, interfaceNumber, accessDenied);
        openDevices_[key] = device;
    }
    return device;
}

}  // namespace qbr
