// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/backends/UsbfsDevice.h"

#include <climits>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace qbr {

namespace {

using Clock = std::chrono::steady_clock;

// How long the reaper waits before trying again when poll() reported the file
// ready but no URB had completed; some files (a test double's socket) always
// report ready.
constexpr std::chrono::milliseconds kEmptyReapPause{1};

int MsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

}  // namespace

// One submitted URB and what its owner learns about it.
struct UsbfsDevice::Transfer {
    uint8_t endpoint = 0;
    bool discarded = false;
    bool reaped = false;
    // The device went away before the URB was handed back; it never will be.
    bool lost = false;
    // Last, for its empty array of isochronous frames.
    usbdevfs_urb urb{};
};

std::shared_ptr<UsbfsDevice> UsbfsDevice::Open(const std::string& deviceNode, int interfaceNumber, bool& accessDenied) {
    const int fd = ::open(deviceNode.c_str(), O_RDWR | O_CLOEXEC);
    accessDenied = fd < 0 && (errno == EACCES || errno == EPERM);
    if (fd < 0) {
        return nullptr;
    }
    // Detaches a kernel driver and claims the interface in one step, but leaves an
    // interface that another program holds through usbfs alone: taking it would cut
    // off that program's transfers.
    usbdevfs_disconnect_claim claim{};
    claim.interface = static_cast<unsigned int>(interfaceNumber);
    claim.flags = USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER;
    std::snprintf(claim.driver, sizeof claim.driver, "usbfs");
    if (::ioctl(fd, USBDEVFS_DISCONNECT_CLAIM, &claim) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<UsbfsDevice>(new UsbfsDevice(fd, interfaceNumber));
}

UsbfsDevice::~UsbfsDevice() {
    unsigned int number = static_cast<unsigned int>(interfaceNumber_);
    ::ioctl(fd_, USBDEVFS_RELEASEINTERFACE, &number);
    ::close(fd_);
}

// No URB flags: a short IN packet ends the transfer normally, and no zero-length
// packet follows an OUT transfer.
bool UsbfsDevice::Bulk(uint8_t endpoint, uint8_t* data, uint32_t length, uint32_t& moved, uint32_t timeoutMs) {
    moved = 0;
    if (length > INT_MAX) {
        return false;
    }
    Transfer transfer;
    transfer.endpoint = endpoint;
    transfer.urb.type = USBDEVFS_URB_TYPE_BULK;
    transfer.urb.endpoint = endpoint;
    transfer.urb.buffer = data;
    transfer.urb.buffer_length = static_cast<int>(length);
    transfer.urb.usercontext = &transfer;
    Lock lock(mutex_);
    if (gone_) {
        return false;
    }
    if (::ioctl(fd_, USBDEVFS_SUBMITURB, &transfer.urb) != 0) {
        gone_ = errno == ENODEV;
        return false;
    }
    inFlight_.push_back(&transfer);
    WaitUntilReaped(lock, transfer, timeoutMs);
    std::erase(inFlight_, &transfer);
    if (transfer.lost) {
        return false;
    }
    moved = static_cast<uint32_t>(std::max(transfer.urb.actual_length, 0));
    return transfer.urb.status == 0;
}

void UsbfsDevice::Cancel(uint8_t endpoint) {
    const std::lock_guard lock(mutex_);
    for (Transfer* transfer : inFlight_) {
        if (transfer->endpoint == endpoint && !transfer->discarded && !transfer->reaped) {
            Discard(*transfer);
        }
    }
}

// Waits, with the lock held except while reaping, until the URB has been handed
// back. The time-out discards the URB, which then comes back like any other.
void UsbfsDevice::WaitUntilReaped(Lock& lock, Transfer& transfer, uint32_t timeoutMs) {
    std::optional<Clock::time_point> deadline;
    if (timeoutMs != 0) {
        deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    }
    while (!transfer.reaped) {
        const bool timing = deadline && !transfer.discarded;
        if (timing && Clock::now() >= *deadline) {
            Discard(transfer);
        } else if (reaping_) {
            // Another thread reaps and hands this URB over when it comes back.
            if (timing) {
                reaped_.wait_until(lock, *deadline);
            } else {
                reaped_.wait(lock);
            }
        } else {
            reaping_ = true;
            ReapOne(lock, timing ? MsUntil(*deadline) : -1);
            reaping_ = false;
            reaped_.notify_all();
        }
    }
}

// Waits up to `waitMs` (-1: no limit) for a completed URB and hands it to its
// owner. Only the reaping thread calls this; the lock is let go while it waits.
// Everything that ends a URB early (a discard, an unplug) wakes the wait.
void UsbfsDevice::ReapOne(Lock& lock, int waitMs) {
    lock.unlock();
    pollfd file{fd_, POLLOUT, 0};
    const bool signalled = ::poll(&file, 1, waitMs) > 0;
    usbdevfs_urb* urb = nullptr;
    const int result = ::ioctl(fd_, USBDEVFS_REAPURBNDELAY, &urb);
    const int error = errno;
    if (result != 0 && error != ENODEV && signalled) {
        std::this_thread::sleep_for(kEmptyReapPause);
    }
    lock.lock();
    if (result == 0) {
        static_cast<Transfer*>(urb->usercontext)->reaped = true;
    } else if (error == ENODEV) {
        // Unplugged, and every completed URB reaped: those still out are gone with the device.
        gone_ = true;
        for (Transfer* transfer : inFlight_) {
            transfer->reaped = true;
            transfer->lost = true;
        }
    }
}

void UsbfsDevice::Discard(Transfer& transfer) {
    transfer.discarded = true;
    ::ioctl(fd_, USBDEVFS_DISCARDURB, &transfer.urb);
}

}  // namespace qbr
