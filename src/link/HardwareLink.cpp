// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/HardwareLink.h"

#include "link/DirectPath.h"
#include "link/LibraryPath.h"
#include "link/backends/LibusbDeviceLibrary.h"
#include "link/backends/UsbfsEnumerator.h"

#include <cstdlib>
#include <string_view>

namespace qbr {

bool DirectPathRequested() {
    const char* choice = std::getenv("QBR5150_USB");
    return choice != nullptr && std::string_view(choice) == "direct";
}

std::unique_ptr<UsbLink> MakeHardwareLink(LinkTimings timings, const std::string& port) {
    if (!DirectPathRequested()) {
        if (std::unique_ptr<LibusbDeviceLibrary> library = LibusbDeviceLibrary::Create()) {
            return std::make_unique<UsbLink>(std::make_unique<LibraryPath>(std::move(library), port),
                                             std::move(timings));
        }
    }
    return std::make_unique<UsbLink>(std::make_unique<DirectPath>(std::make_unique<UsbfsEnumerator>(), port),
                                     std::move(timings));
}

}  // namespace qbr
