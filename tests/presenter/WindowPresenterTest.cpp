// SPDX-License-Identifier: GPL-3.0-or-later
// The window's presenter over a recording view: starting, choosing the chip, and
// the buffer and image-file commands.
#include "base/MessageTable.h"
#include "buffer/ChangeMarks.h"
#include "chipdb/ChipType.h"
#include "gui/WindowPresenter.h"
#include "presenter/RecordingView.h"
#include "support/CoreFixture.h"

#include <gtest/gtest.h>

namespace qbr {
namespace {

using gui::FillRequest;
using gui::LocateRequest;
using test::ReadFileText;
using test::SampleConfig;
using test::WriteFileText;
using Names = std::vector<std::string>;

class PresenterFixture : public test::ProgramFixture {
protected:
    test::RecordingView host;
    gui::WindowPresenter presenter{host};
    ProgrammerCore& core = presenter.Core();
};

using WindowPresenterTest = PresenterFixture;
const std::vector<ChipRecord>& kChips = test::SampleChips();

TEST_F(WindowPresenterTest, StartSelectsTheConfiguredChipAndShowsIt) {
    Prepare(SampleConfig("English", "24C02"));
    ASSERT_EQ(presenter.Start(), Workspace::StartResult::Ready);
    EXPECT_EQ(core.SelectedChip().chipName, "24C02");
    EXPECT_EQ(core.Buffer().activeLength, 256u);
    EXPECT_EQ(host.selectors.types, (Names{"24 EEPROM", "25 EEPROM", "93 EEPROM", "SPI FLASH"}));
    EXPECT_EQ(host.selectors.makers, (Names{"ATMEL", "ZETA"}));
    EXPECT_EQ(host.selectors.chips, (Names{"24C02", "24C16"}));
    EXPECT_EQ(std::vector({host.selectors.typeIndex, host.selectors.makerIndex, host.selectors.chipIndex}),
              std::vector({0, 1, 0}));
    EXPECT_EQ(host.capacityText, "256B\r\n\r\n");
    EXPECT_EQ(host.offeredFor, ChipFamily::Eeprom24);
    EXPECT_EQ(host.statusText, "24C02");
    EXPECT_EQ(host.hexViewFocus, 1);
    EXPECT_NE(Log().find("Chip:24C02, ManuZETA, 256B\r\n\r\n"), std::string::npos);
}

// An empty database has no chip to select: it fails as a missing one does.
TEST_F(WindowPresenterTest, EmptyDatabaseIsReportedAndNothingIsSelected) {
    Prepare(SampleConfig("English"), {});
    EXPECT_EQ(presenter.Start(), Workspace::StartResult::DatabaseError);
    EXPECT_EQ(host.boxes, Names{"Database error!"});
    EXPECT_FALSE(core.Space().IsReady());
    EXPECT_EQ(host.statusText, "");
}

TEST_F(WindowPresenterTest, SelectorChangesNarrowFromTypeToMakerToChip) {
    Prepare(SampleConfig("English", "EN25T80"));
    ASSERT_EQ(presenter.Start(), Workspace::StartResult::Ready);
    const int binds = host.hexViewBinds;

    presenter.OnChipTypeChanged("SPI FLASH");  // the type already selected: nothing happens
    EXPECT_EQ(host.hexViewBinds, binds);

    presenter.OnChipTypeChanged("24 EEPROM");  // first maker in the list, its first chip
    EXPECT_EQ(host.selectors.makers[host.selectors.makerIndex], "ATMEL");
    EXPECT_EQ(core.SelectedChip().chipName, "AT24C02");
    EXPECT_EQ(core.Buffer().activeLength, 256u);
    EXPECT_EQ(host.offeredFor, ChipFamily::Eeprom24);
    EXPECT_NE(dir->config().find("DefaultChipName=AT24C02"), std::string::npos);

    presenter.OnMakerChanged("ZETA");
    EXPECT_EQ(core.SelectedChip().chipName, "24C02");
    presenter.OnChipNameChanged("24C16");
    EXPECT_EQ(core.Buffer().activeLength, 2048u);

    presenter.OnChipTypeChanged("SPI FLASH");  // chip names sort without regard to case
    EXPECT_EQ(core.SelectedChip().chipName, "A25L080");
    presenter.OnMakerChanged("EON");
    EXPECT_EQ(host.selectors.chips, (Names{"en25b40", "EN25Q80", "EN25T80"}));
    EXPECT_EQ(core.SelectedChip().chipName, "en25b40");
    EXPECT_EQ(host.offeredFor, ChipFamily::SpiFlash);

    presenter.OnChipTypeChanged("93 EEPROM");  // a type without chips keeps the selected one
    EXPECT_EQ(host.boxes, (Names{"Database error!"}));
    EXPECT_EQ(core.SelectedChip().chipName, "en25b40");
    EXPECT_EQ(core.Buffer().activeLength, 0x80000u);
}

class BufferCommands : public PresenterFixture {
protected:
    void SetUp() override {
        Prepare(SampleConfig("English", "24C02"));  // a 256-byte chip
        ASSERT_EQ(presenter.Start(), Workspace::StartResult::Ready);
        host.boxes.clear();
    }
    std::string File(const std::string& name) const { return dir->file(name).string(); }
    std::vector<uint8_t> Bytes(uint32_t from, uint32_t to) {
        return {&core.Buffer().bytes[from], &core.Buffer().bytes[to]};
    }
};

TEST_F(BufferCommands, FillLocateAndSwapCheckTheirFieldsAndStopAtTheChipEnd) {
    host.fillAnswer = FillRequest{0x7F, 0x10, 0xAA, false};
    presenter.OnBufferFill();
    host.fillAnswer = FillRequest{0x100, 1, 0xAA, true};
    presenter.OnBufferFill();
    EXPECT_EQ(host.boxes, (std::vector<std::string>{"Address format error!", "Start address error!"}));
    EXPECT_EQ(host.hexViewRefreshes, 0);

    host.fillAnswer = FillRequest{0xFE, 0x10, 0x00, true};
    presenter.OnBufferFill();
    EXPECT_EQ(Bytes(0xFD, 0x101), (std::vector<uint8_t>{0xFF, 0x00, 0x00, 0xFF}));  // beyond the chip: untouched
    EXPECT_TRUE(IsMarked(core.Buffer(), 0xFF));
    EXPECT_EQ(host.hexViewRefreshes, 1);

    host.locateAnswer = LocateRequest{0x100, true};
    presenter.OnAddressLocation();
    EXPECT_EQ(host.boxes.back(), "Start address error!");
    host.locateAnswer = LocateRequest{0xFF, true};
    presenter.OnAddressLocation();
    EXPECT_EQ(host.goneTo, 0xFFu);

    core.Buffer().bytes[0] = 0x12;
    presenter.OnByteSwap();
    EXPECT_EQ(Bytes(0, 2), (std::vector<uint8_t>{0xFF, 0x12}));
}

// While a command holds the programmer the buffer must not change under it.
TEST_F(BufferCommands, EditsAreRefusedWhileACommandRuns) {
    core.Session().SetCommandRunning(true);
    core.Buffer().bytes[0] = 0x12;
    host.fillAnswer = FillRequest{0, 1, 0, true};
    for (auto edit : {&gui::WindowPresenter::OnBufferFill, &gui::WindowPresenter::OnByteSwap,
                      &gui::WindowPresenter::OnOpenFile, &gui::WindowPresenter::OnSaveFile}) {
        EXPECT_EQ((presenter.*edit)(), Outcome::Busy);
    }
    EXPECT_EQ(host.boxes, Names(4, "Programmer is busy, please wait a moment!"));
    EXPECT_EQ(Bytes(0, 2), (std::vector<uint8_t>{0x12, 0xFF}));
}

TEST_F(BufferCommands, OpenLoadsAndNamesTheFileOrReportsWhyNot) {
    WriteFileText(File("image.bin"), std::string(257, 'A'));  // one byte too long
    presenter.OnOpenFile();                                   // cancelled
    host.openAnswer = File("image.bin");
    presenter.OnOpenFile();
    EXPECT_EQ(host.boxes, (std::vector<std::string>{"File is too long!"}));
    EXPECT_EQ(Bytes(255, 257), (std::vector<uint8_t>{'A', 0xFF}));
    EXPECT_EQ(host.caption, "Caption English   " + File("image.bin"));
    const std::string log = Log();
    EXPECT_LT(log.find(": Load file!"), log.find(": Load file cancel!"));
    EXPECT_NE(log.find(": " + File("image.bin")), std::string::npos);

    // Broken or missing files are reported and keep the caption.
    host.boxes.clear();
    WriteFileText(File("bad.hex"), ":0100000041BE\n");  // no end record
    host.openAnswer = File("bad.hex");
    presenter.OnOpenFile();
    EXPECT_EQ(core.Buffer().bytes[0], 0x41);  // the record read before the fault stays
    presenter.OnDropFiles({File("a.bin"), File("b.bin")});
    presenter.OnDropFiles({File("missing.bin")});
    presenter.LoadCommandLineFile(File("missing.bin"));
    EXPECT_EQ(host.boxes, (std::vector<std::string>{"Open file error!", "Drop file error!", "Open file error!",
                                                    "Open file error!"}));
    EXPECT_EQ(host.caption, "Caption English   " + File("image.bin"));
    EXPECT_NE(Log().find(": Open file error!"), std::string::npos);
    EXPECT_NE(Log().find(": no end record: the file may be cut short"), std::string::npos);  // why, in the log only
}

TEST_F(BufferCommands, SaveWritesTheChipOrReportsAFailure) {
    core.Buffer().bytes[0] = 0x5A;
    host.saveAnswer = File("out.bin");
    presenter.OnSaveFile();
    EXPECT_EQ(host.statusText, "Save file successful!");
    EXPECT_EQ(ReadFileText(File("out.bin")), "\x5A" + std::string(255, '\xFF'));

    host.saveAnswer = File("no/such/dir/out.bin");
    presenter.OnSaveFile();
    EXPECT_EQ(host.statusText, "Open file error!");
    EXPECT_TRUE(host.errorColour);
    EXPECT_EQ(host.boxes, (std::vector<std::string>{"Open file error!"}));
}

}  // namespace
}  // namespace qbr
