// SPDX-License-Identifier: GPL-3.0-or-later
// Image files: raw and Intel HEX loads into the buffer, and saves that never
// leave a damaged or half-written file.
#include "buffer/ChangeMarks.h"
#include "buffer/ImageFile.h"
#include "buffer/IntelHexReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace qbr {
namespace {

namespace fs = std::filesystem;
using Outcome = ImageLoadResult::Outcome;
using test::ReadFileText;
using test::WriteFileText;

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

// A 256-byte chip over a buffer holding edits: 512 bytes of 0x11, every one marked.
class ImageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(buffer.Allocate());
        buffer.SetActiveLength(kCapacity);
        std::fill_n(buffer.bytes.begin(), 2 * kCapacity, 0x11);
        MarkRange(buffer, 0, 2 * kCapacity);
    }
    static std::string Extended(uint8_t type, uint16_t v) { return Record(type, 0, {uint8_t(v >> 8), uint8_t(v)}); }
    std::string Bytes(uint32_t from, uint32_t to) const { return {&buffer.bytes[from], &buffer.bytes[to]}; }
    ImageLoadResult Load(const std::string& name, const std::string& content) {
        WriteFileText(dir.file(name), content);
        return LoadImage(dir.file(name).string(), buffer, kCapacity);
    }
    HexLoad LoadHex(const std::string& text, uint32_t capacity) {
        WriteFileText(dir.file("image.hex"), text);
        return HexLoad(dir.file("image.hex").string(), capacity);
    }
    static constexpr uint32_t kCapacity = 256;
    test::TempDir dir;
    DataBuffer buffer;
};

TEST_F(ImageFileTest, LoadsErasedImagesCutAtTheCapacity) {
    for (const char* name : {"image.hex", "image.HEX", "imagehex"}) EXPECT_TRUE(IsIntelHexName(name)) << name;
    for (const char* name : {"image.Hex", "image.hex.bin"}) EXPECT_FALSE(IsIntelHexName(name)) << name;
    fs::create_directory(dir.file("folder"));
    for (const char* name : {"missing.bin", "folder"}) {
        EXPECT_EQ(LoadImage(dir.file(name).string(), buffer, kCapacity).outcome, Outcome::OpenFailed);
    }
    EXPECT_TRUE(Bytes(0, kCapacity) == std::string(kCapacity, '\x11') && IsMarked(buffer, 0));  // untouched

    ImageLoadResult result = Load("short.bin", std::string(100, 'a'));
    EXPECT_TRUE(result.outcome == Outcome::Loaded && !result.tooLong);
    EXPECT_EQ(Bytes(0, kCapacity + 1), std::string(100, 'a') + std::string(156, '\xFF') + "\x11");
    EXPECT_TRUE(!IsMarked(buffer, 0) && !IsMarked(buffer, kCapacity - 1) && IsMarked(buffer, kCapacity));
    result = Load("long.bin", std::string(kCapacity, 'b') + "c");
    EXPECT_TRUE(result.outcome == Outcome::Loaded && result.tooLong);
    EXPECT_EQ(Bytes(0, kCapacity + 1), std::string(kCapacity, 'b') + "\x11");
    // Intel HEX starts from an erased, unmarked image, even when the file won't open.
    EXPECT_EQ(LoadImage(dir.file("missing.hex").string(), buffer, kCapacity).outcome, Outcome::OpenFailed);
    EXPECT_TRUE(Bytes(0, kCapacity) == std::string(kCapacity, '\xFF') && !IsMarked(buffer, 0));
    EXPECT_FALSE(Load("fits.hex", ":0100FF0042BE\n:00000001FF\n").tooLong);  // the chip's last byte
    EXPECT_TRUE(Load("past.hex", ":020100000102FA\n:00000001FF\n").tooLong);
    EXPECT_EQ(Load("broken.hex", ":0100000042BD\n:0100010043bb\n:00000001FF\n").outcome, Outcome::Malformed);
    EXPECT_EQ(Bytes(0, 2), "\x42\xFF");
}

TEST_F(ImageFileTest, HexRecordsGoWhereTheirAddressesSay) {
    HexLoad load = LoadHex("junk " + Record(0, 0x10, {1, 2, 3}) + "\n" + Record(0, 0, {9}) +
                               Record(0, 0x11, {7, 0xFF, 0xFF}) + Record(3, 0, {0, 0, 0, 0}) +
                               Record(5, 0, {0, 0, 0, 0}) + kEnd + Record(0, 0, {0x42}),
                           0x40);
    ASSERT_TRUE(load.ok);
    EXPECT_EQ(std::vector<uint8_t>(&load.image[0x10], &load.image[0x14]), (std::vector<uint8_t>{1, 7, 0xFF, 0xFF}));
    EXPECT_EQ(load.image[0], 9);
    EXPECT_EQ(load.reader.extent, 0x12u);  // trailing 0xFF loaded but not counted
    // Extended addresses count from the first one, unless data came before it.
    load = LoadHex(Extended(4, 0x0800) + Record(0, 4, {1}) + Extended(4, 0x0801) + Record(0, 2, {2}) + kEnd, 0x20000);
    EXPECT_TRUE(load.ok && load.image[4] == 1 && load.image[0x10002] == 2);
    load = LoadHex(Extended(2, 0x1000) + Record(0, 0, {1}) + Extended(2, 0x2000) + Record(0, 1, {2}) + kEnd, 0x20000);
    EXPECT_TRUE(load.ok && load.image[0] == 1 && load.image[0x10001] == 2);
    load = LoadHex(Record(0, 0, {1}) + Extended(2, 0x1000) + Record(0, 0, {2}) + Extended(4, 2) + Record(0, 1, {3}) +
                       kEnd,
                   0x30000);
    EXPECT_TRUE(load.ok && load.image[0] == 1 && load.image[0x10000] == 2 && load.image[0x20001] == 3);
    EXPECT_FALSE(LoadHex(Extended(2, 0x2000) + Extended(2, 0x1000) + kEnd, 0x100).ok);
    // Only what lies below the capacity is stored, but everything is counted:
    // straddling, erased data beyond it, and a linear base below the origin.
    load = LoadHex(Record(0, 0x1E, {1, 2, 3}) + Record(0, 0x40, {0xFF}) + kEnd, 0x20);
    EXPECT_TRUE(load.ok && load.image[0x1F] == 2 && load.reader.extent == 0x41);
    load = LoadHex(Extended(4, 1) + Extended(4, 0) + Record(0, 0xFFFF, {1, 2}) + kEnd, 0x20);
    EXPECT_EQ(load.reader.extent, 0xFFFFFFFFu);
    EXPECT_EQ(LoadHex(Record(0, 0x1E, {1, 2}) + kEnd, 0x20).reader.extent, 0x20u);
    // A malformed file fails but keeps the records before the fault.
    std::string lowerCase = Record(0, 1, {0x1A});
    std::transform(lowerCase.begin(), lowerCase.end(), lowerCase.begin(), [](char c) { return std::tolower(c); });
    std::string badChecksum = Record(0, 1, {1});
    badChecksum[11] = '0';
    for (const std::string& tail :
         {lowerCase + kEnd, badChecksum + kEnd, Record(6, 0, {}) + kEnd, Record(4, 0, {0, 0, 0}) + kEnd,
          Record(2, 0, {0}) + kEnd, ":0100000001\r\n" + kEnd, std::string(":0400000001"), std::string()}) {
        const HexLoad bad = LoadHex(Record(0, 0, {0xAB}) + tail, 16);
        EXPECT_TRUE(!bad.ok && bad.image[0] == 0xAB) << tail;
    }
}

// Exactly the capacity, through a link to a file whose name is as long as the
// file system allows, keeping its mode; a failed save leaves no temporary file.
TEST_F(ImageFileTest, SaveWritesTheFileANameStandsForOrNothing) {
    const auto target = dir.file(std::string(250, 'n'));
    WriteFileText(target, std::string(1000, 'x'));
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(target, mode);
    fs::create_directory(dir.file("links"));
    fs::create_symlink("../" + target.filename().string(), dir.file("links/image.bin"));
    ASSERT_TRUE(SaveImage(dir.file("links/image.bin").string(), buffer, kCapacity));
    EXPECT_TRUE(fs::is_symlink(dir.file("links/image.bin")));
    EXPECT_EQ(ReadFileText(target), std::string(kCapacity, '\x11'));
    EXPECT_EQ(fs::status(target).permissions(), mode);

    EXPECT_FALSE(SaveImage(dir.file("links").string(), buffer, kCapacity));
    EXPECT_FALSE(SaveImage(dir.file("no/such/image.bin").string(), buffer, kCapacity));
    EXPECT_TRUE(fs::is_directory(dir.file("links")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);

    // A directory that takes no new file: the file is written in place. Root may
    // write anywhere, so the save runs as an unprivileged user in a child process.
    const auto locked = dir.file("locked");
    fs::create_directory(locked);
    const auto inPlace = locked / "image.bin";
    WriteFileText(inPlace, std::string(1000, 'x'));
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(inPlace, fs::perms::all);
    fs::permissions(locked, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && ::setuid(65534) != 0) std::_Exit(2);
            std::_Exit(SaveImage(inPlace.string(), buffer, kCapacity) ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFileText(inPlace), std::string(kCapacity, '\x11'));
    fs::permissions(locked, fs::perms::owner_all);
}

TEST(FileCaption, LongPathsKeepTheirLastFiftyCharacters) {
    const std::string sixty(60, 'p');
    EXPECT_EQ(FileCaptionSuffix(sixty), "   " + sixty);
    EXPECT_EQ(FileCaptionSuffix(sixty + "q"), "   ..." + std::string(49, 'p') + "q");
    // Counted in characters, so a multi-byte character is never split.
    EXPECT_EQ(FileCaptionSuffix(std::string(20, 'd') + "\u6587\u4EF6" + std::string(48, 'f')),
              "   ...\u6587\u4EF6" + std::string(48, 'f'));
}

}  // namespace
}  // namespace qbr
