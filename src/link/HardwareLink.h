// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/LinkTimings.h"
#include "link/UsbLink.h"

#include <memory>
#include <string>

namespace qbr {

// The link to a real programmer. The access path is chosen here, once: the
// library path over libusb, unless the environment sets QBR5150_USB=direct or
// libusb can't start, in which case the direct path over sysfs and usbfs. With a
// `port` (a sysfs port path such as "1-1.2") only the programmer there is used.
std::unique_ptr<UsbLink> MakeHardwareLink(LinkTimings timings = {}, const std::string& port = {});

// True when the environment asks for the direct path (QBR5150_USB=direct). A
// direct link made without this request means that libusb couldn't start.
bool DirectPathRequested();

}  // namespace qbr
