// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/PipeHandle.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qbr {

// The platform's view of device interfaces for the direct path: the interfaces
// present that have a bulk IN and a bulk OUT endpoint, and opening one of them,
// the device itself or one of its two pipes, as a file.
class DeviceEnumerator {
public:
    // An interface by its sysfs name ("1-1.2:1.0": device 1-1.2, configuration 1,
    // interface 0) and its device's IDs.
    struct Interface {
        std::string name;
        uint16_t vendorId = 0;
        uint16_t productId = 0;
    };
    // What Open opens: the device itself, which moves no data, or a pipe.
    enum class Pipe { None, In, Out };

    virtual ~DeviceEnumerator() = default;

    // The interfaces present now, in the order of their names.
    virtual std::vector<Interface> ListInterfaces() = 0;
    // Null when it can't be opened; `accessDenied` is then set when the reason is
    // that this user may not open it, and cleared otherwise.
    virtual std::shared_ptr<PipeHandle> Open(const std::string& name, Pipe pipe, bool& accessDenied) = 0;
};

}  // namespace qbr
