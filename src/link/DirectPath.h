// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/AccessPath.h"
#include "link/DeviceEnumerator.h"

#include <memory>
#include <optional>
#include <string>

namespace qbr {

// The direct path: the programmer's device interface is found among the
// interfaces by its device's IDs, and the device and its two pipes ("PIPE01" to
// the programmer, "PIPE00" from it) are opened as files.
// Every Open opens them anew; a pipe that fails to open is reported in a message
// box and left missing, so the transfers in its direction refuse to start.
class DirectPath : public AccessPath {
public:
    // With a `port` (a sysfs port path such as "1-1.2"), only the programmer plugged
    // in there is taken: its interface is named "PORT:CONFIG.INTERFACE".
    explicit DirectPath(std::unique_ptr<DeviceEnumerator> enumerator, std::string port = {})
        : enumerator_(std::move(enumerator)), port_(std::move(port)) {}

    bool Open(OpenProblem& problem, const AlertHandler& alert) override;
    std::shared_ptr<PipeHandle> ReadPipe() const override { return readPipe_; }
    std::shared_ptr<PipeHandle> WritePipe() const override { return writePipe_; }
    void TransferFailed() override {}
    void Close() override;
    bool IsLibraryPath() const override { return false; }

private:
    std::optional<std::string> FindInterface() const;
    std::shared_ptr<PipeHandle> OpenPipeOrAlert(const std::string& name, DeviceEnumerator::Pipe pipe,
                                                const char* alertText, const AlertHandler& alert);

    std::unique_ptr<DeviceEnumerator> enumerator_;
    std::string port_;
    std::shared_ptr<PipeHandle> device_;
    std::shared_ptr<PipeHandle> writePipe_;
    std::shared_ptr<PipeHandle> readPipe_;
};

}  // namespace qbr
