// SPDX-License-Identifier: GPL-3.0-or-later
#include "umockdev/MockUsbBus.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <linux/usbdevice_fs.h>
#include <optional>
#include <string_view>
#include <sys/ioctl.h>
#include <vector>

namespace qbr::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kDeviceSysPath = "/sys/devices/usb1/1-1";
constexpr const char* kInterfaceSysPath = "/sys/devices/usb1/1-1/1-1:1.0";
constexpr int kBusNumber = 1;

// Device descriptor (full speed, 10c4:f5a0, one configuration), then the
// configuration: one interface of the vendor class (ff) with bulk OUT 0x01 and bulk IN 0x81.
constexpr const char* kDescriptors =
    "12010002000000"
    "40"
    "c410"
    "a0f5"
    "0001"
    "010203"
    "01"
    "09022000010100"
    "80"
    "32"
    "090400000"
    "2ff000000"
    "07050102400000"
    "07058102400000";

std::string DeviceRecord(int deviceNumber) {
    char text[32];
    std::snprintf(text, sizeof text, "bus/usb/%03d/%03d", kBusNumber, deviceNumber);
    const std::string node = text;
    const std::string n = std::to_string(deviceNumber);
    const std::string minor = std::to_string((kBusNumber - 1) * 128 + deviceNumber - 1);
    return std::string("P: /devices/usb1/1-1\n") + "N: " + node + "\n" +
           "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n" + "E: DEVNAME=/dev/" + node + "\n" +
           "E: BUSNUM=001\nE: DEVNUM=" + node.substr(node.size() - 3) + "\n" + "E: PRODUCT=10c4/f5a0/100\n" +
           "A: dev=189:" + minor + "\\n\n" + "A: idVendor=10c4\\n\nA: idProduct=f5a0\\n\n" +
           "A: bNumConfigurations=1\\n\nA: bConfigurationValue=1\\n\n" + "A: busnum=" + std::to_string(kBusNumber) +
           "\\n\n" + "A: devnum=" + n + "\\n\n" + "A: speed=12\\n\n" + "H: descriptors=" + kDescriptors + "\n\n" +
           "P: /devices/usb1/1-1/1-1:1.0\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
           "A: bInterfaceNumber=00\\n\nA: bAlternateSetting= 0\\n\nA: bNumEndpoints=02\\n\n"
           "A: bInterfaceClass=ff\\n\n";
}

// sysfs describes each endpoint of an interface in a directory of its own.
void WriteEndpoint(const std::filesystem::path& interfaceDir, uint8_t address) {
    char name[8];
    std::snprintf(name, sizeof name, "ep_%02x", address);
    const std::filesystem::path dir = interfaceDir / name;
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "type") << "Bulk\n";
    char text[8];
    std::snprintf(text, sizeof text, "%02x\n", address);
    std::ofstream(dir / "bEndpointAddress") << text;
    std::snprintf(text, sizeof text, "%04x\n", EmulatedProgrammer::kMaxPacketSize);
    std::ofstream(dir / "wMaxPacketSize") << text;
}

}  // namespace

struct MockUsbBus::Job {
    UMockdevIoctlClient* client = nullptr;
    // The resolved request (a URB, or a synchronous bulk transfer) and its buffer.
    UMockdevIoctlData* request = nullptr;
    UMockdevIoctlData* buffer = nullptr;
    bool urb = false;
    bool in = false;
    int generation = 0;
    std::vector<uint8_t> bytes;  // what to send, or room for what arrives
    uint32_t moved = 0;
    std::optional<Clock::time_point> deadline;
    enum class State { Queued, Running, Done } state = State::Queued;
    bool discard = false;
    int error = 0;

    ~Job() {
        if (buffer != nullptr) g_object_unref(buffer);
        if (request != nullptr) g_object_unref(request);
        if (client != nullptr) g_object_unref(client);
    }
};

MockUsbBus::MockUsbBus(EmulatedProgrammer& programmer) : programmer_(programmer) {
    testbed_ = umockdev_testbed_new();
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    rootDir_ = root;
    g_free(root);
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect_after(handler_, "handle-ioctl", G_CALLBACK(&MockUsbBus::OnIoctl), this);
    inWorker_ = std::thread([this] { Worker(true); });
    outWorker_ = std::thread([this] { Worker(false); });
    Plug();
}

MockUsbBus::~MockUsbBus() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        // Ends the transfers the workers are waiting in.
        CloseDirectionHandles();
    }
    queued_.notify_all();
    inWorker_.join();
    outWorker_.join();
    inQueue_.clear();
    outQueue_.clear();
    urbs_.clear();
    reapable_.clear();
    g_object_unref(testbed_);
    g_object_unref(handler_);
}

void MockUsbBus::Plug() {
    int deviceNumber = 0;
    {
        const std::lock_guard lock(mutex_);
        if (plugged_) UnplugLocked(generation_);
        deviceNumber = generation_ + 2;
    }
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", kBusNumber, deviceNumber);
    // The node's ioctls must be answered before anyone can see the device. This
    // talks to the ioctl thread, so it happens outside the lock that thread takes.
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_, node, handler_, &error)) {
        std::fprintf(stderr, "attaching ioctls to %s failed: %s\n", node, error ? error->message : "?");
        g_clear_error(&error);
    }
    const std::lock_guard lock(mutex_);
    ++generation_;
    nodeGeneration_[node] = generation_;
    if (!umockdev_testbed_add_from_string(testbed_, DeviceRecord(deviceNumber).c_str(), &error)) {
        std::fprintf(stderr, "adding the device failed: %s\n", error ? error->message : "?");
        g_clear_error(&error);
    }
    const std::filesystem::path interfaceDir = rootDir_ / (kInterfaceSysPath + 1);
    WriteEndpoint(interfaceDir, kOutEndpoint);
    WriteEndpoint(interfaceDir, kInEndpoint);
    OpenDirectionHandles();
    plugged_ = true;
    // Some umockdev versions announce an added device themselves; libusb ignores
    // the second event for a device it knows.
    umockdev_testbed_uevent(testbed_, kDeviceSysPath, "add");
}

bool MockUsbBus::Plugged() const {
    const std::lock_guard lock(mutex_);
    return plugged_;
}

unsigned MockUsbBus::UnknownRequests() const {
    const std::lock_guard lock(mutex_);
    return unknownRequests_;
}

void MockUsbBus::HoldInterface() {
    const std::filesystem::path drivers = rootDir_ / "sys/bus/usb/drivers/usbfs";
    std::filesystem::create_directories(drivers);
    std::filesystem::create_directory_symlink("../../../../bus/usb/drivers/usbfs",
                                              rootDir_ / (kInterfaceSysPath + 1) / "driver");
    const std::lock_guard lock(mutex_);
    interfaceHeld_ = true;
}

void MockUsbBus::SetNodeMode(std::filesystem::perms mode) {
    int deviceNumber = 0;
    {
        const std::lock_guard lock(mutex_);
        deviceNumber = generation_ + 1;
    }
    char node[32];
    std::snprintf(node, sizeof node, "dev/bus/usb/%03d/%03d", kBusNumber, deviceNumber);
    std::filesystem::permissions(rootDir_ / node, mode);
}

// The testbed's sockets must take connections from every user as well (the
// preload library connects to a node's ioctl socket whenever it opens the node),
// and a program that watches for devices makes its event socket in the root.
void MockUsbBus::OpenTestbedToAll() {
    namespace fs = std::filesystem;
    fs::permissions(rootDir_, fs::perms::others_all | fs::perms::sticky_bit, fs::perm_options::add);
    for (const auto& entry : fs::recursive_directory_iterator(rootDir_)) {
        if (entry.is_socket()) fs::permissions(entry.path(), fs::perms::others_write, fs::perm_options::add);
    }
}

gboolean MockUsbBus::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<MockUsbBus*>(self)->HandleIoctl(client);
}

int MockUsbBus::GenerationOf(UMockdevIoctlClient* client) {
    const auto it = nodeGeneration_.find(umockdev_ioctl_client_get_devnode(client));
    return it == nodeGeneration_.end() ? 0 : it->second;
}

// While another program holds the interface through usbfs, a claim fails with
// EBUSY. A disconnect that does not spare usbfs would, on a real kernel, take the
// interface from that program and cut off its transfers: that is counted as a
// finding. True when the request has been answered here.
bool MockUsbBus::HandleHeldInterface(UMockdevIoctlClient* client, gulong request, UMockdevIoctlData* arg) {
    bool takesFromHolder = false;
    if (request == USBDEVFS_DISCONNECT_CLAIM) {
        UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_disconnect_claim), nullptr);
        const auto* claim = reinterpret_cast<const usbdevfs_disconnect_claim*>(data->data);
        takesFromHolder = (claim->flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER) == 0 ||
                          std::string_view(claim->driver, strnlen(claim->driver, sizeof claim->driver)) != "usbfs";
        g_object_unref(data);
    } else if (request == USBDEVFS_IOCTL) {
        UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr);
        takesFromHolder = reinterpret_cast<const usbdevfs_ioctl*>(data->data)->ioctl_code == USBDEVFS_DISCONNECT;
        g_object_unref(data);
    } else if (request != USBDEVFS_CLAIMINTERFACE) {
        return false;
    }
    if (takesFromHolder) {
        ++unknownRequests_;
        std::fprintf(stderr, "mock USB bus: a disconnect took the interface from the program holding it\n");
    }
    umockdev_ioctl_client_complete(client, -1, EBUSY);
    return true;
}

// Runs on umockdev's ioctl thread; never waits for the programmer.
gboolean MockUsbBus::HandleIoctl(UMockdevIoctlClient* client) {
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const std::lock_guard lock(mutex_);
    const int generation = GenerationOf(client);
    const bool gone = generation != generation_ || !plugged_;
    if (interfaceHeld_ && HandleHeldInterface(client, request, arg)) return TRUE;
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
        *reinterpret_cast<uint32_t*>(caps->data) = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        umockdev_ioctl_client_complete(client, 0, 0);
        g_object_unref(caps);
        break;
    }
    case USBDEVFS_SUBMITURB:
        if (gone) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
        } else {
            SubmitUrb(client, arg, generation);
        }
        break;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: ReapUrb(client, arg, gone); break;
    case USBDEVFS_DISCARDURB: DiscardUrb(client, arg); break;
    case USBDEVFS_BULK:
        if (gone) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
        } else {
            SyncBulk(client, arg, generation);
        }
        break;
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET: umockdev_ioctl_client_complete(client, gone ? -1 : 0, gone ? ENODEV : 0); break;
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:
        // No kernel driver is bound to the interface.
        umockdev_ioctl_client_complete(client, -1, gone ? ENODEV : ENODATA);
        break;
    default:
        ++unknownRequests_;
        std::fprintf(stderr, "mock USB bus: unknown ioctl 0x%lx\n", request);
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        break;
    }
    return TRUE;
}

void MockUsbBus::SubmitUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg, int generation) {
    UMockdevIoctlData* request = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    const auto* urb = reinterpret_cast<const usbdevfs_urb*>(request->data);
    if (urb->type != USBDEVFS_URB_TYPE_BULK || (urb->endpoint != kInEndpoint && urb->endpoint != kOutEndpoint) ||
        urb->buffer_length < 0) {
        g_object_unref(request);
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    if (urb->flags != 0) {
        ++unknownRequests_;
        std::fprintf(stderr, "mock USB bus: URB flags 0x%x\n", urb->flags);
    }
    auto job = std::make_shared<Job>();
    job->client = static_cast<UMockdevIoctlClient*>(g_object_ref(client));
    job->request = request;
    job->urb = true;
    job->in = urb->endpoint == kInEndpoint;
    job->generation = generation;
    if (urb->buffer_length > 0) {
        job->buffer = umockdev_ioctl_data_resolve(request, offsetof(usbdevfs_urb, buffer),
                                                  static_cast<gsize>(urb->buffer_length), nullptr);
        job->bytes.assign(job->buffer->data, job->buffer->data + urb->buffer_length);
    }
    urbs_.push_back(job);
    Enqueue(job);
    umockdev_ioctl_client_complete(client, 0, 0);
}

void MockUsbBus::ReapUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool gone) {
    auto& done = reapable_[client];
    if (done.empty()) {
        umockdev_ioctl_client_complete(client, -1, gone ? ENODEV : EAGAIN);
        return;
    }
    const JobPtr job = done.front();
    done.pop_front();
    urbs_.remove(job);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(job->request->data);
    urb->status = -job->error;
    urb->actual_length = static_cast<int>(job->moved);
    if (job->in && job->moved > 0) std::memcpy(job->buffer->data, job->bytes.data(), job->moved);
    UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    umockdev_ioctl_data_set_ptr(pointer, 0, job->request);
    umockdev_ioctl_client_complete(client, 0, 0);
    g_object_unref(pointer);
}

// A queued URB ends at once; one the programmer is working on is cut off by
// closing its direction's handle, which a fresh one replaces. Either is then
// reaped with ENOENT, as the kernel reports it.
void MockUsbBus::DiscardUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const gulong address = *reinterpret_cast<const gulong*>(arg->data);
    for (const JobPtr& job : urbs_) {
        if (job->client != client || job->request->client_addr != address || job->state == Job::State::Done) {
            continue;
        }
        if (job->state == Job::State::Queued) {
            auto& queue = job->in ? inQueue_ : outQueue_;
            std::erase(queue, job);
            job->error = ENOENT;
            Finish(job);
        } else {
            job->discard = true;
            UsbDeviceLibrary::Handle& handle = job->in ? inHandle_ : outHandle_;
            programmer_.CloseDevice(handle);
            handle = UsbDeviceLibrary::kInvalidHandle;
            programmer_.OpenDevice(0, handle);
        }
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    }
    umockdev_ioctl_client_complete(client, -1, EINVAL);
}

// Answered by a worker when the transfer ends.
void MockUsbBus::SyncBulk(UMockdevIoctlClient* client, UMockdevIoctlData* arg, int generation) {
    UMockdevIoctlData* request = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_bulktransfer), nullptr);
    const auto* bulk = reinterpret_cast<const usbdevfs_bulktransfer*>(request->data);
    if (bulk->ep != kInEndpoint && bulk->ep != kOutEndpoint) {
        g_object_unref(request);
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    auto job = std::make_shared<Job>();
    job->client = static_cast<UMockdevIoctlClient*>(g_object_ref(client));
    job->request = request;
    job->in = bulk->ep == kInEndpoint;
    job->generation = generation;
    if (bulk->timeout != 0) job->deadline = Clock::now() + std::chrono::milliseconds(bulk->timeout);
    if (bulk->len > 0) {
        job->buffer = umockdev_ioctl_data_resolve(request, offsetof(usbdevfs_bulktransfer, data), bulk->len, nullptr);
        job->bytes.assign(job->buffer->data, job->buffer->data + bulk->len);
    }
    Enqueue(job);
}

void MockUsbBus::Enqueue(const JobPtr& job) {
    (job->in ? inQueue_ : outQueue_).push_back(job);
    queued_.notify_all();
}

void MockUsbBus::Worker(bool in) {
    std::deque<JobPtr>& queue = in ? inQueue_ : outQueue_;
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [&] { return stopping_ || !queue.empty(); });
        if (stopping_) return;
        const JobPtr job = queue.front();
        queue.pop_front();
        const int generation = job->generation;
        if (generation != generation_ || !plugged_) {
            job->error = job->urb ? ESHUTDOWN : ENODEV;
            Finish(job);
            continue;
        }
        job->state = Job::State::Running;
        const UsbDeviceLibrary::Handle handle = in ? inHandle_ : outHandle_;
        lock.unlock();
        Run(*job, handle);
        lock.lock();
        Finish(job);
        if (!programmer_.IsPlugged()) UnplugLocked(generation);
    }
}

// Moves one job's bytes in one transfer of the emulator; sets the job's error
// when it ends otherwise than complete.
void MockUsbBus::Run(Job& job, UsbDeviceLibrary::Handle handle) {
    uint32_t timeoutMs = 0;
    if (job.deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*job.deadline - Clock::now()).count();
        if (left <= 0) {
            job.error = ETIMEDOUT;
            return;
        }
        timeoutMs = static_cast<uint32_t>(left);
    }
    const auto size = static_cast<uint32_t>(job.bytes.size());
    const int result = job.in ? programmer_.Read(handle, job.bytes.data(), size, job.moved, timeoutMs)
                              : programmer_.Write(handle, job.bytes.data(), size, job.moved, timeoutMs);
    job.error = ErrorOf(job, result);
}

// The errno a job ends with after the emulator's result, as the kernel reports it.
int MockUsbBus::ErrorOf(const Job& job, int result) {
    const std::lock_guard lock(mutex_);
    if (result == 0) return 0;
    if (job.discard) return ENOENT;
    if (stopping_) return ESHUTDOWN;
    if (result == EmulatedProgrammer::kOverflow) return EOVERFLOW;
    if (result == EmulatedProgrammer::kTimedOut) return ETIMEDOUT;
    const bool gone = job.generation != generation_ || !plugged_ || !programmer_.IsPlugged();
    if (result == EmulatedProgrammer::kNoDevice && gone) return job.urb ? ESHUTDOWN : ENODEV;
    return EPIPE;
}

// Makes an ended job visible: a URB becomes reapable, a synchronous transfer's
// ioctl returns.
void MockUsbBus::Finish(const JobPtr& job) {
    job->state = Job::State::Done;
    if (job->urb) {
        reapable_[job->client].push_back(job);
        return;
    }
    if (job->error == 0 && job->in && job->moved > 0) std::memcpy(job->buffer->data, job->bytes.data(), job->moved);
    umockdev_ioctl_client_complete(job->client, job->error == 0 ? static_cast<glong>(job->moved) : -1, job->error);
}

void MockUsbBus::UnplugLocked(int generation) {
    if (generation != generation_ || !plugged_) return;
    plugged_ = false;
    for (std::deque<JobPtr>* queue : {&inQueue_, &outQueue_}) {
        for (const JobPtr& job : *queue) {
            job->error = job->urb ? ESHUTDOWN : ENODEV;
            Finish(job);
        }
        queue->clear();
    }
    CloseDirectionHandles();
    // The event carries the device's properties, so it goes out while they are still there.
    umockdev_testbed_uevent(testbed_, kDeviceSysPath, "remove");
    // Removing a device leaves its children's links in /sys/bus behind, so the
    // interface goes first.
    umockdev_testbed_remove_device(testbed_, kInterfaceSysPath);
    umockdev_testbed_remove_device(testbed_, kDeviceSysPath);
}

void MockUsbBus::OpenDirectionHandles() {
    programmer_.OpenDevice(0, inHandle_);
    programmer_.OpenDevice(0, outHandle_);
}

void MockUsbBus::CloseDirectionHandles() {
    for (UsbDeviceLibrary::Handle* handle : {&inHandle_, &outHandle_}) {
        if (*handle != UsbDeviceLibrary::kInvalidHandle) programmer_.CloseDevice(*handle);
        *handle = UsbDeviceLibrary::kInvalidHandle;
    }
}

}  // namespace qbr::test
