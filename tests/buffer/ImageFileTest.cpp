// SPDX-License-Identifier: GPL-3.0-or-later
// Image files: raw, Intel HEX and S-record loads into the buffer, and saves that
// never leave a damaged or half-written file. The record formats are checked
// against srec_cat and objcopy where they are installed.
#include "buffer/ChangeMarks.h"
#include "buffer/ImageFile.h"
#include "buffer/IntelHexReader.h"
#include "buffer/SRecordReader.h"
#include "support/Pattern.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <random>
#include <sstream>
#include <unistd.h>

namespace qbr {
namespace {

namespace fs = std::filesystem;
using Outcome = ImageLoadResult::Outcome;
using test::ReadFileText;
using test::WriteFileText;

std::string HexPairs(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (uint8_t b : bytes) text += {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15]};
    return text;
}

// One record as upper-case text with its checksum.
std::string Record(uint8_t type, uint16_t address, std::vector<uint8_t> data) {
    data.insert(data.begin(), {uint8_t(data.size()), uint8_t(address >> 8), uint8_t(address), type});
    data.push_back(uint8_t(-std::accumulate(data.begin(), data.end(), 0)));
    return ":" + HexPairs(data) + "\r\n";
}
const std::string kEnd = ":00000001FF\r\n";

// One S-record, its address field as wide as its type says.
std::string SRecord(char type, uint32_t address, const std::vector<uint8_t>& data = {}) {
    const int width = "2234223432"[type - '0'] - '0';
    std::vector<uint8_t> bytes{uint8_t(width + data.size() + 1)};
    for (int i = width; i-- > 0;) bytes.push_back(uint8_t(address >> 8 * i));
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.push_back(uint8_t(~std::accumulate(bytes.begin(), bytes.end(), 0)));
    return std::string("S") + type + HexPairs(bytes) + "\n";
}

bool HaveConverters() {
    return std::system("command -v srec_cat >/dev/null && command -v objcopy >/dev/null") == 0;
}

template <typename Reader>
struct RecordLoad {
    Reader reader;
    std::vector<uint8_t> image;
    bool ok = false;
};
using HexLoad = RecordLoad<IntelHexReader>;

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
    // Through the buffer, whose guard bytes after the capacity must stay.
    ImageLoadResult Load(const std::string& name, const std::string& content, uint32_t capacity = kCapacity) {
        WriteFileText(dir.file(name), content);
        std::fill_n(&buffer.bytes[capacity], 64, 0x11);
        const ImageLoadResult result = LoadImage(dir.file(name).string(), buffer, capacity);
        EXPECT_EQ(Bytes(capacity, capacity + 64), std::string(64, '\x11'));
        return result;
    }
    // Loads `text` into `capacity` bytes of 0xFF; the guard bytes after them stay.
    template <typename Reader = IntelHexReader>
    RecordLoad<Reader> LoadHex(const std::string& text, uint32_t capacity) {
        WriteFileText(dir.file("image.hex"), text);
        RecordLoad<Reader> load{{}, std::vector<uint8_t>(capacity + 64, 0x5A)};
        std::fill_n(load.image.begin(), capacity, 0xFF);
        load.ok = load.reader.Load(dir.file("image.hex").string(), load.image.data(), capacity);
        EXPECT_TRUE(std::all_of(load.image.begin() + capacity, load.image.end(), [](uint8_t b) { return b == 0x5A; }));
        return load;
    }
    void Run(const std::string& command) {
        EXPECT_EQ(std::system(("cd " + dir.path().string() + " && " + command).c_str()), 0) << command;
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

TEST_F(ImageFileTest, SRecordsFollowTheirRules) {
    for (const char* name : {"a.srec", "a.S19", "a.s28", "a.S37", "a.Mot"}) EXPECT_TRUE(IsSRecordName(name)) << name;
    for (const char* name : {"a.srec.bin", "a.s20", "srec", "a.hex"}) EXPECT_FALSE(IsSRecordName(name)) << name;
    // The header is skipped, blanks and any line end may stand between records, a later
    // record overwrites an earlier one, one wholly past the capacity still counts, and
    // nothing after the end record is read.
    auto load = LoadHex<SRecordReader>(SRecord('0', 0, {'h', 'i'}) + "\r \t" + SRecord('2', 0x20010, {1, 2}) +
                                           SRecord('2', 0x2000F, {9, 8}) + SRecord('3', 0x20040, {0xFF}) +
                                           SRecord('6', 3) + SRecord('8', 0) + "junk",
                                       0x20);
    EXPECT_TRUE(load.ok && load.image[0xF] == 9 && load.image[0x10] == 8 && load.image[0x11] == 2 &&
                load.reader.extent == 0x41);
    // A malformed file (bad checksum, lower case, bad character, record longer or
    // shorter than its count, count too small for the address, unknown type, wrong
    // count record, junk, data below the origin, no end) keeps the records before the fault.
    const std::string first = SRecord('3', 0x10000, {0xAB}), end = SRecord('9', 0);
    for (const std::string& tail :
         {"S20501000101F6\n" + end, "S2050100010aEE\n" + end, "S205010001Z1F7\n" + end, "S20501000101F700\n" + end,
          "S20601000101F7\n" + end, "S2030100FB\n" + end, "S4030000FC\n" + end, "SA030000FC\n" + end,
          SRecord('5', 2) + end, "x" + end, SRecord('1', 0xFFFF, {1}) + end, SRecord('7', 0, {1}), SRecord('5', 1),
          std::string()}) {
        const auto bad = LoadHex<SRecordReader>(first + tail, 16);
        EXPECT_TRUE(!bad.ok && bad.image[0] == 0xAB) << tail;
    }
    EXPECT_EQ(Load("broken.s19", first).outcome, Outcome::Malformed);
}

// srec_cat's S-records of random images at various link addresses, address widths,
// record lengths and line ends, with the data records shuffled (the first stays
// first: it sets the origin), loaded into a capacity that holds them exactly or cuts
// through them.
TEST_F(ImageFileTest, SRecordsLandWhereSrecCatPutsThem) {
    if (!HaveConverters()) GTEST_SKIP() << "needs srec_cat (package srecord) and objcopy (binutils)";
    std::mt19937 random(5150);
    const char* styles[] = {"-address-length=2", "-address-length=3 -crlf", "-line-length=30", "-line-length=250"};
    for (uint32_t address : {0u, 0x100u, 0x08000000u, 0x0801FFF3u, 0xFFF0FFFFu, 0x7FFEu, 0x12345678u, 0x3FFFFu}) {
        const std::vector<uint8_t> image = test::Pattern(random() % 0x14000 + 1, uint8_t(random()));
        WriteFileText(dir.file("in.bin"), {image.begin(), image.end()});
        const std::string at = std::to_string(address), style = styles[random() % 4];
        Run("srec_cat in.bin -binary -offset " + at + " -o in.srec -execution-start-address " + at + " " + style);
        std::vector<std::string> lines;
        std::istringstream in(ReadFileText(dir.file("in.srec")));
        for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
        std::shuffle(lines.begin() + 2, lines.end() - 2, random);  // after S0 and the first, before S5 and S7
        const uint32_t origin = address & ~0xFFFFu, start = address - origin;
        const uint32_t extent = start + uint32_t(image.size());
        const uint32_t capacity = random() % 2 ? extent : start + random() % (extent - start);
        const std::string cap = std::to_string(capacity);
        Run("srec_cat in.srec -offset -" + std::to_string(origin) + " -fill 0xFF 0 " + cap + " -crop 0 " + cap +
            " -o want.bin -binary");
        const ImageLoadResult result = Load("in.S28", std::accumulate(lines.begin(), lines.end(), std::string()),
                                            capacity);
        EXPECT_TRUE(result.outcome == Outcome::Loaded && result.tooLong == (extent > capacity)) << address << style;
        EXPECT_TRUE(Bytes(0, capacity) == ReadFileText(dir.file("want.bin"))) << address << style;
    }
}

// Our Intel HEX and S-records, read back by objcopy, srec_cat and our own readers:
// many 64 KiB blocks (more records than S5 counts), a block edge inside a record,
// and the last byte at the top of the address space, one byte further refused. Our
// readers keep our files at their own addresses, also a part of a chip that starts
// past the first 64 KiB block, and find the higher ones too long for any chip.
TEST_F(ImageFileTest, SavedRecordsReadBackByEveryReader) {
    const bool converters = HaveConverters();
    const std::pair<uint32_t, uint32_t> cases[] = {{0, 0x110000},
                                                   {0x1FFF8, 0x3001},
                                                   {0x0800FFF8, 0x3001},
                                                   {0xFFFEFFF1, 0x1000F}};
    const char* formats[][3] = {{"out.hex", "ihex", " -intel"}, {"out.srec", "srec", ""}};  // name, objcopy, srec_cat
    for (const auto& [address, size] : cases) {
        const std::vector<uint8_t> image = test::Pattern(size, uint8_t(address));
        const std::string bytes(image.begin(), image.end());
        const bool fits = uint64_t{address} + size <= DataBuffer::kSize;
        for (const auto& [name, objcopy, srecCat] : formats) {
            ASSERT_TRUE(SaveImage(dir.file(name).string(), image, address));
            if (converters) {
                Run(std::string("objcopy -I ") + objcopy + " -O binary " + name + " objcopy.bin && srec_cat " + name +
                    srecCat + " -offset -" + std::to_string(address) + " -o srec_cat.bin -binary");
                EXPECT_TRUE(ReadFileText(dir.file("objcopy.bin")) == bytes &&
                            ReadFileText(dir.file("srec_cat.bin")) == bytes);
            }
            const ImageLoadResult result = LoadImage(dir.file(name).string(), buffer,
                                                     fits ? address + size : DataBuffer::kSize);
            EXPECT_TRUE(result.outcome == Outcome::Loaded && result.tooLong != fits && result.origin == 0) << name;
            EXPECT_TRUE(!fits ||
                        (Bytes(address, address + size) == bytes && Bytes(0, address) == std::string(address, '\xFF')))
                << name;
        }
        EXPECT_FALSE(SaveImage(dir.file("over.hex").string(), image, 1u - size));  // one byte past 2^32 - 1
    }
}

// What the command line decides on: an image's fit in the room, its length and
// the file address that went to offset 0; from files and from a stream.
TEST_F(ImageFileTest, ImagesTellTheirFitLengthAndOrigin) {
    using enum ImageFit;
    const std::vector<uint8_t> kOwn(kChipAddressHeader.begin(), kChipAddressHeader.end());
    struct Case {
        const char* name;
        std::string content;
        ImageFit fit;
        uint64_t length;
        uint32_t origin;
    };
    const Case cases[] = {
        {"exact.bin", std::string(kCapacity, 'a'), Fits, kCapacity, 0},
        {"long.bin", std::string(kCapacity + 1, 'a'), TooLong, kCapacity + 1, 0},
        {"empty.bin", "", Empty, 0, 0},
        {"none.hex", kEnd, Empty, 0, 0},
        {"erased.hex", Record(0, 0, {0xFF}) + kEnd, Fits, 0, 0},  // data, if all erased
        {"linked.hex", Extended(4, 0x0800) + Record(0, 0xFF, {1}) + kEnd, Fits, 0x100, 0x08000000},
        {"past.hex", Extended(4, 0x0800) + Record(0, 0x100, {1}) + kEnd, TooLong, 0x101, 0x08000000},
        {"own.hex", Extended(4, 0) + Extended(4, 0x0800) + Record(0, 0, {1}) + kEnd, TooLong, 0x08000001, 0},
        {"none.srec", SRecord('3', 0) + SRecord('7', 0), Empty, 0, 0},
        {"linked.srec", SRecord('3', 0x08000010, {1}) + SRecord('7', 0), Fits, 0x11, 0x08000000},
        {"block.srec", SRecord('0', 0, kOwn) + SRecord('3', 0x10010, {1}) + SRecord('7', 0), TooLong, 0x10011, 0},
        {"late.srec", SRecord('3', 0x10010, {1}) + SRecord('0', 0, kOwn) + SRecord('7', 0), Fits, 0x11, 0x10000},
    };
    for (const Case& c : cases) {
        const ImageLoadResult result = Load(c.name, c.content);
        EXPECT_TRUE(result.outcome == Outcome::Loaded && result.Fit() == c.fit && result.length == c.length &&
                    result.origin == c.origin)
            << c.name << ": " << result.length << " " << result.origin;
    }
    for (const size_t size : {size_t{0}, size_t{1}, size_t{kCapacity}, size_t{kCapacity + 1}}) {
        std::FILE* stream = std::tmpfile();
        ASSERT_TRUE(stream);
        std::fwrite(std::string(size, 'b').data(), 1, size, stream);
        std::rewind(stream);
        const ImageLoadResult result = LoadRawStream(stream, buffer, kCapacity);
        std::fclose(stream);
        EXPECT_EQ(result.Fit(), size == 0 ? Empty : size > kCapacity ? TooLong : Fits) << size;
        EXPECT_EQ(Bytes(0, kCapacity), std::string(std::min<size_t>(size, kCapacity), 'b') +
                                           std::string(kCapacity - std::min<size_t>(size, kCapacity), '\xFF'));
    }
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
