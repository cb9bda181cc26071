// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/UsbDeviceLibrary.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;
struct libusb_transfer;

namespace qbr {

// The library path over libusb-1.0, with a context of its own. Devices are
// indexed in the order of the list taken by the latest CountDevices. Opening a
// device claims its first interface that has a bulk IN and a bulk OUT endpoint
// (detaching a kernel driver that holds it); Read and Write are bulk transfers on
// those two endpoints, submitted asynchronously so that CancelTransfers can end
// them from another thread.
//
// A read ends when full or on a short packet; a device packet longer than the
// room left fails it (overflow). No zero-length packet follows a write, even one
// whose length is a multiple of the packet size (no LIBUSB_TRANSFER_ADD_ZERO_PACKET):
// every data phase of the programmer's protocol has its length in its request, so
// the programmer knows where it ends without one.
class LibusbDeviceLibrary : public UsbDeviceLibrary {
public:
    // Null when libusb can't start.
    static std::unique_ptr<LibusbDeviceLibrary> Create();
    ~LibusbDeviceLibrary() override;
    LibusbDeviceLibrary(const LibusbDeviceLibrary&) = delete;
    LibusbDeviceLibrary& operator=(const LibusbDeviceLibrary&) = delete;

    int CountDevices(uint32_t& count) override;
    int GetDeviceIds(uint16_t index, uint16_t& vendorId, uint16_t& productId) override;
    std::string PortPath(uint16_t index) override;
    int OpenDevice(uint16_t index, Handle& handle) override;
    void CloseDevice(Handle handle) override;
    int Read(Handle handle, uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) override;
    int Write(Handle handle, const uint8_t* buffer, uint32_t count, uint32_t& written, uint32_t timeoutMs) override;
    void CancelTransfers(Handle handle) override;
    uint8_t EndpointAddress(Handle handle, bool in) override;

private:
    struct Opened {
        libusb_device_handle* device = nullptr;
        int interfaceNumber = 0;
        unsigned char inEndpoint = 0;
        unsigned char outEndpoint = 0;
        std::set<libusb_transfer*> inFlight;
    };

    explicit LibusbDeviceLibrary(libusb_context* context) : context_(context) {}
    libusb_device* DeviceAt(uint16_t index) const;
    static bool FindBulkInterface(libusb_device* device, Opened& opened);
    void FreeDeviceList();
    int Transfer(Handle handle, bool toDevice, uint8_t* buffer, uint32_t count, uint32_t& moved, uint32_t timeoutMs);
    libusb_transfer* Submit(Handle handle, bool toDevice, uint8_t* buffer, uint32_t count, uint32_t timeoutMs,
                            int& completed);
    void WaitFor(int& completed);
    void Forget(Handle handle, libusb_transfer* transfer);

    libusb_context* context_;
    libusb_device** deviceList_ = nullptr;
    uint32_t deviceCount_ = 0;
    // Open devices and their transfers in flight; guarded by mutex_, since Read and
    // Write run on worker threads while CancelTransfers comes from the poller.
    std::mutex mutex_;
    std::map<Handle, Opened> devices_;
    Handle nextHandle_ = 1;
};

}  // namespace qbr
