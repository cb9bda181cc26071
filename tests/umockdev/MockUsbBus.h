// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "emulator/EmulatedProgrammer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <linux/usbdevice_fs.h>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/ioctl.h>
#include <thread>
#include <umockdev.h>
#include <vector>

namespace qbr::test {

// The emulated programmer on a mocked USB bus: a umockdev testbed holds the device
// in sysfs (bulk OUT 0x01, bulk IN 0x81) and its usbfs node, whose URB ioctls move
// bytes to and from the emulator, so the real libusb and usbfs paths reach it. URBs
// end as on Linux: full or short packet, EOVERFLOW for a packet longer than the
// room left, ENOENT when discarded; on unplug ESHUTDOWN in flight, ENODEV later and
// a "remove" event. A request the bus does not expect fails the test at its end.
// A second programmer goes onto the same bus, at the next port, with a bus made
// `beside` the first one (and destroyed before it).
class MockUsbBus {
public:
    explicit MockUsbBus(EmulatedProgrammer& p, MockUsbBus* beside = nullptr)
        : programmer(p),
          testbed(beside ? beside->testbed : std::shared_ptr<UMockdevTestbed>(umockdev_testbed_new(), Unref())),
          port(beside ? beside->port + 1 : 1),
          devicePath("/sys/devices/usb1/1-" + std::to_string(port)),
          interfacePath(devicePath + "/1-" + std::to_string(port) + ":1.0") {
        gchar* rootDir = umockdev_testbed_get_root_dir(testbed.get());
        root = rootDir;
        g_free(rootDir);
        g_signal_connect_after(handler.get(), "handle-ioctl", G_CALLBACK(&OnIoctl), this);
        for (bool in : {false, true}) workers[in] = std::thread([this, in] { Worker(in); });
        Plug();
    }

    ~MockUsbBus() {
        {
            const std::lock_guard lock(mutex);
            stopping = true;
            CloseHandles();  // ends the transfers the workers wait in
        }
        queued.notify_all();
        for (std::thread& worker : workers) worker.join();
        EXPECT_EQ(unknown, 0u) << "the program asked the bus for something it must not";
    }

    void Plug() {
        std::unique_lock lock(mutex);
        if (plugged) Unplug(generation);
        const int number = DeviceNumber(generation + 1);
        lock.unlock();
        // The node's ioctls must be answered before anyone can see the device. This
        // talks to the ioctl thread, so it happens outside the lock that thread takes.
        const std::string node = Node(number);
        GError* error = nullptr;
        if (!umockdev_testbed_attach_ioctl(testbed.get(), node.c_str(), handler.get(), &error)) {
            ADD_FAILURE() << "attaching ioctls to " << node << ": " << error->message;
        }
        g_clear_error(&error);
        lock.lock();
        ++generation;
        if (!umockdev_testbed_add_from_string(testbed.get(), DeviceRecord(number).c_str(), &error)) {
            ADD_FAILURE() << "adding the device: " << error->message;
        }
        g_clear_error(&error);
        for (UsbDeviceLibrary::Handle& handle : handles) programmer.OpenDevice(0, handle);
        plugged = true;
        // Some umockdev versions announce an added device themselves; libusb ignores
        // the second event for a device it knows.
        umockdev_testbed_uevent(testbed.get(), devicePath.c_str(), "add");
    }

    // Another program holds the interface through usbfs: claiming it fails with EBUSY.
    void HoldInterface() {
        std::filesystem::create_directories(root / "sys/bus/usb/drivers/usbfs");
        std::filesystem::create_directory_symlink("../../../../bus/usb/drivers/usbfs",
                                                  root / interfacePath.substr(1) / "driver");
        const std::lock_guard lock(mutex);
        held = true;
    }

    // The device node's mode bits; the rest of the testbed becomes usable by every user,
    // as the preload connects to the node's ioctl socket and a watcher makes one in the root.
    void RestrictNode(std::filesystem::perms mode) {
        namespace fs = std::filesystem;
        const std::lock_guard lock(mutex);
        fs::permissions(root / Node(DeviceNumber(generation)).substr(1), mode);
        fs::permissions(root, fs::perms::others_all | fs::perms::sticky_bit, fs::perm_options::add);
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (entry.is_socket()) fs::permissions(entry.path(), fs::perms::others_write, fs::perm_options::add);
        }
    }

private:
    static constexpr uint8_t kOut = 0x01, kIn = 0x81;
    static constexpr uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                              USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

    // Device descriptor (full speed, 10c4:f5a0, one configuration), then the configuration:
    // one interface of the vendor class (ff) with bulk OUT 0x01 and bulk IN 0x81.
    static constexpr const char* kDescriptors =
        "1201000200000040c410a0f50001010203010902200001010080320904000002ff00000007050102400000"
        "07058102400000";
    static_assert(EmulatedProgrammer::kMaxPacketSize == 0x40, "the descriptors and the endpoints' sysfs say 64 bytes");

    static std::string Node(int deviceNumber) {
        const std::string number = std::to_string(1000 + deviceNumber);
        return "/dev/bus/usb/001/" + number.substr(1);
    }

    // The device number of a connection: each port has numbers of its own.
    int DeviceNumber(int connection) const { return (port - 1) * 40 + connection + 1; }

    std::string DeviceRecord(int number) const {
        const std::string node = Node(number).substr(5);
        return "P: " + devicePath.substr(4) + "\nN: " + node +
               "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n" + "E: DEVNAME=/dev/" + node +
               "\nE: BUSNUM=001\nE: DEVNUM=" + node.substr(node.size() - 3) +
               "\nE: PRODUCT=10c4/f5a0/100\nA: dev=189:" + std::to_string(number - 1) +
               "\\n\nA: idVendor=10c4\\n\nA: idProduct=f5a0\\n\nA: bNumConfigurations=1\\n\n"
               "A: bConfigurationValue=1\\n\nA: busnum=1\\n\nA: devnum=" +
               std::to_string(number) + "\\n\nA: speed=12\\n\nH: descriptors=" + kDescriptors +
               "\n\nP: " + interfacePath.substr(4) +
               "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
               "A: bInterfaceNumber=00\\n\nA: bAlternateSetting= 0\\n\nA: bNumEndpoints=02\\n\nA: "
               "bInterfaceClass=ff\\n\n"
               // sysfs describes each endpoint of an interface in a directory of its own.
               "A: ep_01/type=Bulk\\n\nA: ep_01/bEndpointAddress=01\\n\nA: ep_01/wMaxPacketSize=0040\\n\n"
               "A: ep_81/type=Bulk\\n\nA: ep_81/bEndpointAddress=81\\n\nA: ep_81/wMaxPacketSize=0040\\n\n";
    }

    struct Unref {
        void operator()(gpointer object) const { g_object_unref(object); }
    };
    template <typename T>
    using GPtr = std::unique_ptr<T, Unref>;

    static GPtr<UMockdevIoctlData> Resolve(UMockdevIoctlData* arg, size_t offset, size_t size) {
        return GPtr<UMockdevIoctlData>(umockdev_ioctl_data_resolve(arg, offset, size, nullptr));
    }

    struct Urb {
        GPtr<UMockdevIoctlClient> client;
        GPtr<UMockdevIoctlData> request, buffer;
        std::vector<uint8_t> bytes;  // what to send, or room for what arrives
        bool in = false, running = false, done = false, discarded = false;
        int generation = 0, error = 0;
        uint32_t moved = 0;
    };
    using UrbPtr = std::shared_ptr<Urb>;

    EmulatedProgrammer& programmer;
    GPtr<UMockdevIoctlBase> handler{umockdev_ioctl_base_new()};
    std::shared_ptr<UMockdevTestbed> testbed;  // after the URBs, before the handler
    const int port;
    const std::string devicePath, interfacePath;
    std::filesystem::path root;
    std::mutex mutex;
    std::condition_variable queued;
    bool stopping = false, plugged = false, held = false;
    int generation = 0;  // of the plugged connection
    unsigned unknown = 0;
    // Per direction (OUT, IN): the emulator's handle for the plugged connection, so
    // that closing it cuts off that direction's transfer alone, the queue and the worker.
    UsbDeviceLibrary::Handle handles[2] = {UsbDeviceLibrary::kInvalidHandle, UsbDeviceLibrary::kInvalidHandle};
    std::deque<UrbPtr> queues[2];
    std::list<UrbPtr> urbs;  // submitted until reaped
    std::map<UMockdevIoctlClient*, std::deque<UrbPtr>> reapable;
    std::thread workers[2];  // joined before the rest goes

    void Unknown(const char* what, unsigned long value) {
        ++unknown;
        std::fprintf(stderr, "mock USB bus: %s 0x%lx\n", what, value);
    }

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        static_cast<MockUsbBus*>(self)->HandleIoctl(client);
        return TRUE;
    }

    // Runs on umockdev's ioctl thread; never waits for the programmer.
    void HandleIoctl(UMockdevIoctlClient* client) {
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        const auto complete = [client](bool ok, int error) {
            umockdev_ioctl_client_complete(client, ok ? 0 : -1, ok ? 0 : error);
        };
        const std::lock_guard lock(mutex);
        // Each plug has a node of its own: the older ones are gone.
        const bool gone = umockdev_ioctl_client_get_devnode(client) != Node(DeviceNumber(generation)) || !plugged;
        if (held && HeldInterface(request, arg)) return complete(false, EBUSY);
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES:
            *reinterpret_cast<uint32_t*>(Resolve(arg, 0, sizeof(uint32_t))->data) = kCapabilities;
            return complete(true, 0);
        case USBDEVFS_SUBMITURB: return gone ? complete(false, ENODEV) : Submit(client, arg);
        case USBDEVFS_REAPURBNDELAY: return Reap(client, arg, gone);
        case USBDEVFS_DISCARDURB: return complete(Discard(client, arg), EINVAL);
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM: return complete(!gone, ENODEV);
        case USBDEVFS_GETDRIVER:
        case USBDEVFS_IOCTL: return complete(false, gone ? ENODEV : ENODATA);  // no kernel driver is bound
        default: Unknown("unknown ioctl", request); return complete(false, ENOTTY);
        }
    }

    // While another program holds the interface a claim fails with EBUSY. A
    // disconnect that does not spare usbfs would, on a real kernel, take the
    // interface from that program: that counts as a finding. True when answered here.
    bool HeldInterface(gulong request, UMockdevIoctlData* arg) {
        bool takes = false;
        if (request == USBDEVFS_DISCONNECT_CLAIM) {
            const auto* claim = reinterpret_cast<const usbdevfs_disconnect_claim*>(
                Resolve(arg, 0, sizeof(usbdevfs_disconnect_claim))->data);
            takes = (claim->flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER) == 0 ||
                    std::string_view(claim->driver, strnlen(claim->driver, sizeof claim->driver)) != "usbfs";
        } else if (request == USBDEVFS_IOCTL) {
            takes =
                reinterpret_cast<const usbdevfs_ioctl*>(Resolve(arg, 0, sizeof(usbdevfs_ioctl))->data)->ioctl_code ==
                USBDEVFS_DISCONNECT;
        } else if (request != USBDEVFS_CLAIMINTERFACE) {
            return false;
        }
        if (takes) Unknown("a disconnect took the interface from the program holding it: ioctl", request);
        return true;
    }

    void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        auto request = Resolve(arg, 0, sizeof(usbdevfs_urb));
        const auto* urb = reinterpret_cast<const usbdevfs_urb*>(request->data);
        if (urb->type != USBDEVFS_URB_TYPE_BULK || (urb->endpoint != kIn && urb->endpoint != kOut) ||
            urb->buffer_length < 0) {
            return umockdev_ioctl_client_complete(client, -1, EINVAL);
        }
        // Our protocol never needs a zero-length packet after an OUT transfer, nor any other flag.
        if (urb->flags != 0) Unknown("URB flags", urb->flags);
        auto job = std::make_shared<Urb>();
        job->client.reset(static_cast<UMockdevIoctlClient*>(g_object_ref(client)));
        job->in = urb->endpoint == kIn;
        job->generation = generation;
        if (urb->buffer_length > 0) {
            job->buffer = Resolve(request.get(), offsetof(usbdevfs_urb, buffer), urb->buffer_length);
            job->bytes.assign(job->buffer->data, job->buffer->data + urb->buffer_length);
        }
        job->request = std::move(request);
        urbs.push_back(job);
        queues[job->in].push_back(job);
        queued.notify_all();
        umockdev_ioctl_client_complete(client, 0, 0);
    }

    void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool gone) {
        auto& done = reapable[client];
        if (done.empty()) return umockdev_ioctl_client_complete(client, -1, gone ? ENODEV : EAGAIN);
        const UrbPtr job = done.front();
        done.pop_front();
        urbs.remove(job);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(job->request->data);
        urb->status = -job->error;
        urb->actual_length = static_cast<int>(job->moved);
        if (job->in && job->moved > 0) std::memcpy(job->buffer->data, job->bytes.data(), job->moved);
        umockdev_ioctl_data_set_ptr(Resolve(arg, 0, sizeof(void*)).get(), 0, job->request.get());
        umockdev_ioctl_client_complete(client, 0, 0);
    }

    // A queued URB ends at once; one the programmer is working on is cut off by
    // closing its direction's handle, which a fresh one replaces. Either is then
    // reaped with ENOENT, as the kernel reports it.
    bool Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        const gulong address = *reinterpret_cast<const gulong*>(arg->data);
        for (const UrbPtr& job : urbs) {
            if (job->client.get() != client || job->request->client_addr != address || job->done) continue;
            if (job->running) {
                job->discarded = true;
                programmer.CloseDevice(handles[job->in]);
                programmer.OpenDevice(0, handles[job->in]);
            } else {
                std::erase(queues[job->in], job);
                job->error = ENOENT;
                Finish(job);
            }
            return true;
        }
        return false;
    }

    void Worker(bool in) {
        std::unique_lock lock(mutex);
        for (;;) {
            queued.wait(lock, [&] { return stopping || !queues[in].empty(); });
            if (stopping) return;
            const UrbPtr job = queues[in].front();
            queues[in].pop_front();
            int result = EmulatedProgrammer::kNoDevice;
            if (job->generation == generation && plugged) {
                job->running = true;
                const UsbDeviceLibrary::Handle handle = handles[in];
                const auto size = static_cast<uint32_t>(job->bytes.size());
                lock.unlock();
                result = in ? programmer.Read(handle, job->bytes.data(), size, job->moved, 0)
                            : programmer.Write(handle, job->bytes.data(), size, job->moved, 0);
                lock.lock();
            }
            job->error = ErrorOf(*job, result);
            Finish(job);
            if (!programmer.IsPlugged()) Unplug(job->generation);
        }
    }

    // The errno a transfer ends with after the emulator's result, as the kernel reports it.
    int ErrorOf(const Urb& job, int result) const {
        if (result == 0) return 0;
        if (job.discarded) return ENOENT;
        if (stopping) return ESHUTDOWN;
        if (result == EmulatedProgrammer::kOverflow) return EOVERFLOW;
        const bool gone = job.generation != generation || !plugged || !programmer.IsPlugged();
        return result == EmulatedProgrammer::kNoDevice && gone ? ESHUTDOWN : EPIPE;
    }

    void Finish(const UrbPtr& job) {
        job->done = true;
        reapable[job->client.get()].push_back(job);
    }

    void Unplug(int connection) {
        if (connection != generation || !plugged) return;
        plugged = false;
        for (auto& queue : queues) {
            for (; !queue.empty(); queue.pop_front()) {
                queue.front()->error = ESHUTDOWN;
                Finish(queue.front());
            }
        }
        CloseHandles();
        // The event carries the device's properties, so it goes out while they are still there.
        umockdev_testbed_uevent(testbed.get(), devicePath.c_str(), "remove");
        // Removing a device leaves its children's links in /sys/bus behind, so the interface goes first.
        umockdev_testbed_remove_device(testbed.get(), interfacePath.c_str());
        umockdev_testbed_remove_device(testbed.get(), devicePath.c_str());
    }

    void CloseHandles() {
        for (UsbDeviceLibrary::Handle& handle : handles) {
            if (handle != UsbDeviceLibrary::kInvalidHandle) programmer.CloseDevice(handle);
            handle = UsbDeviceLibrary::kInvalidHandle;
        }
    }
};

}  // namespace qbr::test
