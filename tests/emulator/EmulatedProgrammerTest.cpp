// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/ChipImageFile.h"
#include "emulator/EmulatorSession.h"
#include "emulator/VirtualChip.h"
#include "link/LibraryPath.h"
#include "support/Pattern.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>

namespace qbr::test {
namespace {

using namespace std::chrono_literals;

// Every parameter of a chip request that a host can get wrong, and what the
// programmer then does with a 256-byte write of a pattern and a read of it.
TEST(EmulatedProgrammer, ParametersThatDontFitTheChipMisbehaveTheSameWayEachTime) {
    enum class Effect { None, Ignored, SwappedWords, PageWrap, Refused };
    const ChipRecord eeprom93 =
        test::TestChip("93C66").Type(kEeprom93).Volts(50).Capacity(512).Pages(0, 0).Organisation(6, 16);
    struct Case {
        const char* what;
        ChipRecord chip;
        std::function<void(RequestedAccess&)> spoil;
        Effect effect;
    };
    const Case cases[] = {
        {"fitting parameters", kTestEeprom24, [](RequestedAccess&) {}, Effect::None},
        {"another family", kTestEeprom24, [](RequestedAccess& a) { a.protocolCode = 3; }, Effect::Ignored},
        {"wrong mode byte", kTestEeprom24, [](RequestedAccess& a) { a.modeByte = 0x24; }, Effect::Ignored},
        {"wrong voltage", kTestEeprom24, [](RequestedAccess& a) { a.highVoltage = 0; }, Effect::Ignored},
        {"reserved byte set", kTestFlash, [](RequestedAccess& a) { a.reserved = 1; }, Effect::Ignored},
        {"organisation ignored off the 93 series", kTestFlash, [](RequestedAccess& a) { a.orgByte = 7; }, Effect::None},
        {"wrong organisation", eeprom93, [](RequestedAccess& a) { a.orgByte = 3; }, Effect::SwappedWords},
        {"page one byte too long", kTestEeprom24, [](RequestedAccess& a) { ++a.pageSize; }, Effect::PageWrap},
        {"page one byte too short", kTestEeprom24, [](RequestedAccess& a) { --a.pageSize; }, Effect::PageWrap},
        {"past the chip's end", kTestEeprom24, [](RequestedAccess& a) { a.address = 1; }, Effect::Refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EmulatorSession session(c.chip);
        RequestedAccess access = AccessFor(c.chip);
        c.spoil(access);
        const Bytes data = Pattern(256, 1);
        const Bytes reply = session.Exchange(ChipRequest(access, 256, true), 3);
        if (c.effect == Effect::Refused) {
            EXPECT_EQ(reply, (Bytes{0x12, 0x01, 0x00}));
            EXPECT_EQ(session.Exchange(ChipRequest(access, 256), 3), (Bytes{0x11, 0x01, 0x01}));
            continue;
        }
        ASSERT_EQ(session.Send(data), 0);
        const Bytes chip(session.device.Chip().Contents().begin(), session.device.Chip().Contents().begin() + 256);
        session.Exchange(ChipRequest(access, 256), 3);
        const Bytes readBack = session.Exchange({}, 256);
        Bytes swapped = data;
        for (size_t i = 0; i < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
        if (c.effect == Effect::PageWrap) {
            EXPECT_EQ(chip[0], data[8]) << "byte 8 crossed into the next page and wrapped";
            continue;
        }
        const Bytes expected = c.effect == Effect::Ignored ? Bytes(256, 0xFF) : data;
        EXPECT_EQ(chip, c.effect == Effect::SwappedWords ? swapped : expected);
        EXPECT_EQ(readBack, expected);
    }
}

// An image file holds one chip for one run: its contents survive the file, a new or
// empty file is an erased chip, a file of another size or kind is refused (and
// never waited on), and while one run holds the file no other gets it, also
// through a link.
TEST(ChipImageFile, HoldsOneChipForOneRun) {
    using Problem = ChipImageFile::Problem;
    const ChipRecord record = test::TestChip("SMALL").Type(kEeprom25).Capacity(16).Pages(0, 0);
    TempDir dir;
    const std::string path = dir.file("chip.bin");
    VirtualChip chip(record);
    const uint8_t data[] = {1, 2, 3};
    chip.Program(14, data);
    EXPECT_EQ(chip.Contents()[15], 2) << "bytes past the end are dropped";
    {
        ChipImageFile held;
        VirtualChip scratch(record);
        ASSERT_EQ(held.Open(path, scratch), Problem::None);
        EXPECT_EQ(std::ranges::count(scratch.Contents(), 0xFF), 16);
        std::filesystem::create_symlink(path, dir.file("symbolic.bin"));
        std::filesystem::create_hard_link(path, dir.file("hard.bin"));
        for (const char* name : {"chip.bin", "symbolic.bin", "hard.bin"}) {
            ChipImageFile second;
            EXPECT_EQ(second.Open(dir.file(name), scratch), Problem::InUse) << name;
        }
        ASSERT_TRUE(held.Save(chip));
        // A file that takes the name meanwhile (a buffer saved under it), or data
        // written into the file, is not saved over; a name that is gone is made again.
        ASSERT_EQ(held.Open(path, scratch), Problem::None);
        WriteFileText(dir.file("saved.bin"), "the user's data!");  // as long as the chip, and as old
        std::filesystem::last_write_time(dir.file("saved.bin"), std::filesystem::last_write_time(path));
        std::filesystem::rename(dir.file("saved.bin"), path);
        EXPECT_TRUE(held.TakenOver());
        EXPECT_FALSE(held.Save(chip));
        EXPECT_EQ(ReadFileText(path), "the user's data!");
        std::filesystem::remove(path);
        ASSERT_EQ(held.Open(path, scratch), Problem::None);
        WriteFileText(path, "written in place");
        EXPECT_TRUE(held.TakenOver());
        EXPECT_FALSE(held.Save(chip));
        std::filesystem::remove(path);
        ASSERT_EQ(held.Open(path, scratch), Problem::None);
        std::filesystem::remove(path);
        EXPECT_FALSE(held.TakenOver());
        ASSERT_TRUE(held.Save(chip));
    }
    VirtualChip copy(record);
    ChipImageFile file;
    ASSERT_EQ(file.Open(path, copy), Problem::None);
    EXPECT_TRUE(std::ranges::equal(copy.Contents(), chip.Contents()));

    WriteFileText(dir.file("short.bin"), std::string(15, 'A'));
    WriteFileText(dir.file("long.bin"), std::string(17, 'A'));
    WriteFileText(dir.file("empty.bin"), "");
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const std::pair<std::string, Problem> cases[] = {
        {"short.bin", Problem::WrongSize}, {"long.bin", Problem::WrongSize}, {"empty.bin", Problem::None},
        {"fifo", Problem::NotRegular},     {"", Problem::NotRegular},        {"none/chip.bin", Problem::CantOpen},
    };
    for (const auto& [name, problem] : cases) {
        ChipImageFile other;
        EXPECT_EQ(other.Open(dir.file(name), copy), problem) << name;
        EXPECT_EQ(std::ranges::count(copy.Contents(), 0xFF), 16) << name;
    }
    EXPECT_EQ(ReadFileText(dir.file("long.bin")), std::string(17, 'A'));
}

// The protocol contract, run in process.
struct EmulatedContractDevice : ContractDevice {
    explicit EmulatedContractDevice(const ChipRecord& chip) : programmer(chip) { programmer.SetEraseTime(50ms); }
    UsbLink& Link() override { return link; }
    EmulatedProgrammer& Programmer() override { return programmer; }
    void Replug() override { programmer.Replug(); }
    EmulatedProgrammer programmer;
    UsbLink link{std::make_unique<LibraryPath>(programmer)};
};

INSTANTIATE_TEST_SUITE_P(Emulator, ProtocolContract,
                         ::testing::Values(ContractTarget{"EmulatedProgrammer", [](const ChipRecord& chip) {
                                                              return std::make_unique<EmulatedContractDevice>(chip);
                                                          }}));

}  // namespace
}  // namespace qbr::test
