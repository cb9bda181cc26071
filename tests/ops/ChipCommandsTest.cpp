// SPDX-License-Identifier: GPL-3.0-or-later
// The chip commands on the emulated programmer, the busy and chip size checks they
// share, and the maintenance commands; how each fares with a misbehaving programmer is in the fault matrix.
#include "buffer/ChangeMarks.h"
#include "ops/ChipCommands.h"
#include "ops/ChipDetection.h"
#include "ops/CommandTable.h"
#include "ops/Maintenance.h"
#include "ops/OpsFixture.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <utility>

namespace qbr {
namespace {

using test::Pattern;
using Strings = std::vector<std::string>;
using ChipCommands = test::OpsTest;

constexpr const char* kBusy = "Programmer is busy, please wait a moment!";
constexpr const char* kPrompt = "Please click \"OK\", and link programmer to computer in 10 seconds!";

// Every kind of chip parameters the host derives, taken through the whole command
// path to a programmer that misbehaves on any parameter that doesn't fit the chip
// (family, mode, organisation, voltage, page size): Auto must leave the image on
// the chip, erasing the flash alone, and a read must bring it back.
TEST_F(ChipCommands, EveryKindOfChipIsWrittenAndReadBackExactly) {
    int named = 0;
    auto chip = [&named](uint32_t type, uint32_t capacity, uint32_t pageMode, uint16_t pageSize, uint8_t voltage,
                         uint8_t deviceId = 0xFF, uint8_t modeParam = 0, uint8_t dataWidth = 8) {
        test::TestChip kind("KIND" + std::to_string(++named));
        kind.Type(type).Capacity(capacity).Pages(pageMode, pageSize).Volts(voltage);
        return ChipRecord(kind.Id(0xFF, deviceId).Organisation(modeParam, dataWidth));
    };
    const std::vector<ChipRecord> kinds = {
        test::OpsChips()[0],                          // SPI flash, 256-byte pages
        chip(kEeprom24, 2048, 1, 16, 40),             // small 24 series, at most 4 V
        chip(kEeprom24, 4096, 1, 32, 41),             // large 24 series, above 4 V
        chip(kEeprom24, 512, 1, 16, 33, 0xFE),        // the 24 series part with its own mode
        chip(kEeprom24, 256, 0, 8, 50),               // written byte by byte
        chip(kEeprom24, 64, 1, 8, 50),                // verified below a hundred bytes
        chip(kEeprom25, 512, 1, 16, 50),              // small 25 series, 5 V
        chip(kEeprom25, 1024, 1, 32, 33),             // large 25 series
        chip(kEeprom93, 512, 0, 0, 50, 0xFF, 6, 16),  // 93 series by words, after one by bytes
        chip(kEeprom93, 256, 0, 0, 33, 0xFF, 7, 8),
        chip(kEeprom93, 128, 0, 0, 50, 0xFF, 6, 16),
    };
    Start(kinds, kinds[0].chipName);
    for (const ChipRecord& kind : kinds) {
        SCOPED_TRACE(std::to_string(kind.chipType) + "/" + std::to_string(kind.capacity));
        core.SelectChip(kind);
        ConnectWith(kind, quick).SetEraseTime(std::chrono::milliseconds(1));
        SetChipBytes(std::vector<uint8_t>(kind.capacity, 0x00));  // on flash only an erase lets the image in
        const std::vector<uint8_t> image = Pattern(kind.capacity);
        FillBuffer(image);
        Shown(OnAuto(core));
        EXPECT_TRUE(IsTimed(host.statusText, "Verify chip ok!")) << host.statusText;
        EXPECT_EQ(ChipBytes(), image);
        EXPECT_EQ(test::CountOf(Log(), ": Erase chip!"), 1u);  // the flash's only: Auto erases nothing else
        EXPECT_TRUE(host.boxes.empty());
        FillBuffer(std::vector<uint8_t>(kind.capacity, 0x00));
        MarkRange(core.Buffer(), 0, kind.capacity + 10);  // a read clears the marks of the chip's bytes only
        Shown(OnReadChip(core));
        EXPECT_TRUE(std::equal(image.begin(), image.end(), core.Buffer().bytes.begin()));
        EXPECT_TRUE(IsTimed(host.statusText, "Read chip ok!"));
        EXPECT_TRUE(!IsMarked(core.Buffer(), kind.capacity - 1) && IsMarked(core.Buffer(), kind.capacity + 9));
    }
    const std::string log = Log();
    EXPECT_LT(log.find(": Erase chip ok!"), log.find(": Write chip!"));
    EXPECT_LT(log.find(": Write chip ok!"), log.find(": Verify chip!"));
    EXPECT_EQ(Shown(OnEraseChip(core)).outcome, Outcome::NotForThisChip);  // on its own: nothing to say
    EXPECT_TRUE(host.boxes.empty());
}

// While a read runs every chip command and every edit of the buffer is refused.
// During Auto the first pump comes before any transfer has started, so only
// Auto's hold on the programmer can refuse the nested commands.
TEST_F(ChipCommands, CommandsAreRefusedWhileAnotherRunsOrForAChipTooLarge) {
    ConnectWith(core.SelectedChip(), LinkTimings{}).InjectFault({FaultKind::Stall, 0});
    ASSERT_TRUE(core.Session().Protocol().StartChipRead(core.Buffer().bytes.data(), 0, 0x10000));
    for (const CommandRow& row : CommandTable()) {
        if (row.needsProgrammer) Shown(row.run(core));
    }
    EXPECT_TRUE(core.RefuseWhileBusy());  // nor may the buffer change under the read
    EXPECT_EQ(host.boxes, Strings(11, kBusy));
    EXPECT_EQ(test::CountOf(Log(), std::string(": ") + kBusy), 10u);  // none for Read
    EXPECT_EQ(core.Session().Protocol().State(), OperationState::Reading);
    core.Session().Protocol().CancelRead();

    Connect("24C02");
    bool chosen = false;
    host.onPump = [&] {
        if (std::exchange(chosen, true)) return;
        Shown(OnReadChip(core));
        Shown(OnWriteChip(core));
    };
    Shown(OnAuto(core));
    EXPECT_EQ(host.boxes, Strings(2, kBusy));
    EXPECT_TRUE(IsTimed(host.statusText, "Verify chip ok!"));
    EXPECT_EQ(Log().find("Read chip ok!"), std::string::npos);
    // Also while the final words are drawn.
    chosen = false;
    host.onPump = [&] {
        if (IsTimed(host.statusText, "Read chip ok!") && !std::exchange(chosen, true)) Shown(OnWriteChip(core));
    };
    Shown(OnReadChip(core));
    EXPECT_EQ(host.boxes, Strings(3, kBusy));
    EXPECT_FALSE(core.Session().IsCommandRunning());
    host.onPump = nullptr;

    Connect("HUGE256");  // a chip larger than the buffer
    for (auto command : {OnReadChip, OnEraseChip, OnWriteChip, OnVerifyChip, OnAuto}) Shown(command(core));
    EXPECT_EQ(host.boxes, Strings(5, "Memory overflow!"));
    EXPECT_TRUE(tap_->Writes().empty());
}

// A known pair selects the first chip with it. FF FF is no chip and is never
// looked up (that would find 24C01, the first chip with it); an unknown pair keeps
// the selection too.
TEST_F(ChipCommands, DetectAKnownPairSelectsTheFirstChipWithItAndNoOtherChangesTheSelection) {
    ConnectWith(test::OpsChips()[2], quick);  // W25Q16B: EF 14, like W25Q16 before it
    Shown(OnDetectChip(core));
    EXPECT_EQ(core.SelectedChip().chipName, "W25Q16");
    EXPECT_EQ(core.Buffer().activeLength, 0x200000u);
    EXPECT_TRUE(host.boxes.at(0).starts_with("Chip type: W25Q16   \r\n"));
    core.SelectChip(test::OpsChips()[0]);
    ConnectWith(test::TestChip("GHOST").Id(0xC8, 0x05), quick);
    Shown(OnDetectChip(core));
    EXPECT_EQ(host.boxes, Strings{"Chip type is unknown!ManufacturerID:C8\r\nDeviceID:5"});
    EXPECT_EQ(core.SelectedChip().chipName, "W25X05");
    Connect("24C02");
    Shown(OnDetectChip(core));
    EXPECT_EQ(host.statusText, "Chip type is unknown!");
    EXPECT_EQ(host.boxes, Strings{"Chip type is unknown!ManufacturerID:FF\r\nDeviceID:FF"});
    EXPECT_NE(Log().find(": ManufacturerID:FF\r\nDeviceID:FF"), std::string::npos);
    EXPECT_EQ(core.SelectedChip().chipName, "24C02");
}

// At full USB speed the 2 MiB chip takes over a second to read; its first
// hundredth is enough to find a difference at offset 0. The verify reads a segment
// at a time, so the next command waits for the rest of one segment at most.
TEST_F(ChipCommands, VerifyADifferenceAtTheStartEndsTheReadAtOnceAndTheLastByteIsComparedToo) {
    Connect("W25Q16").SetSpeed(SpeedModel::FullSpeed());
    std::atomic<uint64_t> received{0};  // counted on the link's worker
    tap_->SetReadFilter([&received](uint8_t*, uint32_t count) { received += count; });
    core.Buffer().bytes[0] = 0x12;
    Shown(OnVerifyChip(core));
    const std::string report = "Verify chip error!\r\n\r\nAddr:0x000000   \r\n Buf:0x12   \r\nChip:0xFF   ";
    EXPECT_EQ(host.boxes, Strings{report});
    EXPECT_EQ(host.statusText, "Verify chip error!");
    EXPECT_NE(Log().find(report), std::string::npos);
    EXPECT_EQ(core.Session().Protocol().State(), OperationState::Idle);
    EXPECT_LT(core.Session().Protocol().GetBytesRead(), 0x100000u);

    // The programmer still sends the rest of the read the host gave up; the next
    // command waits for it and works.
    Shown(OnReadFirmwareVersion(core));
    EXPECT_TRUE(host.statusText.starts_with("Firmware version:  QBR5150")) << host.statusText;
    EXPECT_LE(received, 0x100000u + 4096);  // one segment and the replies

    // The chip's last byte, which arrives with the read's end, with an address of six
    // digits, on a chip that is no multiple of a segment; the bar rises once.
    const ChipRecord odd = test::TestChip("ODD2112K").Capacity(0x210000);
    core.SelectChip(odd);
    ConnectWith(odd, quick).InjectFault({FaultKind::FlipByte, 0x20FFFF});
    core.Buffer().bytes[0] = 0xFF;
    int percent = 0;
    host.onPump = [&] {
        const int shown = std::atoi(host.progressLabel.c_str());
        EXPECT_GE(shown, percent);
        percent = shown;
    };
    const CommandResult result = OnVerifyChip(core);
    host.onPump = nullptr;
    EXPECT_EQ(percent, 100);
    Shown(result);
    EXPECT_EQ(host.boxes, Strings{"Verify chip error!\r\n\r\nAddr:0x20FFFF   \r\n Buf:0xFF   \r\nChip:0x00   "});
}

// The serial number ends at its first character outside 0x20..0x7A (z is kept); one without
// any character shows a fixed text. A self-test block with its "ok" passes; one that
// begins with CR is the programmer's own text, "ok" or not.
TEST_F(ChipCommands, SerialNumberAndSelfTestTexts) {
    EmulatedProgrammer& programmer = Connect("W25X05");
    programmer.SetSerialNumber("SN1z{34");
    Shown(OnReadSerialNumber(core));
    programmer.SetSerialNumber("\037ABC");
    Shown(OnReadSerialNumber(core));
    Shown(OnSelfTest(core));
    tap_->SetReadFilter([](uint8_t* buffer, uint32_t received) {
        if (received == 1024) buffer[0] = '\r';
    });
    Shown(OnSelfTest(core));
    const std::string text = "Auto test result: \rELFTEST v1.0 ok    ";
    EXPECT_TRUE(IsTimed(host.statusText, text));
    EXPECT_EQ(host.boxes,
              (Strings{"Serial number:SN1z", "Serial number:016000000", "Auto test result: Hardware is OK!", text}));
    EXPECT_NE(Log().find(": " + text), std::string::npos);
}

// Unusable files are refused before anything is sent, and a full-size one is sent.
// The prompt to plug the programmer in comes after 50 silent attempts (about 10 s):
// cancelling it ends the update, and a second update chosen during the wait is
// refused; a programmer plugged in after it takes the image.
TEST_F(ChipCommands, FirmwareUpdateChecksTheFileAndWaitsForTheProgrammer) {
    Connect("W25X05");
    const auto choose = [this](size_t size) {
        const auto bytes = Pattern(size);
        host.firmwareAnswer = dir->file("update.qbr").string();
        test::WriteFileText(*host.firmwareAnswer, std::string(bytes.begin(), bytes.end()));
    };
    Shown(OnUpdateFirmware(core));  // dialog cancelled
    host.firmwareAnswer = dir->file("missing.qbr").string();
    Shown(OnUpdateFirmware(core));
    choose(0x40001);
    Shown(OnUpdateFirmware(core));
    choose(0);
    Shown(OnUpdateFirmware(core));
    EXPECT_EQ(host.boxes, (Strings{"Open file error!", "File format error!", "File format error!"}));
    EXPECT_TRUE(tap_->Writes().empty());
    EXPECT_FALSE(core.Session().IsCommandRunning());
    choose(0x40000);  // the largest image the programmer takes
    Shown(OnUpdateFirmware(core));
    EXPECT_EQ(Programmer().ReceivedFirmware(), Pattern(0x40000));

    Connect("W25X05");
    Programmer().Unplug();
    choose(1000);
    bool chosen = false;
    host.onPump = [&] {
        if (core.Session().IsCommandRunning() && !std::exchange(chosen, true)) Shown(OnUpdateFirmware(core));
    };
    host.answer = [](const std::string& text) { return text != kPrompt; };
    Shown(OnUpdateFirmware(core));
    EXPECT_EQ(host.statusText, "Firmware update error!");
    EXPECT_EQ(host.boxes, (Strings{kBusy, kPrompt, "Firmware update error!"}));
    EXPECT_FALSE(core.Session().IsCommandRunning());

    host.onPump = nullptr;
    host.boxes.clear();
    host.answer = [&](const std::string& text) {
        if (text == kPrompt) Programmer().Replug();
        return true;
    };
    Shown(OnUpdateFirmware(core));
    EXPECT_EQ(host.boxes, (Strings{kPrompt, "Firmware update ok!"}));
    EXPECT_EQ(Programmer().ReceivedFirmware(), Pattern(1000));
}

}  // namespace
}  // namespace qbr
