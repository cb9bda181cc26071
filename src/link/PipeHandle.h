// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace qbr {

// One open pipe to the programmer (or the opened device itself, which moves no
// data): blocking transfers with a time-out. A handle stays usable for as long as
// someone holds it, so a transfer in flight keeps its pipe alive even after the
// link has moved on to new handles.
class PipeHandle {
public:
    virtual ~PipeHandle() = default;

    // One transfer from the programmer of at most `count` bytes.
    virtual bool Read(uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) = 0;
    // One transfer of `count` bytes to the programmer.
    virtual bool Write(const uint8_t* buffer, uint32_t count, uint32_t& written, uint32_t timeoutMs) = 0;
    // Makes a call blocked on this pipe return soon with failure. Safe to call from
    // another thread; a pipe whose calls can't be interrupted simply lets them run
    // into their time-out.
    virtual void Cancel() = 0;
    // The address of the bulk endpoint that carries this pipe's transfers in the
    // given direction (bit 7 set for IN); 0 when not known.
    virtual uint8_t EndpointAddress(bool /*in*/) const { return 0; }
};

}  // namespace qbr
