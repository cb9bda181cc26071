// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/DeviceFinder.h"

#include <algorithm>

namespace qbr {

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

int ParseHex4(const char* text, int n) {
    int value = 0;
    for (int i = 0; i < n; ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0) {
            return 0;
        }
        value = (value << 4) + digit;
    }
    return value;
}

int DeviceFinder::CountDevices() {
    const auto count = enumerator_.ListInterfaces(interfaceClass_).size();
    return static_cast<int>(std::min<size_t>(count, kMaxInterfaces));
}

uint16_t DeviceFinder::GetVid(int index) {
    return ParseId(index, "vid", "VID");
}

uint16_t DeviceFinder::GetPid(int index) {
    return ParseId(index, "pid", "PID");
}

std::shared_ptr<PipeHandle> DeviceFinder::OpenDevice(int index) {
    accessDenied_ = false;
    devicePath_ = DevicePathOf(index);
    if (devicePath_.size() >= kPathCapacity) {
        devicePath_.clear();
        return nullptr;
    }
    return OpenPipe(nullptr);
}

std::shared_ptr<PipeHandle> DeviceFinder::OpenPipe(const char* name) {
    accessDenied_ = false;
    if (devicePath_.empty()) {
        return nullptr;
    }
    if (name == nullptr) {
        return OpenPath(devicePath_);
    }
    const std::string path = devicePath_ + DeviceEnumerator::kPipeSeparator + name;
    if (path.size() >= kPathCapacity) {
        return nullptr;
    }
    return OpenPath(path);
}

std::shared_ptr<PipeHandle> DeviceFinder::OpenPath(const std::string& path) {
    bool denied = false;
    std::shared_ptr<PipeHandle> handle = enumerator_.Open(path, denied);
    accessDenied_ = !handle && denied;
    return handle;
}

std::string DeviceFinder::DevicePathOf(int index) {
    const auto paths = enumerator_.ListInterfaces(interfaceClass_);
    if (index < 0 || static_cast<size_t>(index) >= paths.size()) {
        return {};
    }
    return paths[static_cast<size_t>(index)];
}

// The ID sits four characters after the first "vid"/"VID" (or "pid"/"PID"):
// three letters, one separator, four hex digits. Only positions where all of that
// fits inside the path are looked at.
uint16_t DeviceFinder::ParseId(int index, std::string_view lower, std::string_view upper) {
    const std::string path = DevicePathOf(index);
    constexpr size_t kIdSpan = 8;
    for (size_t pos = 0; pos + kIdSpan <= path.size(); ++pos) {
        const std::string_view at(path.data() + pos, 3);
        if (at == lower || at == upper) {
            return static_cast<uint16_t>(ParseHex4(path.data() + pos + 4, 4));
        }
    }
    return 0;
}

}  // namespace qbr
