// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/TickCount.h"

#include <chrono>

namespace qbr {

uint32_t TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace qbr
