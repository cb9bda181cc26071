// SPDX-License-Identifier: GPL-3.0-or-later
// The chip functions beyond the window's commands: the full diff, sparse writes,
// ranges, repeated reads and backups, on the emulated programmer.
#include "base/AtomicFile.h"
#include "ops/ChipCommands.h"
#include "ops/ChipDiff.h"
#include "ops/GuardedChange.h"
#include "ops/OpsFixture.h"
#include "ops/RepeatedRead.h"
#include "ops/SparseWrite.h"

#include <numeric>

namespace qbr {
namespace {

using test::Pattern;
using Ranges = std::vector<ChipRange>;
using ChipSafety = test::OpsTest;

// Every class of difference, one row each, against an image of 40 bytes of 0x0F at
// 0x100: bits the chip lacks only (1 in the image), has only (0 in it), both, in one
// byte or in several, single bits at the first and the last byte, several bits in a
// byte, and differences parted by 15 equal bytes (merged) or 16 (not).
TEST(ImageDiff, TheBitsNameTheCauseAndCloseDifferencesMerge) {
    using enum DiffCause;
    struct Case {
        const char* name;
        std::vector<std::pair<size_t, uint8_t>> chip;  // bytes of the chip that differ from the image
        DiffCause cause;
        Ranges ranges;
        uint64_t bytes, notProgrammed, notErased;
    };
    const Case cases[] = {
        {"same", {}, None, {}, 0, 0, 0},
        {"first byte one bit set", {{0, 0x1F}}, NotProgrammed, {{0x100, 1}}, 1, 1, 0},
        {"last byte one bit clear", {{39, 0x0E}}, NotErased, {{0x127, 1}}, 1, 0, 1},
        {"both ways in one byte", {{5, 0x1E}}, DataDiffers, {{0x105, 1}}, 1, 1, 1},
        {"both ways, first and last", {{0, 0xFF}, {39, 0x00}}, DataDiffers, {{0x100, 1}, {0x127, 1}}, 2, 4, 4},
        {"more set than clear", {{0, 0xFF}, {1, 0x0E}}, DataDiffers, {{0x100, 2}}, 2, 4, 1},
        {"more clear than set", {{0, 0x00}, {1, 0x1F}}, DataDiffers, {{0x100, 2}}, 2, 1, 4},
        {"all set", {{0, 0xFF}, {1, 0xFF}, {2, 0xFF}}, NotProgrammed, {{0x100, 3}}, 3, 12, 0},
        {"all clear", {{37, 0x00}, {38, 0x00}, {39, 0x00}}, NotErased, {{0x125, 3}}, 3, 0, 12},
        {"15 equal between", {{2, 0x1F}, {18, 0x1F}}, NotProgrammed, {{0x102, 17}}, 2, 2, 0},
        {"16 equal between", {{2, 0x1F}, {19, 0x1F}}, NotProgrammed, {{0x102, 1}, {0x113, 1}}, 2, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> chip(40, 0x0F);
        for (const auto& [at, value] : c.chip) chip[at] = value;
        const ImageDiff diff = CompareImages(std::vector<uint8_t>(40, 0x0F), chip, 0x100);
        EXPECT_EQ(diff.Cause(), c.cause);
        EXPECT_EQ(diff.ranges, c.ranges);
        EXPECT_EQ(diff.differingBytes, c.bytes);
        EXPECT_EQ(diff.bitsNotProgrammed, c.notProgrammed);
        EXPECT_EQ(diff.bitsNotErased, c.notErased);
    }
}

// A page counts as blank only when every byte of it, the first and the last too, is
// 0xFF. Auto that skips blank pages still leaves the whole image on the chip (old
// data in the blank pages is erased) and writes a fraction of the bytes; a range
// reaches only its bytes.
TEST_F(ChipSafety, SparseWritesAndRangesReachOnlyTheirBytes) {
    std::vector<uint8_t> image(0x10000, 0xFF);
    EXPECT_TRUE(DataRuns(image, 256).empty());
    image[0x0FF] = 0x00;                       // last byte of page 0
    image[0xF00] = 0x00;                       // 14 pages on, less than 4 KiB: joined
    std::fill_n(&image[0x8000], 0x100, 0x00);  // far away, a page of one other value
    image[0xFFFF] = 0x00;                      // the image's last byte
    EXPECT_EQ(DataRuns(image, 256), (Ranges{{0, 0x1000}, {0x8000, 0x100}, {0xFF00, 0x100}}));
    image[0xFF10] = 0x00;
    EXPECT_EQ(DataRuns(std::span(image).first(0xFF80), 256), (Ranges{{0, 0x1000}, {0x8000, 0x100}, {0xFF00, 0x80}}));
    EXPECT_EQ(DataRuns(image, 256, 0), (Ranges{{0, 0x100}, {0xF00, 0x100}, {0x8000, 0x100}, {0xFF00, 0x100}}));

    Connect("W25X05").SetEraseTime(std::chrono::milliseconds(1));
    SetChipBytes(std::vector<uint8_t>(0x10000, 0x00));
    image.assign(0x10000, 0xFF);
    std::ranges::copy(Pattern(0x2000), image.begin() + 0x3000);
    image[0xFFFF] = 0x5A;
    FillBuffer(image);
    ASSERT_TRUE(RunAuto(core, AutoWrite::SkipBlank).Ok()) << host.statusText;
    EXPECT_EQ(ChipBytes(), image);
    size_t written = 0;
    for (const auto& transfer : Device().Writes()) written += transfer.size() > 64 ? transfer.size() : 0;
    EXPECT_EQ(written, 0x2000u + 0x100u);

    Connect("24C02");
    SetChipBytes(Pattern(256));
    FillBuffer(std::vector<uint8_t>(256, 0xA5));
    const ChipRecord chip = core.SelectedChip();
    ASSERT_TRUE(WriteChipRuns(core, chip, Ranges{{0x41, 0x30}}, Caller::User).Ok());
    std::vector<uint8_t> expected = Pattern(256);
    std::fill_n(expected.begin() + 0x41, 0x30, 0xA5);
    EXPECT_EQ(ChipBytes(), expected);
    std::vector<uint8_t> part(0x20);
    ASSERT_TRUE(ReadChipRange(core, chip, {0xE0, 0x20}, part.data(), Caller::User).Ok());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), expected.begin() + 0xE0));
    EXPECT_EQ(ReadChipRange(core, chip, {0xE0, 0x21}, part.data(), Caller::User).outcome, Outcome::Failed);
}

// The loose contact flips its byte on every other read: three reads show it, and a
// backup (two reads) refuses to keep either. A backup never replaces a file: not
// one that was there before (nothing is read), nor one another run made during the
// reads (this run fails, its copy kept under the next free name), and a name the
// program made moves on to the next free one.
TEST_F(ChipSafety, ReadsThatDisagreeKeepNoCopyAndBackupsNeverReplaceAFile) {
    const ChipRecord chip = test::OpsChips()[0];
    const auto path = [this](const char* name) { return dir->file(name).string(); };
    Connect("W25X05").InjectFault({FaultKind::FlipByte, 0x1234});
    SetChipBytes(Pattern(0x10000));
    const RepeatedRead reads = ReadChipRepeatedly(core, chip, {0x1000, 0x1000}, 3);
    EXPECT_FALSE(reads.Agreed());
    EXPECT_EQ(reads.diff.ranges, (Ranges{{0x1234, 1}}));
    EXPECT_EQ(BackupChip(core, chip, path("a.bin"), BackupName::AsGiven).outcome, Outcome::Failed);
    EXPECT_FALSE(std::filesystem::exists(dir->file("a.bin")));

    Connect("W25X05");
    SetChipBytes(Pattern(0x10000));
    EXPECT_EQ(BackupChip(core, chip, path("b.bin"), BackupName::AsGiven).outcome, Outcome::Ok);
    const std::vector<uint8_t> pattern = Pattern(0x10000);
    const std::string copy(pattern.begin(), pattern.end());
    EXPECT_EQ(test::ReadFileText(dir->file("b.bin")), copy);
    const ChipBackup noDirectory = BackupChip(core, chip, path("none/c.bin"), BackupName::FirstFree);
    EXPECT_TRUE(noDirectory.outcome == Outcome::FileError && noDirectory.reads.data.empty());
    std::filesystem::create_symlink("nowhere", dir->file("dangling.bin"));
    for (const char* taken : {"b.bin", "dangling.bin"}) {
        const ChipBackup backup = BackupChip(core, chip, path(taken), BackupName::AsGiven);
        EXPECT_TRUE(backup.fileExists && backup.reads.data.empty()) << taken;
    }
    EXPECT_EQ(test::ReadFileText(dir->file("b.bin")), copy);
    for (const char* numbered : {"b-2.bin", "b-3.bin"}) {
        const ChipBackup backup = BackupChip(core, chip, path("b.bin"), BackupName::FirstFree);
        EXPECT_EQ(backup.outcome, Outcome::Ok);
        EXPECT_EQ(backup.path, path(numbered));
    }

    host.onPump = [&] {
        if (!std::filesystem::exists(dir->file("race.bin"))) test::WriteFileText(dir->file("race.bin"), "other");
    };
    const ChipBackup lost = BackupChip(core, chip, path("race.bin"), BackupName::AsGiven);
    host.onPump = nullptr;
    EXPECT_EQ(lost.outcome, Outcome::FileError);
    EXPECT_TRUE(lost.fileExists);
    EXPECT_EQ(lost.path, path("race-2.bin"));
    EXPECT_EQ(test::ReadFileText(dir->file("race.bin")), "other");
    EXPECT_EQ(test::ReadFileText(dir->file("race-2.bin")), copy);
    const std::string made = ChooseBackupTarget({"", ".", "1-2"}, test::TestChip("MX25L/6405 D"), 0).path;
    EXPECT_TRUE(made.starts_with("./MX25L_6405_D-") && made.ends_with("-1-2.bin")) << made;
}

// A change guarded by a backup: reads that differ stop it before the chip is
// touched, and nothing is saved. Agreeing reads save the copy (a second one of the
// same second under the next free name), then the change runs; the programmer is
// held throughout, so a command chosen during the backup's reads is refused.
TEST_F(ChipSafety, AGuardedChangeRunsOnlyOnceItsBackupIsSaved) {
    const std::string folder = dir->file("backups").string();
    Connect("W25X05").InjectFault({FaultKind::FlipByte, 0x1234});
    SetChipBytes(Pattern(0x10000));
    const GuardedChange refused = BackUpThenChange(core, folder, ChipChange::Erase, 0);
    EXPECT_EQ(refused.result.outcome, Outcome::Failed);
    EXPECT_NE(refused.result.words.box.find("0x001234..0x001234  (1)"), std::string::npos);
    EXPECT_EQ(ChipBytes(), Pattern(0x10000));
    EXPECT_TRUE(std::filesystem::is_empty(folder));

    Connect("W25X05");
    FillBuffer(std::vector<uint8_t>(0x10000, 0x5A));
    std::optional<Outcome> nested;
    host.onPump = [&] {
        if (nested) return;
        nested = Outcome::Ok;  // the erase pumps too
        nested = OnEraseChip(core).outcome;
    };
    std::string first;
    for (unsigned n : {1, 2}) {
        SetChipBytes(Pattern(0x10000));
        const GuardedChange written = BackUpThenChange(core, folder, ChipChange::Auto, 0);
        EXPECT_EQ(written.result.outcome, Outcome::Ok);
        if (n == 1) first = written.backup.path;
        EXPECT_EQ(written.backup.path, n == 1 ? first : NumberedName(first, n));
        EXPECT_EQ(ChipBytes(), std::vector<uint8_t>(0x10000, 0x5A));
    }
    host.onPump = nullptr;
    EXPECT_EQ(nested, Outcome::Busy);
    const std::vector<uint8_t> pattern = Pattern(0x10000);
    EXPECT_EQ(test::ReadFileText(first), std::string(pattern.begin(), pattern.end()));
}

}  // namespace
}  // namespace qbr
