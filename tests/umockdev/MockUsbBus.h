#pragma once

#include "emulator/EmulatedProgrammer.h"

#include <umockdev.h>

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

namespace qbr::test {

// Puts the emulated programmer on a mocked USB bus: a umockdev testbed holds the
// device in sysfs (one interface with bulk OUT 0x01 and bulk IN 0x81) and its
// usbfs node, whose ioctls are answered here by moving bytes to and from the
// emulator. The real access paths, libusb and the direct usbfs one, then reach
// the emulator unchanged. The program must run under umockdev-wrapper.
//
// Asynchronous URBs (what libusb submits) and synchronous bulk transfers (what
// the direct path issues) are carried out on two workers, one per direction, so
// that the ioctl thread never waits for the programmer: a URB is accepted at
// once and completed when its bytes have moved, a synchronous transfer's ioctl is
// answered when it ends.
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

private:
    struct Job;
    using JobPtr = std::shared_ptr<Job>;

    static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
    gboolean HandleIoctl(UMockdevIoctlClient* client);
    void SubmitUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg, int generation);
    void ReapUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool gone);
    void DiscardUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void SyncBulk(UMockdevIoctlClient* client, UMockdevIoctlData* arg, int generation);
    void Enqueue(const JobPtr& job);

    void Worker(bool in);
    void Run(Job& job, UsbDeviceLibrary::Handle handle);
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
    UsbDeviceLibrary::Handle programmerHandle_ = UsbDeviceLibrary::kInvalidHandle;
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
