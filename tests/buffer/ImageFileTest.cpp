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

// One file per row (see ExpectRows); fault None: the file loads.
struct MalformedRow {
    std::string tail;
    RecordFault fault;
    uint64_t line;
};

template <typename Reader>
struct RecordLoad {
    Reader reader;
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
    // Each row's file is `first`, a data record of 0xAB at offset 0 on line 1, then the
    // row's text. A malformed file fails with its fault and line and keeps the records
    // before the fault.
    template <typename Reader>
    void ExpectRows(const std::string& first, const std::vector<MalformedRow>& rows) {
        for (const MalformedRow& row : rows) {
            const auto load = LoadHex<Reader>(first + row.tail, 16);
            EXPECT_TRUE(load.ok == (row.fault == RecordFault::None) && load.reader.error.fault == row.fault &&
                        load.reader.error.line == row.line && load.image[0] == 0xAB)
                << row.tail << " fault " << int(load.reader.error.fault) << " line " << load.reader.error.line;
        }
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
}

TEST_F(ImageFileTest, HexRecordsGoWhereTheirAddressesSay) {
    auto load = LoadHex(" \t" + Record(0, 0x10, {1, 2, 3}) + "\n" + Record(0, 0, {9}) +
                            Record(0, 0x11, {7, 0xFF, 0xFF}) + Record(3, 0, {0, 0, 0, 0}) + Record(5, 0, {0, 0, 0, 0}) +
                            kEnd + "\r\n \n",
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
    EXPECT_EQ(LoadHex(Extended(2, 0x2000) + Extended(2, 0x1000) + kEnd, 0x100).reader.error.fault,
              RecordFault::AddressBelowStart);
    // Only what lies below the capacity is stored, but everything is counted:
    // straddling, erased data beyond it, and a linear base below the origin.
    load = LoadHex(Record(0, 0x1E, {1, 2, 3}) + Record(0, 0x40, {0xFF}) + kEnd, 0x20);
    EXPECT_TRUE(load.ok && load.image[0x1F] == 2 && load.reader.extent == 0x41);
    load = LoadHex(Extended(4, 1) + Extended(4, 0) + Record(0, 0xFFFF, {1, 2}) + kEnd, 0x20);
    EXPECT_EQ(load.reader.extent, 0xFFFFFFFFu);
}

// Every class of checksum, each record type's own checksum, digits of either case and
// records whose length byte is wrong; then what may stand between and after records.
TEST_F(ImageFileTest, HexChecksumsDigitsAndLengthsByClass) {
    using enum RecordFault;
    const std::vector<MalformedRow> rows = {
        {":0100010042BC\n" + kEnd, None, 0},  // a checksum, one more, one less
        {":0100010042BD\n" + kEnd, BadChecksum, 2},
        {":0100010042BB\n" + kEnd, BadChecksum, 2},
        {":01000100423C\n" + kEnd, BadChecksum, 2},  // wrong in the top bit alone
        {":04A5C300FFFFFFFF98\n" + kEnd, None, 0},   // the sum wraps five times
        {":04A5C300FFFFFFFF99\n" + kEnd, BadChecksum, 2},
        {":020000021000EC\n" + kEnd, None, 0},  // another type, right and one off
        {":020000021000ED\n" + kEnd, BadChecksum, 2},
        {":00000001FE\n", BadChecksum, 2},
        {":0100000042bd\n" + kEnd, LowerCaseDigit, 2},  // in the checksum, the count, the address
        {":0a000000" + std::string(20, '0') + "F6\n" + kEnd, LowerCaseDigit, 2},
        {":01000a0042B3\n" + kEnd, LowerCaseDigit, 2},
        {":0100000G42B5\n" + kEnd, BadCharacter, 2},
        {":0100000042B\n" + kEnd, RecordLength, 2},   // an odd number of digits
        {":0100000042B", MissingEnd, 2},              // cut short
        {":0200000042BC\n" + kEnd, RecordLength, 2},  // the length byte one too big, one too small
        {":0000000042BD\n" + kEnd, RecordLength, 2},
        {":00000001FF00\n", RecordLength, 2},
        {Record(4, 0, {0, 0, 0}) + kEnd, RecordLength, 2},  // extended addresses of the wrong size
        {Record(2, 0, {0}) + kEnd, RecordLength, 2},
        {Record(6, 0, {}) + kEnd, UnknownType, 2},
        {"\r \n\r" + Record(0, 1, {1}) + "0100020042BB\n" + kEnd, TextBetweenRecords, 6},  // a lost ':'
        {"\n;" + kEnd, TextBetweenRecords, 3},
        {kEnd + Record(0, 0, {0x42}), TextAfterEnd, 3},
        {kEnd + "\n\n\x1A", TextAfterEnd, 5},
        {kEnd + "\r\n\t \r", None, 0},
        {Record(0, 1, {1}), MissingEnd, 0},
        {"", MissingEnd, 0},
    };
    ExpectRows<IntelHexReader>(Record(0, 0, {0xAB}), rows);
    // Every digit in both places of a pair.
    const auto load = LoadHex(":080000000123456789ABCDEF38\n:08000800FEDCBA9876543210B8\n" + kEnd, 16);
    EXPECT_TRUE(load.ok &&
                HexPairs({load.image.begin(), load.image.begin() + 16}) == "0123456789ABCDEFFEDCBA9876543210");
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
    // The header is skipped, blanks and any line end may stand between records and
    // after the end record, a later record overwrites an earlier one, one wholly past
    // the capacity still counts.
    auto load = LoadHex<SRecordReader>(SRecord('0', 0, {'h', 'i'}) + "\r \t" + SRecord('2', 0x20010, {1, 2}) +
                                           SRecord('2', 0x2000F, {9, 8}) + SRecord('3', 0x20040, {0xFF}) +
                                           SRecord('6', 3) + SRecord('8', 0) + "\r\n\t",
                                       0x20);
    EXPECT_TRUE(load.ok && load.image[0xF] == 9 && load.image[0x10] == 8 && load.image[0x11] == 2 &&
                load.reader.extent == 0x41);
    const std::string end = SRecord('9', 0);
    using enum RecordFault;
    const std::vector<MalformedRow> rows = {
        {"S104000142B8\n" + end, None, 0},  // every class of checksum as for Intel HEX
        {"S104000142B9\n" + end, BadChecksum, 2},
        {"S104000142B7\n" + end, BadChecksum, 2},
        {"S10400014238\n" + end, BadChecksum, 2},
        {"S107A5C3FFFFFFFF94\n" + end, None, 0},
        {"S107A5C3FFFFFFFF95\n" + end, BadChecksum, 2},
        {"S205012345424F\n" + end, None, 0},
        {"S2050123454250\n" + end, BadChecksum, 2},
        {"S3060123456742E7\n" + end, None, 0},
        {"S3060123456742E6\n" + end, BadChecksum, 2},
        {"S9030000FD\n", BadChecksum, 2},
        {"S1040001FBff\n" + end, LowerCaseDigit, 2},
        {"S1040001Z2B8\n" + end, BadCharacter, 2},
        {"S105000142B8\n" + end, RecordLength, 2},  // the count one too big, one too small, below the address
        {"S103000142B8\n" + end, RecordLength, 2},
        {"S10200FD\n" + end, RecordLength, 2},
        {"S104000142B\n" + end, RecordLength, 2},
        {"S504000142B8\n" + end, RecordLength, 2},  // count and end records carry no data
        {"S904000042B9\n", RecordLength, 2},
        {"S4030000FC\n" + end, UnknownType, 2},
        {"SA030000FC\n" + end, UnknownType, 2},
        {"\r\ns9030000FC\n", TextBetweenRecords, 3},
        {end + "\n" + "S104000142B8\n", TextAfterEnd, 4},
        // Without an end record the file is whole when a count record counts every
        // data record; one cut short may hold neither.
        {"S5030001FB\n", None, 0},
        {"S5030001FC\n", BadChecksum, 2},
        {"S5030002FA\n" + end, CountMismatch, 2},
        {"S5030000FC\n" + end, CountMismatch, 2},
        {"S5030001FB\nS104000142B8\n", MissingEnd, 0},
        {"S104000142B8\n", MissingEnd, 0},
        {"S1040001", MissingEnd, 2},
        {"", MissingEnd, 0},
    };
    ExpectRows<SRecordReader>("S1040000AB50\n", rows);
    const std::string first = SRecord('3', 0x10000, {0xAB});
    EXPECT_EQ(LoadHex<SRecordReader>(first + SRecord('1', 0xFFFF, {1}) + end, 16).reader.error.fault,
              AddressBelowStart);
    const ImageLoadResult result = Load("broken.s19", first + "S5030002FA\n");
    EXPECT_TRUE(result.outcome == Outcome::Malformed && result.error.fault == CountMismatch && result.error.line == 2);
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
        // Without a start address srec_cat ends the file with its count record alone.
        const std::string execution = random() % 2 ? " -execution-start-address " + at : "";
        Run("srec_cat in.bin -binary -offset " + at + " -o in.srec" + execution + " " + style);
        std::vector<std::string> lines;
        std::istringstream in(ReadFileText(dir.file("in.srec")));
        for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
        std::shuffle(lines.begin() + 2, lines.end() - 2, random);  // after S0 and the first, before S5 (and S7)
        const uint32_t origin = address & ~0xFFFFu, start = address - origin;
        const uint32_t extent = start + uint32_t(image.size());
        const uint32_t capacity = random() % 2 ? extent : start + random() % (extent - start);
        const std::string cap = std::to_string(capacity);
        Run("srec_cat in.srec -offset -" + std::to_string(origin) + " -fill 0xFF 0 " + cap + " -crop 0 " + cap +
            " -o want.bin -binary");
        const ImageLoadResult result = Load("in.S28", std::accumulate(lines.begin(), lines.end(), std::string()),
                                            capacity);
        EXPECT_TRUE(result.outcome == Outcome::Loaded && result.tooLong == (extent > capacity))
            << address << style << execution;
        EXPECT_TRUE(Bytes(0, capacity) == ReadFileText(dir.file("want.bin"))) << address << style << execution;
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
    enum ImageFit { Fits, TooLong, Empty };
    const auto fitOf = [](const ImageLoadResult& r) { return r.empty ? Empty : r.tooLong ? TooLong : Fits; };
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
        EXPECT_TRUE(result.outcome == Outcome::Loaded && fitOf(result) == c.fit && result.length == c.length &&
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
        EXPECT_EQ(fitOf(result), size == 0 ? Empty : size > kCapacity ? TooLong : Fits) << size;
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
