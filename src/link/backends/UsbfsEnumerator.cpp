// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/backends/UsbfsEnumerator.h"

#include "link/ProgrammerSurvey.h"

#include <algorithm>

namespace qbr {

namespace fs = std::filesystem;

namespace {

// A pipe of a usbfs device: one bulk endpoint, or none for the handle of the device
// itself. Cancel ends a transfer blocked on the pipe at once.
class UsbfsPipe : public PipeHandle {
public:
    static constexpr uint8_t kNoEndpoint = 0;
    static constexpr uint8_t kDirectionIn = 0x80;

    UsbfsPipe(std::shared_ptr<UsbfsDevice> device, uint8_t endpoint)
        : device_(std::move(device)), endpoint_(endpoint) {}

    bool Read(uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) override {
        return (endpoint_ & kDirectionIn) != 0 && device_->Bulk(endpoint_, buffer, count, received, timeoutMs);
    }
    // usbfs takes a writable pointer for both directions; it only reads it for OUT.
    bool Write(const uint8_t* buffer, uint32_t count, uint32_t& written, uint32_t timeoutMs) override {
        return endpoint_ != kNoEndpoint && (endpoint_ & kDirectionIn) == 0 &&
               device_->Bulk(endpoint_, const_cast<uint8_t*>(buffer), count, written, timeoutMs);
    }
    void Cancel() override {
        if (endpoint_ != kNoEndpoint) {
            device_->Cancel(endpoint_);
        }
    }
    uint8_t EndpointAddress(bool) const override { return endpoint_; }

private:
    std::shared_ptr<UsbfsDevice> device_;
    const uint8_t endpoint_;
};

// Interface entries in sysfs are named "<device>:<configuration>.<interface>".
bool IsInterfaceName(const std::string& name) {
    return name.find(':') != std::string::npos;
}

std::string DeviceOf(const std::string& interfaceName) {
    return interfaceName.substr(0, interfaceName.find(':'));
}

}  // namespace

std::vector<DeviceEnumerator::Interface> UsbfsEnumerator::ListInterfaces() {
    std::vector<Interface> interfaces;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sysfsDevices_, error)) {
        const std::string name = entry.path().filename().string();
        if (IsInterfaceName(name) && ReadBulkInterface(name)) {
            const fs::path device = sysfsDevices_ / DeviceOf(name);
            interfaces.push_back({name, static_cast<uint16_t>(HexAttribute(device / "idVendor")),
                                  static_cast<uint16_t>(HexAttribute(device / "idProduct"))});
        }
    }
    std::ranges::sort(interfaces, {}, &Interface::name);
    return interfaces;
}

std::shared_ptr<PipeHandle> UsbfsEnumerator::Open(const std::string& name, Pipe pipe, bool& accessDenied) {
    accessDenied = false;
    const std::optional<BulkInterface> bulk = IsInterfaceName(name) ? ReadBulkInterface(name) : std::nullopt;
    std::shared_ptr<UsbfsDevice> device = bulk ? OpenShared(name, bulk->number, accessDenied) : nullptr;
    if (!device) {
        return nullptr;
    }
    const uint8_t endpoint = pipe == Pipe::None ? UsbfsPipe::kNoEndpoint
                             : pipe == Pipe::In ? bulk->inEndpoint
                                                : bulk->outEndpoint;
    return std::make_shared<UsbfsPipe>(std::move(device), endpoint);
}

std::optional<UsbfsEnumerator::BulkInterface> UsbfsEnumerator::ReadBulkInterface(
    const std::string& interfaceName) const {
    const fs::path directory = sysfsDevices_ / interfaceName;
    BulkInterface bulk;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        if (entry.path().filename().string().starts_with("ep_") && SysfsAttribute(entry.path() / "type") == "Bulk") {
            const auto address = static_cast<uint8_t>(HexAttribute(entry.path() / "bEndpointAddress"));
            ((address & UsbfsPipe::kDirectionIn) != 0 ? bulk.inEndpoint : bulk.outEndpoint) = address;
        }
    }
    if (bulk.inEndpoint == 0 || bulk.outEndpoint == 0) {
        return std::nullopt;
    }
    bulk.number = static_cast<int>(HexAttribute(directory / "bInterfaceNumber"));
    return bulk;
}

std::shared_ptr<UsbfsDevice> UsbfsEnumerator::OpenShared(const std::string& interfaceName, int interfaceNumber,
                                                         bool& accessDenied) {
    const std::string nodePath = DeviceNodeOf(sysfsDevices_ / DeviceOf(interfaceName), deviceNodes_);
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
