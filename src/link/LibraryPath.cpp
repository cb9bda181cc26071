// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LibraryPath.h"

#include "link/LibraryDevice.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace qbr {

namespace {

// The library addresses devices by a 16-bit index.
constexpr uint32_t kMaxLibraryDevices = 0x10000;

// An ID text as the library gives it, read with "%x "; 0 when it holds no number.
uint32_t ParseIdText(const char (&text)[UsbDeviceLibrary::kIdTextSize]) {
    char terminated[UsbDeviceLibrary::kIdTextSize];
    std::copy(std::begin(text), std::end(text), terminated);
    terminated[UsbDeviceLibrary::kIdTextSize - 1] = '\0';
    unsigned int value = 0;
    return std::sscanf(terminated, "%x ", &value) == 1 ? value : 0;
}

}  // namespace

bool LibraryPath::Open(OpenProblem& problem, const AlertHandler&) {
    problem = OpenProblem::NotFound;
    uint32_t count = 0;
    if (library_.CountDevices(count) != 0) {
        Close();
        return false;
    }
    bool queryFailed = false;
    const std::optional<uint16_t> index = FindProgrammerIndex(count, queryFailed);
    if (queryFailed) {
        return false;
    }
    if (!index) {
        Close();
        return false;
    }
    if (suspect_) {
        Close();
    }
    if (device_) {
        return true;
    }
    UsbDeviceLibrary::Handle handle = UsbDeviceLibrary::kInvalidHandle;
    const int result = library_.OpenDevice(*index, handle);
    if (result != 0) {
        if (result == UsbDeviceLibrary::kAccessDenied) {
            problem = OpenProblem::AccessDenied;
        }
        Close();
        return false;
    }
    device_ = std::make_shared<LibraryDevice>(library_, handle);
    return true;
}

std::optional<uint16_t> LibraryPath::FindProgrammerIndex(uint32_t count, bool& queryFailed) {
    const uint32_t limit = std::min(count, kMaxLibraryDevices);
    for (uint32_t i = 0; i < limit; ++i) {
        const auto index = static_cast<uint16_t>(i);
        char vendorText[UsbDeviceLibrary::kIdTextSize] = {};
        char productText[UsbDeviceLibrary::kIdTextSize] = {};
        if (library_.GetDeviceId(index, vendorText, UsbDeviceLibrary::kVendorId) != 0 ||
            library_.GetDeviceId(index, productText, UsbDeviceLibrary::kProductId) != 0) {
            queryFailed = true;
            return std::nullopt;
        }
        if ((ParseIdText(vendorText) & 0xFFFF) == kVendorId && (ParseIdText(productText) & 0xFFFF) == kProductId &&
            (port_.empty() || library_.PortPath(index) == port_)) {
            return index;
        }
    }
    return std::nullopt;
}

// The library closes the device once no transfer holds it any more.
void LibraryPath::Close() {
    device_.reset();
    suspect_ = false;
}

}  // namespace qbr
