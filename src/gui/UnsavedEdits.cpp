// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/UnsavedEdits.h"

#include <functional>
#include <string_view>

namespace qbr::gui {

size_t UnsavedEdits::Fingerprint() const {
    const std::string_view bytes(reinterpret_cast<const char*>(buffer_.bytes.data()), buffer_.bytes.size());
    return std::hash<std::string_view>{}(bytes);
}

}  // namespace qbr::gui
