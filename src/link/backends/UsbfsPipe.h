// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/PipeHandle.h"
#include "link/backends/UsbfsDevice.h"

#include <memory>

namespace qbr {

// A pipe of a usbfs device: one bulk endpoint, or none for the handle of the device
// itself. Cancel ends a transfer blocked on the pipe at once.
class UsbfsPipe : public PipeHandle {
public:
    static constexpr uint8_t kNoEndpoint = 0;
    static constexpr uint8_t kDirectionIn = 0x80;

    UsbfsPipe(std::shared_ptr<UsbfsDevice> device, uint8_t endpoint)
        : device_(std::move(device)), endpoint_(endpoint) {}

    bool Read(uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) override {
        return (endpoint_ & kDirectionIn) != 0 && device_->Bulk(endpoint_, buffer, count, received, timeoutMs);
    }
    // usbfs takes a writable pointer for both directions; it only reads it for OUT.
    bool Write(const uint8_t* buffer, uint32_t count, uint32_t& written, uint32_t timeoutMs) override {
        return endpoint_ != kNoEndpoint && (endpoint_ & kDirectionIn) == 0 &&
               device_->Bulk(endpoint_, const_cast<uint8_t*>(buffer), count, written, timeoutMs);
    }
    void Cancel() override {
        if (endpoint_ != kNoEndpoint) {
            device_->Cancel(endpoint_);
        }
    }
    uint8_t EndpointAddress(bool) const override { return endpoint_; }

private:
    std::shared_ptr<UsbfsDevice> device_;
    const uint8_t endpoint_;
};

}  // namespace qbr
