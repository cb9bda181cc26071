// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/DirectPath.h"

#include <algorithm>
#include <span>
#include <utility>
#include <vector>

namespace qbr {

// Every pass opens the device and its pipes anew; the handles of the previous pass
// live on only as long as a transfer still uses them.
bool DirectPath::Open(OpenProblem& problem, const AlertHandler& alert) {
    problem = OpenProblem::NotFound;
    const std::optional<std::string> name = FindInterface();
    bool denied = false;
    std::shared_ptr<PipeHandle> device = name ? enumerator_->Open(*name, DeviceEnumerator::Pipe::None, denied)
                                              : nullptr;
    if (!device) {
        if (denied) problem = OpenProblem::AccessDenied;
        Close();
        return false;
    }
    device_ = std::move(device);
    writePipe_ = OpenPipeOrAlert(*name, DeviceEnumerator::Pipe::Out,
                                 "Error opening Write device: PIPE01\n\nApplication is aborting.\n"
                                 "Reset hardware and try again.",
                                 alert);
    readPipe_ = OpenPipeOrAlert(*name, DeviceEnumerator::Pipe::In,
                                "Error opening Read device: PIPE00\n\nApplication is aborting.\n"
                                "Reset hardware and try again.",
                                alert);
    return true;
}

// Only the first 127 interfaces are looked at, as the enumeration has always probed.
std::optional<std::string> DirectPath::FindInterface() const {
    const std::vector<DeviceEnumerator::Interface> interfaces = enumerator_->ListInterfaces();
    for (const DeviceEnumerator::Interface& interface :
         std::span(interfaces).first(std::min<size_t>(interfaces.size(), 127))) {
        if (interface.vendorId == kVendorId && interface.productId == kProductId &&
            (port_.empty() || interface.name.starts_with(port_ + ':'))) {
            return interface.name;
        }
    }
    return std::nullopt;
}

std::shared_ptr<PipeHandle> DirectPath::OpenPipeOrAlert(const std::string& name, DeviceEnumerator::Pipe pipe,
                                                        const char* alertText, const AlertHandler& alert) {
    bool denied = false;
    std::shared_ptr<PipeHandle> handle = enumerator_->Open(name, pipe, denied);
    if (!handle && alert) {
        alert(alertText);
    }
    return handle;
}

void DirectPath::Close() {
    device_.reset();
    writePipe_.reset();
    readPipe_.reset();
}

}  // namespace qbr
