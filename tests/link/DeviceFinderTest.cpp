// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/DeviceFinder.h"
#include "link/FakeEnumerator.h"

#include <gtest/gtest.h>

namespace qbr {
namespace {

TEST(ParseHex4, ReadsHexDigitsOfEitherCase) {
    EXPECT_EQ(ParseHex4("10c4", 4), 0x10C4);
    EXPECT_EQ(ParseHex4("f5A0", 4), 0xF5A0);
    EXPECT_EQ(ParseHex4("10G4", 4), 0);
    EXPECT_EQ(ParseHex4("f5a0", 2), 0xF5);
    EXPECT_EQ(ParseHex4("", 0), 0);
}

TEST(DeviceFinderIds, ParsedFromTheDevicePath) {
    test::FakeEnumerator enumerator;
    enumerator.paths = {
        "usb#VID_10C4&PID_F5A0#1-1:1.0",  // capitals
        "usb#vid_10c4&pid_f5a0#1-1:1.0",  // small letters
        "vid_10G4&pid_f5a0",              // a bad digit gives 0
        "xvid_1234vid_10c4&pid_f5a0",     // the first hit counts
        "vid_10c",                        // too short for the four digits
        "pid_f5a0&vid_10c4",              // the order doesn't matter
    };
    DeviceFinder finder(enumerator);
    const std::vector<std::pair<uint16_t, uint16_t>> expected = {{0x10C4, 0xF5A0}, {0x10C4, 0xF5A0}, {0, 0xF5A0},
                                                                 {0x1234, 0xF5A0}, {0, 0},           {0x10C4, 0xF5A0}};
    ASSERT_EQ(finder.CountDevices(), 6);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(enumerator.paths[i]);
        EXPECT_EQ(finder.GetVid(i), expected[i].first);
        EXPECT_EQ(finder.GetPid(i), expected[i].second);
    }
    EXPECT_EQ(finder.GetVid(6), 0);  // no such interface
}

}  // namespace
}  // namespace qbr
