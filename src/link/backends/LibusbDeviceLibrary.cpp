// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/backends/LibusbDeviceLibrary.h"

#include <libusb.h>

namespace qbr {

namespace {

constexpr int kFailed = 1;

void LIBUSB_CALL MarkCompleted(libusb_transfer* transfer) {
    *static_cast<int*>(transfer->user_data) = 1;
}

}  // namespace

std::unique_ptr<LibusbDeviceLibrary> LibusbDeviceLibrary::Create() {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) {
        return nullptr;
    }
    return std::unique_ptr<LibusbDeviceLibrary>(new LibusbDeviceLibrary(context));
}

LibusbDeviceLibrary::~LibusbDeviceLibrary() {
    for (auto& [handle, opened] : devices_) {
        libusb_release_interface(opened.device, opened.interfaceNumber);
        libusb_close(opened.device);
    }
    FreeDeviceList();
    libusb_exit(context_);
}

int LibusbDeviceLibrary::CountDevices(uint32_t& count) {
    FreeDeviceList();
    const ssize_t listed = libusb_get_device_list(context_, &deviceList_);
    if (listed < 0) {
        deviceList_ = nullptr;
        return kFailed;
    }
    deviceCount_ = static_cast<uint32_t>(listed);
    count = deviceCount_;
    return 0;
}

int LibusbDeviceLibrary::GetDeviceIds(uint16_t index, uint16_t& vendorId, uint16_t& productId) {
    libusb_device* device = DeviceAt(index);
    libusb_device_descriptor descriptor{};
    if (device == nullptr || libusb_get_device_descriptor(device, &descriptor) != 0) {
        return kFailed;
    }
    vendorId = descriptor.idVendor;
    productId = descriptor.idProduct;
    return 0;
}

std::string LibusbDeviceLibrary::PortPath(uint16_t index) {
    libusb_device* device = DeviceAt(index);
    if (device == nullptr) return {};
    uint8_t ports[7];  // USB 3 allows a depth of 7 hubs
    const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
    if (depth <= 0) return {};
    std::string path = std::to_string(libusb_get_bus_number(device)) + '-';
    for (int i = 0; i < depth; ++i) path += (i == 0 ? "" : ".") + std::to_string(ports[i]);
    return path;
}

int LibusbDeviceLibrary::OpenDevice(uint16_t index, Handle& handle) {
    libusb_device* device = DeviceAt(index);
    Opened opened;
    if (device == nullptr || !FindBulkInterface(device, opened)) {
        return kFailed;
    }
    const int result = libusb_open(device, &opened.device);
    if (result != 0) {
        // The device node's permissions keep this user out: the device rule is missing.
        return result == LIBUSB_ERROR_ACCESS ? kAccessDenied : kFailed;
    }
    libusb_set_auto_detach_kernel_driver(opened.device, 1);
    if (libusb_claim_interface(opened.device, opened.interfaceNumber) != 0) {
        libusb_close(opened.device);
        return kFailed;
    }
    const std::lock_guard lock(mutex_);
    handle = nextHandle_++;
    devices_.emplace(handle, std::move(opened));
    return 0;
}

void LibusbDeviceLibrary::CloseDevice(Handle handle) {
    Opened opened;
    {
        const std::lock_guard lock(mutex_);
        const auto it = devices_.find(handle);
        if (it == devices_.end()) {
            return;
        }
        opened = std::move(it->second);
        devices_.erase(it);
    }
    libusb_release_interface(opened.device, opened.interfaceNumber);
    libusb_close(opened.device);
}

int LibusbDeviceLibrary::Read(Handle handle, uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) {
    return Transfer(handle, false, buffer, count, received, timeoutMs);
}

// libusb takes a writable buffer for both directions; it only reads it for OUT.
int LibusbDeviceLibrary::Write(Handle handle, const uint8_t* buffer, uint32_t count, uint32_t& written,
                               uint32_t timeoutMs) {
    return Transfer(handle, true, const_cast<uint8_t*>(buffer), count, written, timeoutMs);
}

void LibusbDeviceLibrary::CancelTransfers(Handle handle) {
    const std::lock_guard lock(mutex_);
    const auto it = devices_.find(handle);
    if (it != devices_.end()) {
        for (libusb_transfer* transfer : it->second.inFlight) {
            libusb_cancel_transfer(transfer);
        }
    }
}

uint8_t LibusbDeviceLibrary::EndpointAddress(Handle handle, bool in) {
    const std::lock_guard lock(mutex_);
    const auto it = devices_.find(handle);
    if (it == devices_.end()) {
        return 0;
    }
    return in ? it->second.inEndpoint : it->second.outEndpoint;
}

libusb_device* LibusbDeviceLibrary::DeviceAt(uint16_t index) const {
    return index < deviceCount_ ? deviceList_[index] : nullptr;
}

// The programmer's pipes: the first interface of the active configuration with a
// bulk IN and a bulk OUT endpoint.
bool LibusbDeviceLibrary::FindBulkInterface(libusb_device* device, Opened& opened) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0) {
        return false;
    }
    bool found = false;
    for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
        if (config->interface[i].num_altsetting == 0) {
            continue;
        }
        const libusb_interface_descriptor& setting = config->interface[i].altsetting[0];
        opened.inEndpoint = opened.outEndpoint = 0;
        for (int e = 0; e < setting.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
            if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_BULK) {
                const bool in = (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN;
                (in ? opened.inEndpoint : opened.outEndpoint) = endpoint.bEndpointAddress;
            }
        }
        opened.interfaceNumber = setting.bInterfaceNumber;
        found = opened.inEndpoint != 0 && opened.outEndpoint != 0;
    }
    libusb_free_config_descriptor(config);
    return found;
}

void LibusbDeviceLibrary::FreeDeviceList() {
    if (deviceList_ != nullptr) {
        libusb_free_device_list(deviceList_, 1);
        deviceList_ = nullptr;
    }
    deviceCount_ = 0;
}

int LibusbDeviceLibrary::Transfer(Handle handle, bool toDevice, uint8_t* buffer, uint32_t count, uint32_t& moved,
                                  uint32_t timeoutMs) {
    int completed = 0;
    libusb_transfer* transfer = Submit(handle, toDevice, buffer, count, timeoutMs, completed);
    if (transfer == nullptr) {
        return kFailed;
    }
    WaitFor(completed);
    moved = static_cast<uint32_t>(transfer->actual_length);
    const bool ok = transfer->status == LIBUSB_TRANSFER_COMPLETED;
    Forget(handle, transfer);
    libusb_free_transfer(transfer);
    return ok ? 0 : kFailed;
}

libusb_transfer* LibusbDeviceLibrary::Submit(Handle handle, bool toDevice, uint8_t* buffer, uint32_t count,
                                             uint32_t timeoutMs, int& completed) {
    const std::lock_guard lock(mutex_);
    const auto it = devices_.find(handle);
    if (it == devices_.end()) {
        return nullptr;
    }
    Opened& opened = it->second;
    libusb_transfer* transfer = libusb_alloc_transfer(0);
    if (transfer == nullptr) {
        return nullptr;
    }
    libusb_fill_bulk_transfer(transfer, opened.device, toDevice ? opened.outEndpoint : opened.inEndpoint, buffer,
                              static_cast<int>(count), MarkCompleted, &completed, timeoutMs);
    if (libusb_submit_transfer(transfer) != 0) {
        libusb_free_transfer(transfer);
        return nullptr;
    }
    opened.inFlight.insert(transfer);
    return transfer;
}

// Several threads may wait at once; libusb lets one of them handle the events
// while the others sleep until their own transfer is marked completed.
void LibusbDeviceLibrary::WaitFor(int& completed) {
    while (completed == 0) {
        libusb_handle_events_completed(context_, &completed);
    }
}

void LibusbDeviceLibrary::Forget(Handle handle, libusb_transfer* transfer) {
    const std::lock_guard lock(mutex_);
    const auto it = devices_.find(handle);
    if (it != devices_.end()) {
        it->second.inFlight.erase(transfer);
    }
}

}  // namespace qbr
