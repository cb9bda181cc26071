#include "buffer/ChangeMarks.h"
#include "buffer/ImageFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

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
