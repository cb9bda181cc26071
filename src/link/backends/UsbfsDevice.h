#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qbr {

// A USB device opened through usbfs with one of its interfaces claimed. Several
// pipe handles share it; the interface is released and the file closed when the
// last of them goes away.
class UsbfsDevice {
public:
    // Opens the device node and claims `interfaceNumber`, detaching a kernel driver
    // bound to it. Null on failure; `accessDenied` then tells whether the node's
    // permissions kept this user out.
    static std::shared_ptr<UsbfsDevice> Open(const std::string& deviceNode, int interfaceNumber,
                                             bool& accessDenied);
    ~UsbfsDevice();
    UsbfsDevice(const UsbfsDevice&) = delete;
    UsbfsDevice& operator=(const UsbfsDevice&) = delete;

    // One synchronous bulk transfer on `endpoint` (direction bit included) that
    // gives up after `timeoutMs`.
    bool Bulk(uint8_t endpoint, uint8_t* data, uint32_t length, uint32_t& moved, uint32_t timeoutMs);

private:
    UsbfsDevice(int fd, int interfaceNumber) : fd_(fd), interfaceNumber_(interfaceNumber) {}

    const int fd_;
    const int interfaceNumber_;
};

}  // namespace qbr
