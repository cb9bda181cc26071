// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/IntelHexReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace qbr {
namespace {

// One record as upper-case text with its checksum.
std::string Record(uint8_t type, uint16_t address, std::vector<uint8_t> data) {
    data.insert(data.begin(), {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                               static_cast<uint8_t>(address), type});
    uint8_t sum = 0;
    for (uint8_t b : data) sum = static_cast<uint8_t>(sum - b);
    data.push_back(sum);
    std::string text = ":";
    char pair[3];
    for (uint8_t b : data) text.append(pair, std::snprintf(pair, sizeof pair, "%02X", b));
    return text + "\r\n";
}

std::string Extended(uint8_t type, uint16_t value) {
    return Record(type, 0, {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)});
}

const std::string kEnd = ":00000001FF\r\n";

// Loads a file into `capacity` bytes of 0xFF and checks that the guard bytes after
// them are never written.
struct HexLoad {
    HexLoad(const std::string& path, uint32_t capacity) : image(capacity + 64, 0x5A) {
        std::fill_n(image.begin(), capacity, 0xFF);
        ok = reader.Load(path, image.data(), capacity);
        EXPECT_TRUE(std::all_of(image.begin() + capacity, image.end(), [](uint8_t b) { return b == 0x5A; }));
    }
    IntelHexReader reader;
    std::vector<uint8_t> image;
    bool ok = false;
};

class IntelHexReaderTest : public ::testing::Test {
protected:
    HexLoad LoadText(const std::string& text, uint32_t capacity) {
        test::WriteFileText(dir.file("image.hex"), text);
        return HexLoad(dir.file("image.hex").string(), capacity);
    }
    test::TempDir dir;
};

TEST_F(IntelHexReaderTest, PlacesRecordsInAnyOrderLaterOnesWin) {
    const HexLoad load = LoadText("junk " + Record(0, 0x10, {1, 2, 3}) + "\n" + Record(0, 0, {9}) +
                                      Record(0, 0x11, {7, 0xFF, 0xFF}) + Record(3, 0, {0, 0, 0, 0}) +
                                      Record(5, 0, {0, 0, 0, 0}) + kEnd + Record(0, 0, {0x42}),
                                  0x40);
    ASSERT_TRUE(load.ok);
    EXPECT_EQ(std::vector<uint8_t>(&load.image[0x10], &load.image[0x14]), (std::vector<uint8_t>{1, 7, 0xFF, 0xFF}));
    EXPECT_EQ(load.image[0], 9);
    EXPECT_EQ(load.reader.extent, 0x12u);  // trailing 0xFF loaded but not counted
}

TEST_F(IntelHexReaderTest, ExtendedAddressesCountFromTheFirstOne) {
    HexLoad load = LoadText(Extended(4, 0x0800) + Record(0, 4, {1}) + Extended(4, 0x0801) + Record(0, 2, {2}) + kEnd,
                            0x20000);
    EXPECT_TRUE(load.ok && load.image[4] == 1 && load.image[0x10002] == 2);
    load = LoadText(Extended(2, 0x1000) + Record(0, 0, {1}) + Extended(2, 0x2000) + Record(0, 1, {2}) + kEnd, 0x20000);
    EXPECT_TRUE(load.ok && load.image[0] == 1 && load.image[0x10001] == 2);
    // Data before any extended record: the file keeps its own addresses.
    load = LoadText(Record(0, 0, {1}) + Extended(2, 0x1000) + Record(0, 0, {2}) + kEnd, 0x20000);
    EXPECT_TRUE(load.ok && load.image[0] == 1 && load.image[0x10000] == 2);
    EXPECT_FALSE(LoadText(Extended(2, 0x2000) + Extended(2, 0x1000) + kEnd, 0x100).ok);
}

TEST_F(IntelHexReaderTest, StoresOnlyBelowTheCapacityButCountsEverything) {
    // Straddling, and erased data beyond the capacity: nothing there is trimmed.
    HexLoad load = LoadText(Record(0, 0x1E, {1, 2, 3}) + Record(0, 0x40, {0xFF}) + kEnd, 0x20);
    EXPECT_TRUE(load.ok && load.image[0x1F] == 2 && load.reader.extent == 0x41);
    // A linear base below the origin wraps far beyond the buffer.
    load = LoadText(Extended(4, 1) + Extended(4, 0) + Record(0, 0xFFFF, {1, 2}) + kEnd, 0x20);
    EXPECT_EQ(load.reader.extent, 0xFFFFFFFFu);
    EXPECT_EQ(LoadText(Record(0, 0x1E, {1, 2}) + kEnd, 0x20).reader.extent, 0x20u);
}

TEST_F(IntelHexReaderTest, MalformedFilesFailButKeepEarlierRecords) {
    std::string lowerCase = Record(0, 1, {0x1A});
    std::transform(lowerCase.begin(), lowerCase.end(), lowerCase.begin(), [](char c) { return std::tolower(c); });
    std::string badChecksum = Record(0, 1, {1});
    badChecksum[11] = '0';
    for (const std::string& tail :
         {lowerCase + kEnd, badChecksum + kEnd, Record(6, 0, {}) + kEnd, Record(4, 0, {0, 0, 0}) + kEnd,
          Record(2, 0, {0}) + kEnd, ":0100000001\r\n" + kEnd, std::string(":0400000001"), std::string()}) {
        const HexLoad load = LoadText(Record(0, 0, {0xAB}) + tail, 16);
        EXPECT_FALSE(load.ok) << tail;
        EXPECT_EQ(load.image[0], 0xAB) << tail;
    }
    EXPECT_FALSE(HexLoad(dir.file("missing.hex").string(), 16).ok);
}

// What objcopy writes, when installed: segment records switching to linear ones
// above 1 MiB, and at 16 MiB linear ones from a first extended address that is not 0.
TEST_F(IntelHexReaderTest, ReadsWhatObjcopyWrites) {
    if (std::system("command -v objcopy >/dev/null") != 0) GTEST_SKIP() << "no objcopy";
    std::vector<uint8_t> image(0x180000);
    std::mt19937 random(5150);
    std::generate(image.begin(), image.end(), [&] { return static_cast<uint8_t>(random() | 1); });
    test::WriteFileText(dir.file("image.bin"), std::string(image.begin(), image.end()));
    for (const char* offset : {"0", "0x1000000"}) {
        const std::string command = "objcopy -I binary -O ihex --change-addresses " + std::string(offset) + " " +
                                    dir.file("image.bin").string() + " " + dir.file("image.hex").string();
        ASSERT_EQ(std::system(command.c_str()), 0);
        const HexLoad load(dir.file("image.hex").string(), 0x200000);
        EXPECT_TRUE(load.ok && load.reader.extent == image.size()) << offset;
        EXPECT_TRUE(std::equal(image.begin(), image.end(), load.image.begin())) << offset;
    }
}

}  // namespace
}  // namespace qbr
