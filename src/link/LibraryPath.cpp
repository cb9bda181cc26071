// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LibraryPath.h"

#include <algorithm>

namespace qbr {

namespace {

// A device opened through the library; it serves as the device handle and as both
// pipes, and is closed when the last holder lets go of it.
class LibraryDevice : public PipeHandle {
public:
    LibraryDevice(UsbDeviceLibrary& library, UsbDeviceLibrary::Handle handle) : library_(library), handle_(handle) {}
    ~LibraryDevice() override { library_.CloseDevice(handle_); }
    LibraryDevice(const LibraryDevice&) = delete;
    LibraryDevice& operator=(const LibraryDevice&) = delete;

    bool Read(uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) override {
        return library_.Read(handle_, buffer, count, received, timeoutMs) == 0;
    }
    bool Write(const uint8_t* buffer, uint32_t count, uint32_t& written, uint32_t timeoutMs) override {
        return library_.Write(handle_, buffer, count, written, timeoutMs) == 0;
    }
    void Cancel() override { library_.CancelTransfers(handle_); }
    uint8_t EndpointAddress(bool in) const override { return library_.EndpointAddress(handle_, in); }

private:
    UsbDeviceLibrary& library_;
    const UsbDeviceLibrary::Handle handle_;
};

// The library addresses devices by a 16-bit index.
constexpr uint32_t kMaxLibraryDevices = 0x10000;

}  // namespace

bool LibraryPath::Open(OpenProblem& problem, const AlertHandler&) {
    problem = OpenProblem::NotFound;
    uint32_t count = 0;
    if (library_.CountDevices(count) != 0) {
        Close();
        return false;
    }
    bool queryFailed = false;
    const std::optional<uint16_t> index = FindProgrammerIndex(count, queryFailed);
    if (queryFailed) {
        return false;
    }
    if (!index) {
        Close();
        return false;
    }
    if (suspect_) {
        Close();
    }
    if (device_) {
        return true;
    }
    UsbDeviceLibrary::Handle handle = UsbDeviceLibrary::kInvalidHandle;
    const int result = library_.OpenDevice(*index, handle);
    if (result != 0) {
        if (result == UsbDeviceLibrary::kAccessDenied) {
            problem = OpenProblem::AccessDenied;
        }
        Close();
        return false;
    }
    device_ = std::make_shared<LibraryDevice>(library_, handle);
    return true;
}

std::optional<uint16_t> LibraryPath::FindProgrammerIndex(uint32_t count, bool& queryFailed) {
    const uint32_t limit = std::min(count, kMaxLibraryDevices);
    for (uint32_t i = 0; i < limit; ++i) {
        const auto index = static_cast<uint16_t>(i);
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        if (library_.GetDeviceIds(index, vendorId, productId) != 0) {
            queryFailed = true;
            return std::nullopt;
        }
        if (vendorId == kVendorId && productId == kProductId && (port_.empty() || library_.PortPath(index) == port_)) {
            return index;
        }
    }
    return std::nullopt;
}

// The library closes the device once no transfer holds it any more.
void LibraryPath::Close() {
    device_.reset();
    suspect_ = false;
}

}  // namespace qbr
