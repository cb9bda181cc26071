// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/DirectPath.h"

#include <cstdio>

namespace qbr {

namespace {

std::string FormatAlert(const char* format, const char* pipeName) {
    char text[160];
    std::snprintf(text, sizeof text, format, pipeName);
    return text;
}

}  // namespace

// Every pass opens the device and its pipes anew; the handles of the previous pass
// live on only as long as a transfer still uses them.
bool DirectPath::Open(OpenProblem& problem, const AlertHandler& alert) {
    problem = OpenProblem::NotFound;
    const std::optional<int> index = FindInterface();
    if (!index) {
        Close();
        return false;
    }
    finder_.SetInterfaceGuid(kInterfaceClass);
    std::shared_ptr<PipeHandle> device = finder_.OpenDevice(*index);
    if (!device) {
        if (finder_.AccessDenied()) {
            problem = OpenProblem::AccessDenied;
        }
        Close();
        return false;
    }
    device_ = std::move(device);
    writePipe_ = OpenPipeOrAlert(kWritePipeName,
                                 "Error opening Write device: %s\n\nApplication is aborting.\n"
                                 "Reset hardware and try again.",
                                 alert);
    readPipe_ = OpenPipeOrAlert(kReadPipeName,
                                "Error opening Read device: %s\n\nApplication is aborting.\n"
                                "Reset hardware and try again.",
                                alert);
    return true;
}

std::optional<int> DirectPath::FindInterface() {
    finder_.SetInterfaceGuid(kInterfaceClass);
    const int count = finder_.CountDevices();
    for (int i = 0; i < count; ++i) {
        finder_.SetInterfaceGuid(kInterfaceClass);
        if (finder_.GetVid(i) == kVendorId && finder_.GetPid(i) == kProductId &&
            (port_.empty() || finder_.DevicePathOf(i).find('#' + port_ + ':') != std::string::npos)) {
            return i;
        }
    }
    return std::nullopt;
}

std::shared_ptr<PipeHandle> DirectPath::OpenPipeOrAlert(const char* name, const char* format,
                                                        const AlertHandler& alert) {
    std::shared_ptr<PipeHandle> pipe = finder_.OpenPipe(name);
    if (!pipe && alert) {
        alert(FormatAlert(format, name));
    }
    return pipe;
}

void DirectPath::Close() {
    device_.reset();
    writePipe_.reset();
    readPipe_.reset();
}

}  // namespace qbr
