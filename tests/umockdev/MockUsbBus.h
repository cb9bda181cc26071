// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "emulator/EmulatedProgrammer.h"

#include <filesystem>
#include <memory>

namespace qbr::test {

// Puts the emulated programmer on a mocked USB bus: a umockdev testbed holds the
// device in sysfs (one interface, bulk OUT 0x01 and bulk IN 0x81) and its usbfs
// node, whose URB ioctls are answered by moving bytes to and from the emulator, so
// the real libusb and usbfs paths reach it unchanged. Needs umockdev-wrapper.
//
// Each URB is one emulator call on a worker of its direction, so the ioctl thread
// never waits: an IN transfer ends when full or on a short packet, a packet longer
// than the room left fails it with EOVERFLOW, and a discarded URB ends with ENOENT.
// When the emulator is unplugged the bus unplugs the device as the kernel does:
// transfers in flight end with ESHUTDOWN, later ioctls fail with ENODEV, and a
// "remove" event goes out. Plug adds it back under the next device number.
//
// A request the bus does not expect, pointing at a gap in the mock or a program that
// asks for something it must not, fails the test when the bus goes away.
class MockUsbBus {
public:
    explicit MockUsbBus(EmulatedProgrammer& programmer);
    ~MockUsbBus();

    void Plug();
    // Another program holds the interface through usbfs: claiming it fails with EBUSY.
    void HoldInterface();
    // The device node's mode bits, e.g. 0600 for a node without the device rule; the
    // rest of the testbed becomes usable by every user, for a program run as another user.
    void RestrictNode(std::filesystem::perms mode);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace qbr::test
