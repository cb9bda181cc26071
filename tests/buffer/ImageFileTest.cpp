// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/ChangeMarks.h"
#include "buffer/ImageFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace qbr {
namespace {

using Outcome = ImageLoadResult::Outcome;
using test::WriteFileText;

// A 256-byte chip over a buffer holding edits: 512 bytes of 0x11, every one marked.
class ImageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(buffer.Allocate());
        buffer.SetActiveLength(kCapacity);
        std::fill_n(buffer.bytes.begin(), 2 * kCapacity, 0x11);
        MarkRange(buffer, 0, 2 * kCapacity);
    }
    std::string Bytes(uint32_t from, uint32_t to) const { return {&buffer.bytes[from], &buffer.bytes[to]}; }
    ImageLoadResult Load(const std::string& name, const std::string& content) {
        WriteFileText(dir.file(name), content);
        return LoadImage(dir.file(name).string(), buffer, kCapacity);
    }
    static constexpr uint32_t kCapacity = 256;
    test::TempDir dir;
    DataBuffer buffer;
};

TEST(ImageFileName, OnlyTheLastThreeCharactersDecide) {
    for (const char* name : {"image.hex", "image.HEX", "imagehex"}) EXPECT_TRUE(IsIntelHexName(name)) << name;
    for (const char* name : {"image.Hex", "image.hex.bin"}) EXPECT_FALSE(IsIntelHexName(name)) << name;
}

TEST_F(ImageFileTest, RawImageIsErasedFilledAndCutAtTheCapacity) {
    std::filesystem::create_directory(dir.file("folder"));
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
}

TEST_F(ImageFileTest, IntelHexStartsFromAnErasedUnmarkedImage) {
    EXPECT_EQ(LoadImage(dir.file("missing.hex").string(), buffer, kCapacity).outcome, Outcome::OpenFailed);
    EXPECT_TRUE(Bytes(0, kCapacity) == std::string(kCapacity, '\xFF') && !IsMarked(buffer, 0));
    EXPECT_FALSE(Load("fits.hex", ":0100FF0042BE\n:00000001FF\n").tooLong);  // the chip's last byte
    EXPECT_TRUE(Load("past.hex", ":020100000102FA\n:00000001FF\n").tooLong);
    EXPECT_EQ(Load("broken.hex", ":0100000042BD\n:0100010043bb\n:00000001FF\n").outcome, Outcome::Malformed);
    EXPECT_EQ(Bytes(0, 2), "\x42\xFF");
}

TEST_F(ImageFileTest, SaveWritesExactlyTheCapacityAndFailsSafely) {
    const auto target = dir.file("image.bin");
    WriteFileText(target, std::string(1000, 'x'));
    ASSERT_TRUE(SaveImage(target.string(), buffer, kCapacity));
    EXPECT_EQ(test::ReadFileText(target), std::string(kCapacity, '\x11'));

    std::filesystem::create_directory(dir.file("folder"));
    EXPECT_FALSE(SaveImage(dir.file("folder").string(), buffer, kCapacity));
    EXPECT_FALSE(SaveImage(dir.file("no/such/image.bin").string(), buffer, kCapacity));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no temporaries left
}

// Through a link, with a name as long as the file system allows, keeping the mode.
TEST_F(ImageFileTest, SaveWritesTheFileANameStandsFor) {
    namespace fs = std::filesystem;
    const auto target = dir.file(std::string(250, 'n'));
    WriteFileText(target, "old");
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(target, mode);
    fs::create_directory(dir.file("links"));
    fs::create_symlink("../" + target.filename().string(), dir.file("links/image.bin"));
    ASSERT_TRUE(SaveImage(dir.file("links/image.bin").string(), buffer, kCapacity));
    EXPECT_TRUE(fs::is_symlink(dir.file("links/image.bin")));
    EXPECT_EQ(test::ReadFileText(target), std::string(kCapacity, '\x11'));
    EXPECT_EQ(fs::status(target).permissions(), mode);
}

// A directory that takes no new file: the file is written in place. Root may
// write anywhere, so the save runs as an unprivileged user in a child process.
TEST_F(ImageFileTest, SaveIntoALockedDirectoryWritesInPlace) {
    namespace fs = std::filesystem;
    const auto locked = dir.file("locked");
    fs::create_directory(locked);
    const auto target = locked / "image.bin";
    WriteFileText(target, std::string(1000, 'x'));
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(target, fs::perms::all);
    fs::permissions(locked, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && ::setuid(65534) != 0) std::_Exit(2);
            std::_Exit(SaveImage(target.string(), buffer, kCapacity) ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(test::ReadFileText(target), std::string(kCapacity, '\x11'));
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
