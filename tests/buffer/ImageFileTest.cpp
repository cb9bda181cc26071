// SPDX-License-Identifier: GPL-3.0-or-later
// Image files: raw and Intel HEX loads into the buffer, and saves that never
// leave a damaged or half-written file.
#include "buffer/ChangeMarks.h"
#include "buffer/ImageFile.h"
#include "buffer/IntelHexReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <unistd.h>

namespace qbr {
namespace {

namespace fs = std::filesystem;
using Outcome = ImageLoadResult::Outcome;
using test::ReadFileText;
using test::WriteFileText;

// One record as upper-case text with its checksum.
std::string Record(uint8_t type, uint16_t address, std::vector<uint8_t> data) {
    data.insert(data.begin(), {uint8_t(data.size()), uint8_t(address >> 8), uint8_t(address), type});
    data.push_back(uint8_t(-std::accumulate(data.begin(), data.end(), 0)));
    std::string text = ":";
    for (uint8_t b : data) text += {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15]};
    return text + "\r\n";
}
const std::string kEnd = ":00000001FF\r\n";

struct HexLoad {
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
    // Loads `text` into `capacity` bytes of 0xFF; the guard bytes after them stay.
    HexLoad LoadHex(const std::string& text, uint32_t capacity) {
        WriteFileText(dir.file("image.hex"), text);
        HexLoad load{{}, std::vector<uint8_t>(capacity + 64, 0x5A)};
        std::fill_n(load.image.begin(), capacity, 0xFF);
        load.ok = load.reader.Load(dir.file("image.hex").string(), load.image.data(), capacity);
        EXPECT_TRUE(std::all_of(load.image.begin() + capacity, load.image.end(), [](uint8_t b) { return b == 0x5A; }));
        return load;
    }
    static constexpr uint32_t kCapacity = 256;
    test::TempDir dir;
    DataBuffer buffer;
};

TEST_F(ImageFileTest, LoadsErasedImagesCutAtTheCapacity) {
    for (const char* name : {"image.hex", "image.HEX", "imagehex"}) EXPECT_TRUE(IsIntelHexName(name)) << name;
    for (const char* name : {"image.Hex", "image.hex.bin"}) EXPECT_FALSE(IsIntelHexName(name)) << name;
    EXPECT_EQ(LoadImage(dir.path().string(), buffer, kCapacity).outcome, Outcome::OpenFailed);  // a directory
    EXPECT_TRUE(Bytes(0, kCapacity) == std::string(kCapacity, '\x11') && IsMarked(buffer, 0));  // untouched

    const ImageLoadResult result = Load("short.bin", std::string(100, 'a'));  // too long: in the core's tests
    EXPECT_TRUE(result.outcome == Outcome::Loaded && !result.tooLong);
    EXPECT_EQ(Bytes(0, kCapacity + 1), std::string(100, 'a') + std::string(156, '\xFF') + "\x11");
    EXPECT_TRUE(!IsMarked(buffer, 0) && !IsMarked(buffer, kCapacity - 1) && IsMarked(buffer, kCapacity));
    // Intel HEX starts from an erased, unmarked image, even when the file won't open.
    EXPECT_EQ(LoadImage(dir.file("missing.hex").string(), buffer, kCapacity).outcome, Outcome::OpenFailed);
    EXPECT_TRUE(Bytes(0, kCapacity) == std::string(kCapacity, '\xFF') && !IsMarked(buffer, 0));
    EXPECT_FALSE(Load("fits.hex", ":0100FF0042BE\n:00000001FF\n").tooLong);  // the chip's last byte
    EXPECT_TRUE(Load("past.hex", ":020100000102FA\n:00000001FF\n").tooLong);
    EXPECT_EQ(Load("broken.hex", ":0100000042bd\n:00000001FF\n").outcome, Outcome::Malformed);
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
    // A malformed file (lower case, bad checksum, unknown type, extended address
    // of the wrong size, cut short, no end) fails but keeps the records before the fault.
    for (const std::string& tail :
         {":010001001ae4\r\n" + kEnd, ":01000100010D\r\n" + kEnd, Record(6, 0, {}) + kEnd,
          Record(4, 0, {0, 0, 0}) + kEnd, Record(2, 0, {0}) + kEnd, std::string(":0400000001"), std::string()}) {
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
