// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "emulator/EmulatedProgrammer.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <umockdev.h>

namespace qbr::test {

// Puts the emulated programmer on a mocked USB bus: a umockdev testbed holds the
// device in sysfs (one interface with bulk OUT 0x01 and bulk IN 0x81) and its
// usbfs node, whose ioctls are answered here by moving bytes to and from the
// emulator. The real access paths, libusb and the direct usbfs one, then reach
// the emulator unchanged. The program must run under umockdev-wrapper.
//
// URBs (what libusb and the direct path submit) and synchronous bulk transfers
// are carried out on two workers, one per direction, so that the ioctl thread
// never waits for the programmer: a URB is accepted at once and becomes reapable
// when it ends, a synchronous transfer's ioctl is answered when it ends. Each
// transfer is one call of the emulator, which moves whole packets as a full-speed
// device does: an IN transfer ends when full or on a short packet, and a packet
// longer than the room left fails it with EOVERFLOW. A synchronous transfer also
// fails with ETIMEDOUT at its time-out (URBs have none: their submitter discards
// them). Each direction talks to the emulator through a handle of its own, so
// that discarding a URB (closing that handle) cuts off that transfer alone.
//
// Our protocol never needs a zero-length packet after an OUT transfer, so a URB
// with any flag set (USBDEVFS_URB_ZERO_PACKET among them) counts as an unknown
// request.
//
// When the emulator goes away (an unplug fault), the bus unplugs the device the
// way the kernel does: transfers in flight end with ESHUTDOWN, every later ioctl
// on a handle of that connection fails with ENODEV, and the device leaves sysfs
// with a "remove" event. Plug adds it back as a new connection under the next
// device number.
class MockUsbBus {
public:
    static constexpr uint8_t kOutEndpoint = 0x01;
    static constexpr uint8_t kInEndpoint = 0x81;

    explicit MockUsbBus(EmulatedProgrammer& programmer);
    ~MockUsbBus();
    MockUsbBus(const MockUsbBus&) = delete;
    MockUsbBus& operator=(const MockUsbBus&) = delete;

    // Adds the device as a new connection (after the emulator itself is plugged).
    void Plug();
    bool Plugged() const;
    // Ioctl requests the bus did not know; non-zero points at a gap in the mock.
    unsigned UnknownRequests() const;

    // Another program holds the interface through usbfs: sysfs shows "usbfs" as
    // its driver, and claiming it fails with EBUSY.
    void HoldInterface();
    // The device node's mode bits, e.g. 0600 for a node without the device rule.
    void SetNodeMode(std::filesystem::perms mode);
    // The testbed's files become readable to every user, for a test that runs a
    // program as another user.
    void OpenTestbedToAll();

private:
    struct Job;
    using JobPtr = std::shared_ptr<Job>;

    static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
    gboolean HandleIoctl(UMockdevIoctlClient* client);
    bool HandleHeldInterface(UMockdevIoctlClient* client, gulong request, UMockdevIoctlData* arg);
    void SubmitUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg, int generation);
    void ReapUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool gone);
    void DiscardUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void SyncBulk(UMockdevIoctlClient* client, UMockdevIoctlData* arg, int generation);
    void Enqueue(const JobPtr& job);

    void Worker(bool in);
    void Run(Job& job, UsbDeviceLibrary::Handle handle);
    int ErrorOf(const Job& job, int result);
    void OpenDirectionHandles();
    void CloseDirectionHandles();
    void Finish(const JobPtr& job);
    void UnplugLocked(int generation);
    int GenerationOf(UMockdevIoctlClient* client);

    EmulatedProgrammer& programmer_;
    UMockdevTestbed* testbed_ = nullptr;
    UMockdevIoctlBase* handler_ = nullptr;
    std::filesystem::path rootDir_;

    mutable std::mutex mutex_;
    std::condition_variable queued_;
    bool stopping_ = false;
    int generation_ = 0;
    bool plugged_ = false;
    bool interfaceHeld_ = false;
    // The emulator's handles of the IN and the OUT direction, of the plugged connection.
    UsbDeviceLibrary::Handle inHandle_ = UsbDeviceLibrary::kInvalidHandle;
    UsbDeviceLibrary::Handle outHandle_ = UsbDeviceLibrary::kInvalidHandle;
    std::map<std::string, int> nodeGeneration_;
    std::deque<JobPtr> inQueue_;
    std::deque<JobPtr> outQueue_;
    // Submitted URBs until they are reaped, and the completed ones per handle.
    std::list<JobPtr> urbs_;
    std::map<UMockdevIoctlClient*, std::deque<JobPtr>> reapable_;
    unsigned unknownRequests_ = 0;

    std::thread inWorker_;
    std::thread outWorker_;
};

}  // namespace qbr::test
