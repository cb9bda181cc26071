// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace qbr {

// The library path's view of USB: devices by index, an open handle per device,
// and blocking bulk reads and writes on the programmer's two pipes. Every result
// code is 0 for success. Implemented over libusb for real hardware and by the
// emulated programmer. OpenDevice has one more result, kAccessDenied, for a device
// that is there but that this user may not open.
//
// The time-out travels with each read and write rather than being a shared
// setting, so a read and a write running at the same time on two threads never
// change each other's time-out.
class UsbDeviceLibrary {
public:
    using Handle = std::intptr_t;
    static constexpr Handle kInvalidHandle = -1;
    // Result of OpenDevice when the system refuses this user access to the device;
    // any other non-zero result is a failure without a known reason.
    static constexpr int kAccessDenied = 2;

    virtual ~UsbDeviceLibrary() = default;

    // Number of devices the library can see.
    virtual int CountDevices(uint32_t& count) = 0;
    // The vendor and product IDs of device `index`.
    virtual int GetDeviceIds(uint16_t index, uint16_t& vendorId, uint16_t& productId) = 0;
    // Where device `index` is plugged in, as Linux names the port in sysfs ("1-1.2":
    // bus 1, root hub port 1, hub port 2); empty when the library can't tell.
    virtual std::string PortPath(uint16_t /*index*/) { return {}; }
    virtual int OpenDevice(uint16_t index, Handle& handle) = 0;
    virtual void CloseDevice(Handle handle) = 0;
    // One transfer from the programmer's IN pipe of at most `count` bytes.
    virtual int Read(Handle handle, uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) = 0;
    // One transfer of `count` bytes to the programmer's OUT pipe.
    virtual int Write(Handle handle, const uint8_t* buffer, uint32_t count, uint32_t& written, uint32_t timeoutMs) = 0;
    // Makes a Read or Write that is blocked on `handle` return soon with failure;
    // used to abandon a stalled transfer. Safe to call from another thread.
    virtual void CancelTransfers(Handle handle) = 0;
    // The address of the bulk endpoint that `handle` reads from (`in`) or writes to;
    // by default the programmer's usual pair, IN 0x81 and OUT 0x01.
    virtual uint8_t EndpointAddress(Handle /*handle*/, bool in) { return in ? 0x81 : 0x01; }
};

}  // namespace qbr
