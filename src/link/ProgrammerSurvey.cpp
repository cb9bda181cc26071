// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/ProgrammerSurvey.h"

#include "link/UsbLink.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace qbr {

namespace fs = std::filesystem;

namespace {

constexpr uint8_t kDirectionIn = 0x80;

// Opening the node is the one reliable test: it takes the user's groups, ACLs
// and capabilities into account. Opening a usbfs node claims nothing.
NodeAccess ProbeNode(const std::string& node) {
    const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return NodeAccess::Allowed;
    }
    return errno == EACCES || errno == EPERM ? NodeAccess::Denied : NodeAccess::Missing;
}

std::vector<SurveyedEndpoint> EndpointsOf(const fs::path& interface) {
    std::vector<SurveyedEndpoint> endpoints;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(interface, error)) {
        if (!entry.path().filename().string().starts_with("ep_")) continue;
        endpoints.push_back({static_cast<uint8_t>(HexAttribute(entry.path() / "bEndpointAddress")),
                             SysfsAttribute(entry.path() / "type"),
                             static_cast<uint16_t>(HexAttribute(entry.path() / "wMaxPacketSize"))});
    }
    std::ranges::sort(endpoints, {}, &SurveyedEndpoint::address);
    return endpoints;
}

// The name of the driver a sysfs entry's "driver" link points to; empty when
// none is bound.
std::string DriverOf(const fs::path& interface) {
    std::error_code error;
    const fs::path target = fs::read_symlink(interface / "driver", error);
    return error ? std::string() : target.filename().string();
}

// The device's interfaces are the entries named "<device>:<configuration>.<number>".
SurveyedInterface InterfaceOf(const fs::path& sysfsDevices, const std::string& busPort) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sysfsDevices, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(busPort + ":")) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    SurveyedInterface chosen;
    for (const std::string& name : names) {
        SurveyedInterface candidate{name, DriverOf(sysfsDevices / name), EndpointsOf(sysfsDevices / name)};
        if (chosen.name.empty() || (candidate.HasBulkPair() && !chosen.HasBulkPair())) chosen = std::move(candidate);
    }
    return chosen;
}

}  // namespace

std::string SysfsAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string value;
    std::getline(in, value);
    return value;
}

unsigned long HexAttribute(const fs::path& file) {
    return std::strtoul(SysfsAttribute(file).c_str(), nullptr, 16);
}

std::string DeviceNodeOf(const fs::path& device, const fs::path& deviceNodes) {
    char node[32];
    std::snprintf(node, sizeof node, "%03d/%03d", std::atoi(SysfsAttribute(device / "busnum").c_str()),
                  std::atoi(SysfsAttribute(device / "devnum").c_str()));
    return (deviceNodes / node).string();
}

bool SurveyedInterface::HasBulkPair() const {
    const auto bulk = [this](bool in) {
        return std::any_of(endpoints.begin(), endpoints.end(), [in](const SurveyedEndpoint& endpoint) {
            return endpoint.type == "Bulk" && ((endpoint.address & kDirectionIn) != 0) == in;
        });
    };
    return bulk(true) && bulk(false);
}

std::vector<SurveyedProgrammer> SurveyProgrammers(const fs::path& sysfsDevices, const fs::path& deviceNodes) {
    std::vector<SurveyedProgrammer> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sysfsDevices, error)) {
        const std::string name = entry.path().filename().string();
        const fs::path device = entry.path();
        if (name.find(':') != std::string::npos || HexAttribute(device / "idVendor") != AccessPath::kVendorId ||
            HexAttribute(device / "idProduct") != AccessPath::kProductId) {
            continue;
        }
        SurveyedProgrammer programmer;
        programmer.busPort = name;
        programmer.serial = SysfsAttribute(device / "serial");
        programmer.speed = SysfsAttribute(device / "speed");
        programmer.deviceNode = DeviceNodeOf(device, deviceNodes);
        programmer.nodeAccess = ProbeNode(programmer.deviceNode);
        programmer.interface = InterfaceOf(sysfsDevices, name);
        found.push_back(std::move(programmer));
    }
    std::ranges::sort(found, {}, &SurveyedProgrammer::busPort);
    return found;
}

}  // namespace qbr
