// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/PipeHandle.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qbr {

// One way of reaching the programmer: it finds the programmer, opens it and hands
// out its two pipes; the link's transfer engine does the rest. Two paths exist:
// LibraryPath over a UsbDeviceLibrary (libusb, the emulated programmer, a trace
// replay) and DirectPath over the platform's device interfaces (usbfs).
//
// Threads: Open, Close and TransferFailed are called on the UI thread only, never
// at the same time. The pipes they hand out are used by the link's worker threads;
// a pipe stays valid for as long as someone holds it, also after the path has
// moved on to new pipes or closed.
class AccessPath {
public:
    // Why Open returned false (None: it didn't). NotFound covers every failure
    // other than a refused access: no programmer on the bus, a failing library, an
    // open that failed for no known reason.
    enum class OpenProblem { None, NotFound, AccessDenied };
    // Shows a message box with the text.
    using AlertHandler = std::function<void(const std::string& text)>;

    static constexpr uint16_t kVendorId = 0x10C4;
    static constexpr uint16_t kProductId = 0xF5A0;

    virtual ~AccessPath() = default;

    // Finds the programmer and makes sure it is open; called whenever the link is
    // needed, also while it is open already. May block for as long as enumerating
    // and opening devices takes, never for a transfer. True when the device is
    // open; the pipes may still be missing on the direct path, which then says so
    // through `alert`. False with `problem` set otherwise.
    virtual bool Open(OpenProblem& problem, const AlertHandler& alert) = 0;
    // The pipes of the last successful Open; null when there is none.
    virtual std::shared_ptr<PipeHandle> ReadPipe() const = 0;
    virtual std::shared_ptr<PipeHandle> WritePipe() const = 0;
    // A transfer on the pipes failed: the device may have been unplugged since, so
    // the next Open may have to open it afresh.
    virtual void TransferFailed() = 0;
    // Lets go of the device; pipes still held by transfers close when they end.
    virtual void Close() = 0;
    // True for the library path, whose pipe calls wait at most the library's own
    // time-out each.
    virtual bool IsLibraryPath() const = 0;
};

}  // namespace qbr
