// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/EmulatorSession.h"
#include "emulator/ProtocolContract.h"
#include "link/LibraryPath.h"
#include "support/Pattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <numeric>
#include <string>

namespace qbr::test {
namespace {

using namespace std::chrono_literals;

Bytes BootRequest(uint32_t length, uint8_t checksumError = 0) {
    const char word[] = "USB BOOT COMMAND";
    Bytes request = {0xF2};
    request.insert(request.end(), word, word + sizeof word);
    for (int shift = 24; shift >= 0; shift -= 8) request.push_back(static_cast<uint8_t>(length >> shift));
    const uint8_t sum = std::accumulate(request.begin(), request.end(), uint8_t{0});
    request.push_back(static_cast<uint8_t>(-sum + checksumError));
    return request;
}

// Finding it among other devices by its IDs is in the link's tests.
TEST(EmulatedProgrammer, IsLostAndFoundAgainLikeAUsbDevice) {
    EmulatorSession session;
    EmulatedProgrammer& device = session.device;
    device.AddOtherDevice(0x1234, 0xABCD);
    uint32_t count = 0;
    device.Unplug();
    ASSERT_EQ(device.CountDevices(count), 0);
    EXPECT_EQ(count, 1u);
    UsbDeviceLibrary::Handle handle = UsbDeviceLibrary::kInvalidHandle;
    EXPECT_NE(device.OpenDevice(1, handle), 0);
    EXPECT_EQ(session.Send({0x17, 0x00}), EmulatedProgrammer::kNoDevice);

    device.Replug();
    EXPECT_EQ(session.Send({0x17, 0x00}), EmulatedProgrammer::kNoDevice) << "a handle from before stays dead";
    session.handle = session.Open(1);
    EXPECT_EQ(session.Exchange({0x17, 0x00}, 102).size(), 102u);
}

// What the host gets from each command, and how packets are lost, is in the
// protocol contract; here the requests that host never sends.
TEST(EmulatedProgrammer, IgnoresMalformedRequests) {
    EmulatorSession session;
    for (const Bytes& request : {Bytes{0x13, 0x01, 0x01}, Bytes{0x16, 0x00}, Bytes{0x13, 0x00}, Bytes{}}) {
        EXPECT_EQ(session.Send(request), 0);
        EXPECT_TRUE(session.Receive(1024, 30).empty()) << "a wrong length byte, an unknown or a cut request";
        EXPECT_EQ(session.lastResult, EmulatedProgrammer::kTimedOut);
    }
}

TEST(EmulatedProgrammer, WriteProgramsFlashByAndAndEepromAsWritten) {
    for (const ChipRecord& chip : {TestFlash(), TestEeprom24()}) {
        EmulatorSession session(chip);
        const bool flash = chip.chipType == 0;
        auto contents = session.device.Chip().Contents();
        std::fill(contents.begin(), contents.end(), 0x0F);
        const Bytes data = Pattern(200, 0x55);

        EXPECT_EQ(session.Exchange(ChipRequest(AccessFor(chip, 16), 200, true), 3), (Bytes{0x12, 0x01, 0x01}));
        uint32_t written = 0;
        ASSERT_EQ(session.Send(Bytes(data.begin(), data.begin() + 150), &written), 0);
        EXPECT_EQ(written, 150u);
        ASSERT_EQ(session.Send(Bytes(data.begin() + 150, data.end())), 0);
        EXPECT_EQ(contents[15], 0x0F);
        EXPECT_EQ(contents[216], 0x0F);
        for (size_t i = 0; i < data.size(); ++i) {
            ASSERT_EQ(contents[16 + i], flash ? (data[i] & 0x0F) : data[i]) << chip.chipName << " byte " << i;
        }
        EXPECT_EQ(session.Exchange({0x13, 0x00, AccessFor(chip).protocolCode}, 3).size(), 3u)
            << "requests again after the data";
    }
}

// Every parameter of a chip request that a host can get wrong, and what the
// programmer then does with a 256-byte write of a pattern and a read of it.
TEST(EmulatedProgrammer, ParametersThatDontFitTheChipMisbehaveTheSameWayEachTime) {
    enum class Effect { None, Ignored, SwappedWords, PageWrap, Refused };
    const ChipRecord eeprom93{3, "93C66", "TEST", 0, 50, 512, 0, 0, 0xFF, 0xFF, 6, 16};
    struct Case {
        const char* what;
        ChipRecord chip;
        std::function<void(RequestedAccess&)> spoil;
        Effect effect;
    };
    const Case cases[] = {
        {"fitting parameters", TestEeprom24(), [](RequestedAccess&) {}, Effect::None},
        {"another family", TestEeprom24(), [](RequestedAccess& a) { a.protocolCode = 3; }, Effect::Ignored},
        {"wrong mode byte", TestEeprom24(), [](RequestedAccess& a) { a.modeByte = 0x24; }, Effect::Ignored},
        {"wrong voltage", TestEeprom24(), [](RequestedAccess& a) { a.highVoltage = 0; }, Effect::Ignored},
        {"reserved byte set", TestFlash(), [](RequestedAccess& a) { a.reserved = 1; }, Effect::Ignored},
        {"organisation ignored off the 93 series", TestFlash(), [](RequestedAccess& a) { a.orgByte = 7; },
         Effect::None},
        {"wrong organisation", eeprom93, [](RequestedAccess& a) { a.orgByte = 3; }, Effect::SwappedWords},
        {"page one byte too long", TestEeprom24(), [](RequestedAccess& a) { ++a.pageSize; }, Effect::PageWrap},
        {"page one byte too short", TestEeprom24(), [](RequestedAccess& a) { --a.pageSize; }, Effect::PageWrap},
        {"past the chip's end", TestEeprom24(), [](RequestedAccess& a) { a.address = 1; }, Effect::Refused},
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
        const Bytes readBack = session.ReceiveAll(256);
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

// A flash erase is in the protocol contract; an EEPROM is never erased.
TEST(EmulatedProgrammer, EepromIgnoresErase) {
    EmulatorSession eeprom(TestEeprom24());
    eeprom.device.Chip().Contents()[0] = 0x12;
    EXPECT_EQ(eeprom.Exchange({0x14, 0x01, 0x02}, 3), (Bytes{0x14, 0x01, 0x00}));
    EXPECT_EQ(eeprom.Exchange({0x13, 0x00, 0x02}, 3), (Bytes{0x13, 0x01, 0x00}));
    EXPECT_EQ(eeprom.device.Chip().Contents()[0], 0x12);
}

// The image itself arrives intact in the protocol contract.
TEST(EmulatedProgrammer, FirmwareBootIsRefusedWithABadChecksum) {
    EmulatorSession session;
    EXPECT_EQ(session.Exchange(BootRequest(16, 1), 30)[18], 0);
    EXPECT_EQ(session.Exchange({0x13, 0x00, 0x01}, 3)[0], 0x13) << "no image phase after a refusal";
    EXPECT_TRUE(session.device.ReceivedFirmware().empty());
}

// The protocol contract, run in process.
class EmulatedContractDevice : public ContractDevice {
public:
    explicit EmulatedContractDevice(const ChipRecord& chip)
        : programmer_(chip), link_(std::make_unique<LibraryPath>(programmer_)) {
        programmer_.SetEraseTime(50ms);
    }
    UsbLink& Link() override { return link_; }
    EmulatedProgrammer& Programmer() override { return programmer_; }
    void Replug() override { programmer_.Replug(); }

private:
    EmulatedProgrammer programmer_;
    UsbLink link_;
};

INSTANTIATE_TEST_SUITE_P(Emulator, ProtocolContract,
                         ::testing::Values(ContractTarget{"EmulatedProgrammer",
                                                          [](const ChipRecord& chip) {
                                                              return std::make_unique<EmulatedContractDevice>(chip);
                                                          }}),
                         [](const ::testing::TestParamInfo<ContractTarget>& info) { return info.param.name; });

}  // namespace
}  // namespace qbr::test
