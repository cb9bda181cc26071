// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qbr {

// A USB device opened through usbfs with one of its interfaces claimed. Several
// pipe handles share it; the interface is released and the file closed when the
// last of them goes away.
//
// Transfers are asynchronous URBs, so that one blocked on a silent device can be
// discarded from another thread at once, and a transfer's time-out is carried out
// the same way. The read pipe and the write pipe share the file and transfer on two
// threads at the same time; a completed URB may be reaped by either, so one waiting
// thread at a time reaps and hands each URB to the thread that submitted it.
//
// An IN transfer ends when full or on a short packet; a device packet longer than
// the room left fails it (overflow). An OUT transfer is never followed by a
// zero-length packet, even when its length is a multiple of the packet size: every
// data phase of the programmer's protocol has its length in its request, so the
// programmer knows where it ends without one.
class UsbfsDevice {
public:
    // Opens the device node and claims `interfaceNumber`, detaching a kernel driver
    // bound to it. Null on failure; `accessDenied` then tells whether the node's
    // permissions kept this user out.
    static std::shared_ptr<UsbfsDevice> Open(const std::string& deviceNode, int interfaceNumber, bool& accessDenied);
    ~UsbfsDevice();
    UsbfsDevice(const UsbfsDevice&) = delete;
    UsbfsDevice& operator=(const UsbfsDevice&) = delete;

    // One bulk transfer on `endpoint` (direction bit included). Fails when it ends
    // otherwise than complete: `timeoutMs` passed (0: no time-out), Cancel, an
    // overflow, a stall, or the device gone. `moved` counts the bytes moved in any case.
    bool Bulk(uint8_t endpoint, uint8_t* data, uint32_t length, uint32_t& moved, uint32_t timeoutMs);
    // Makes the transfers running on `endpoint` end soon with failure. Safe to call
    // from any thread.
    void Cancel(uint8_t endpoint);

private:
    struct Transfer;
    using Lock = std::unique_lock<std::mutex>;

    UsbfsDevice(int fd, int interfaceNumber) : fd_(fd), interfaceNumber_(interfaceNumber) {}
    void WaitUntilReaped(Lock& lock, Transfer& transfer, uint32_t timeoutMs);
    void ReapOne(Lock& lock, int waitMs);
    void Discard(Transfer& transfer);

    const int fd_;
    const int interfaceNumber_;

    // Submitted URBs until their owner has taken them back; guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable reaped_;
    std::vector<Transfer*> inFlight_;
    bool reaping_ = false;
    bool gone_ = false;
};

}  // namespace qbr
