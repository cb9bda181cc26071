// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/AccessPath.h"
#include "link/DeviceEnumerator.h"
#include "link/DeviceFinder.h"

#include <memory>
#include <optional>
#include <string>

namespace qbr {

// The direct path: the programmer's device interface is found among the
// interfaces of its class by the IDs in its device path, and the device and its
// two pipes ("PIPE01" to the programmer, "PIPE00" from it) are opened as files.
// Every Open opens them anew; a pipe that fails to open is reported in a message
// box and left missing, so the transfers in its direction refuse to start.
class DirectPath : public AccessPath {
public:
    static constexpr const char* kInterfaceClass = "{37538c66-9584-42d3-9632-ebad0a230d13}";
    static constexpr const char* kWritePipeName = "PIPE01";
    static constexpr const char* kReadPipeName = "PIPE00";

    // Over an enumerator the caller keeps alive, or one the path owns. With a `port`
    // (a sysfs port path such as "1-1.2"), only the programmer plugged in there is
    // taken: its device path ends in "#PORT:CONFIG.INTERFACE".
    explicit DirectPath(DeviceEnumerator& enumerator, std::string port = {})
        : finder_(enumerator), port_(std::move(port)) {}
    explicit DirectPath(std::unique_ptr<DeviceEnumerator> enumerator, std::string port = {})
        : owned_(std::move(enumerator)), finder_(*owned_), port_(std::move(port)) {}

    bool Open(OpenProblem& problem, const AlertHandler& alert) override;
    std::shared_ptr<PipeHandle> ReadPipe() const override { return readPipe_; }
    std::shared_ptr<PipeHandle> WritePipe() const override { return writePipe_; }
    void TransferFailed() override {}
    void Close() override;
    bool IsLibraryPath() const override { return false; }

private:
    std::optional<int> FindInterface();
    std::shared_ptr<PipeHandle> OpenPipeOrAlert(const char* name, const char* format, const AlertHandler& alert);

    std::unique_ptr<DeviceEnumerator> owned_;
    DeviceFinder finder_;
    std::string port_;
    std::shared_ptr<PipeHandle> device_;
    std::shared_ptr<PipeHandle> writePipe_;
    std::shared_ptr<PipeHandle> readPipe_;
};

}  // namespace qbr
