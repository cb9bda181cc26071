// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/DataBuffer.h"

#include <cstddef>
#include <functional>
#include <string_view>

namespace qbr::gui {

// Whether the buffer holds edits that closing the window would lose: contents
// that changed since they were last kept (loaded from a file, read from the chip,
// saved, or written to a chip). It compares a fingerprint of the whole buffer
// with the one taken when the contents were last kept, so edits that were undone
// by hand count as none.
class UnsavedEdits {
public:
    explicit UnsavedEdits(const DataBuffer& buffer) : buffer_(buffer) {}

    // The buffer's contents as they are now are kept somewhere.
    void Keep() { kept_ = Fingerprint(); }
    bool Any() const { return Fingerprint() != kept_; }

    // Runs a command that may fill the buffer from a file or the chip. Once it
    // has changed the buffer, the edits before it are gone anyway and what it
    // left came from outside, so it counts as kept.
    template <typename Command>
    void RunLoading(Command&& command) {
        const size_t before = Fingerprint();
        command();
        if (Fingerprint() != before) Keep();
    }

private:
    size_t Fingerprint() const {
        return std::hash<std::string_view>{}(
            {reinterpret_cast<const char*>(buffer_.bytes.data()), buffer_.bytes.size()});
    }

    const DataBuffer& buffer_;
    size_t kept_ = 0;
};

}  // namespace qbr::gui
