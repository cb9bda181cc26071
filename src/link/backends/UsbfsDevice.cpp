#include "link/backends/UsbfsDevice.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qbr {

std::shared_ptr<UsbfsDevice> UsbfsDevice::Open(const std::string& deviceNode, int interfaceNumber,
                                                bool& accessDenied) {
    const int fd = ::open(deviceNode.c_str(), O_RDWR | O_CLOEXEC);
    accessDenied = fd < 0 && (errno == EACCES || errno == EPERM);
    if (fd < 0) {
        return nullptr;
    }
    // Fails harmlessly when no driver is bound.
    usbdevfs_ioctl disconnect{interfaceNumber, USBDEVFS_DISCONNECT, nullptr};
    ::ioctl(fd, USBDEVFS_IOCTL, &disconnect);
    unsigned int number = static_cast<unsigned int>(interfaceNumber);
    if (::ioctl(fd, USBDEVFS_CLAIMINTERFACE, &number) != 0) {
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

bool UsbfsDevice::Bulk(uint8_t endpoint, uint8_t* data, uint32_t length, uint32_t& moved, uint32_t timeoutMs) {
    usbdevfs_bulktransfer transfer{endpoint, length, timeoutMs, data};
    const int result = ::ioctl(fd_, USBDEVFS_BULK, &transfer);
    moved = result > 0 ? static_cast<uint32_t>(result) : 0;
    return result >= 0;
}

}  // namespace qbr
