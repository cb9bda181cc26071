// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware version, serial number, self test and firmware update.
#include "ops/Maintenance.h"
#include "ops/OpsFixture.h"

#include <utility>

namespace qbr {
namespace {

using test::Pattern;
using Strings = std::vector<std::string>;
using Maintenance = test::OpsTest;

constexpr const char* kPrompt = "Please click \"OK\", and link programmer to computer in 10 seconds!";

TEST_F(Maintenance, VersionAndSerialNumber) {
    EmulatedProgrammer& programmer = Connect("W25X05");
    programmer.SetFirmwareVersion("V2.5");
    OnReadFirmwareVersion(core);
    EXPECT_TRUE(IsTimed(host.statusText, "Firmware version:  V2.5    "));
    programmer.SetSerialNumber("SN12{34");  // '{' (123) ends the serial
    OnReadSerialNumber(core);
    programmer.SetSerialNumber(
        "\x1F"
        "ABC");
    OnReadSerialNumber(core);
    EXPECT_EQ(host.boxes, (Strings{"Firmware version:  V2.5    ", "Serial number:SN12", "Serial number:016000000"}));
}

TEST_F(Maintenance, SelfTestVerdicts) {
    EmulatedProgrammer& programmer = Connect("W25X05");
    OnSelfTest(core);
    EXPECT_FALSE(host.errorColour);
    programmer.InjectFault({FaultKind::SelfTestFail, 0});
    OnSelfTest(core);
    EXPECT_TRUE(host.errorColour);
    // A block that begins with CR is the programmer's own text, "ok" or not.
    programmer.ClearFaults();
    tap_->SetReadFilter([](uint8_t* buffer, uint32_t received) {
        if (received == 1024) buffer[0] = '\r';
    });
    OnSelfTest(core);
    const std::string text = "Auto test result: \rELFTEST v1.0 ok    ";
    EXPECT_TRUE(IsTimed(host.statusText, text));
    EXPECT_EQ(host.boxes,
              (Strings{"Auto test result: Hardware is OK!", "Auto test result: Hardware has some problems!", text}));
    EXPECT_NE(Log().find(": " + text), std::string::npos);
}

class FirmwareUpdate : public test::OpsTest {
protected:
    void SetUp() override {
        OpsTest::SetUp();
        Connect("W25X05");
    }
    void ChooseImage(size_t size) {
        const auto bytes = Pattern(size);
        host.firmwareAnswer = dir->file("update.qbr").string();
        test::WriteFileText(*host.firmwareAnswer, std::string(bytes.begin(), bytes.end()));
    }
};

TEST_F(FirmwareUpdate, AFullSizeImageIsSentAsItIs) {
    ChooseImage(0x40000);
    OnUpdateFirmware(core);
    EXPECT_EQ(Programmer().ReceivedFirmware(), Pattern(0x40000));
    EXPECT_TRUE(IsTimed(host.statusText, "Firmware update ok!"));
    EXPECT_EQ(host.boxes, Strings{"Firmware update ok!"});
    EXPECT_FALSE(core.IsCommandRunning());
}

TEST_F(FirmwareUpdate, UnusableFilesAreRefusedBeforeAnythingIsSent) {
    OnUpdateFirmware(core);  // dialog cancelled
    host.firmwareAnswer = dir->file("missing.qbr").string();
    OnUpdateFirmware(core);
    ChooseImage(0x40001);
    OnUpdateFirmware(core);
    ChooseImage(0);
    OnUpdateFirmware(core);
    EXPECT_EQ(host.boxes, (Strings{"Open file error!", "File format error!", "File format error!"}));
    EXPECT_TRUE(tap_->Writes().empty());
    EXPECT_FALSE(core.IsCommandRunning());
}

// About 10 s: each prompt comes after 50 silent attempts. Cancelling it ends the
// update, and a second update chosen during the wait is refused; a programmer
// plugged in after it takes the image.
TEST_F(FirmwareUpdate, ThePromptToPlugInTheProgrammer) {
    Programmer().Unplug();
    ChooseImage(1000);
    bool chosen = false;
    host.onPump = [&] {
        if (core.IsCommandRunning() && !std::exchange(chosen, true)) OnUpdateFirmware(core);
    };
    host.answer = [](const std::string& text) { return text != kPrompt; };
    OnUpdateFirmware(core);
    EXPECT_EQ(host.statusText, "Firmware update error!");
    EXPECT_EQ(host.boxes, (Strings{"Programmer is busy, please wait a moment!", kPrompt, "Firmware update error!"}));
    EXPECT_FALSE(core.IsCommandRunning());

    host.onPump = nullptr;
    host.boxes.clear();
    host.answer = [&](const std::string& text) {
        if (text == kPrompt) Programmer().Replug();
        return true;
    };
    OnUpdateFirmware(core);
    EXPECT_EQ(host.boxes, (Strings{kPrompt, "Firmware update ok!"}));
    EXPECT_EQ(Programmer().ReceivedFirmware(), Pattern(1000));
}

}  // namespace
}  // namespace qbr
