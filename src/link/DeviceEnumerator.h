// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/PipeHandle.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qbr {

// The platform's view of device interfaces for the direct path: the device paths
// of the present interfaces of a class, and opening a path as a file. A device
// path names the interface and carries its IDs as "vid_XXXX" and "pid_XXXX".
class DeviceEnumerator {
public:
    // Joins a device path and a pipe name.
    static constexpr char kPipeSeparator = '/';

    virtual ~DeviceEnumerator() = default;

    // Device paths of the interfaces of `interfaceClass` that are present now, in a
    // stable order.
    virtual std::vector<std::string> ListInterfaces(std::string_view interfaceClass) = 0;
    // Opens a device path, or one of its pipes (device path, kPipeSeparator, pipe
    // name). Null when it can't be opened; `accessDenied` is then set when the
    // reason is that this user may not open it, and cleared otherwise.
    virtual std::shared_ptr<PipeHandle> Open(const std::string& path, bool& accessDenied) = 0;
};

}  // namespace qbr
