// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/DeviceEnumerator.h"
#include "link/PipeHandle.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qbr {

// Value of the first `n` characters of `text` read as hexadecimal; 0 when any of
// them is not a hex digit, and for n = 0.
int ParseHex4(const char* text, int n);

// Finds device interfaces of one class by index and opens them and their pipes
// (direct path). Each query enumerates the interfaces afresh.
class DeviceFinder {
public:
    // Room for the device path, the pipe separator, a pipe name and the terminator.
    static constexpr size_t kPathCapacity = 256;
    // At most this many interfaces are counted.
    static constexpr int kMaxInterfaces = 127;

    explicit DeviceFinder(DeviceEnumerator& enumerator) : enumerator_(enumerator) {}
    virtual ~DeviceFinder() = default;

    void SetInterfaceGuid(std::string_view interfaceClass) { interfaceClass_ = interfaceClass; }
    int CountDevices();
    // IDs parsed from the device path of interface `index`; 0 without path or ID.
    uint16_t GetVid(int index);
    uint16_t GetPid(int index);
    // Remembers the device path of interface `index` and opens it. Null on failure.
    std::shared_ptr<PipeHandle> OpenDevice(int index);
    // Opens the remembered device path joined with the pipe `name`, or the device
    // path itself for a null name. Null on failure, also when the joined path would
    // not fit kPathCapacity.
    std::shared_ptr<PipeHandle> OpenPipe(const char* name);
    // The device path of interface `index`; empty when there is none.
    std::string DevicePathOf(int index);
    // Whether the last OpenDevice or OpenPipe failed because this user may not open
    // the path.
    bool AccessDenied() const { return accessDenied_; }

private:
    std::shared_ptr<PipeHandle> OpenPath(const std::string& path);
    uint16_t ParseId(int index, std::string_view lower, std::string_view upper);

    DeviceEnumerator& enumerator_;
    std::string interfaceClass_;
    std::string devicePath_;
    bool accessDenied_ = false;
};

}  // namespace qbr
