#pragma once

#include "link/LinkTimings.h"
#include "link/UsbLink.h"

#include <memory>

namespace qbr {

// The link to a real programmer. The access path is chosen here, once: the
// library path over libusb, unless the environment sets QBR5150_USB=direct or
// libusb can't start, in which case the direct path over sysfs and usbfs.
std::unique_ptr<UsbLink> MakeHardwareLink(LinkTimings timings = {});

}  // namespace qbr
