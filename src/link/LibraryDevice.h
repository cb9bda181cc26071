// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/PipeHandle.h"
#include "link/UsbDeviceLibrary.h"

namespace qbr {

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

}  // namespace qbr
