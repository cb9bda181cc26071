// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/AccessPath.h"
#include "link/UsbDeviceLibrary.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qbr {

// The library path: the programmer is the first device whose vendor and product
// IDs the library reports as 10c4 and f5a0; one device handle serves as both
// pipes. The handle is kept open from one Open to the next. It is closed when an
// Open no longer finds the programmer, and reopened after a failed transfer, so a
// programmer that was unplugged and plugged back in is taken up again.
class LibraryPath : public AccessPath {
public:
    // Over a library the caller keeps alive, or one the path owns. With a `port`
    // (a sysfs port path such as "1-1.2"), only the programmer plugged in there is
    // taken.
    explicit LibraryPath(UsbDeviceLibrary& library, std::string port = {})
        : library_(library), port_(std::move(port)) {}
    explicit LibraryPath(std::unique_ptr<UsbDeviceLibrary> library, std::string port = {})
        : owned_(std::move(library)), library_(*owned_), port_(std::move(port)) {}

    bool Open(OpenProblem& problem, const AlertHandler& alert) override;
    std::shared_ptr<PipeHandle> ReadPipe() const override { return device_; }
    std::shared_ptr<PipeHandle> WritePipe() const override { return device_; }
    void TransferFailed() override { suspect_ = true; }
    void Close() override;
    bool IsLibraryPath() const override { return true; }

private:
    std::optional<uint16_t> FindProgrammerIndex(uint32_t count, bool& queryFailed);

    std::unique_ptr<UsbDeviceLibrary> owned_;
    UsbDeviceLibrary& library_;
    std::string port_;
    std::shared_ptr<PipeHandle> device_;
    bool suspect_ = false;
};

}  // namespace qbr
