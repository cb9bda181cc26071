// SPDX-License-Identifier: GPL-3.0-or-later
// The window's presenter over a recording view: starting, choosing the chip, and
// the buffer and image-file commands.
#include "buffer/ChangeMarks.h"
#include "gui/WindowPresenter.h"
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
using Bytes = std::vector<uint8_t>;

// A window that remembers what the presenter showed, for assertions.
class RecordingView : public gui::WindowView {
public:
    void SetStatusText(const std::string& text) override { statusText = text; }
    void SetErrorColour(bool error) override { errorColour = error; }
    void SetProgressDisplay(int, const std::string&, bool) override {}
    void SetCapacityText(const std::string& text) override { capacityText = text; }
    void OfferCommandsFor(ChipFamily family) override { offeredFor = family; }
    void ShowSelectors(const SelectorLists& lists) override { selectors = lists; }
    void BindHexView() override { ++hexViewBinds; }
    void RefreshHexView() override { ++hexViewRefreshes; }
    void GoToAddress(uint32_t address) override { goneTo = address; }
    void FocusHexView() override { ++hexViewFocus; }
    void SetCaption(const std::string& text) override { caption = text; }
    std::optional<std::string> AskOpenFile() override { return openAnswer; }
    std::optional<std::string> AskSaveFile() override { return saveAnswer; }
    std::optional<FillRequest> AskBufferFill() override { return fillAnswer; }
    std::optional<LocateRequest> AskAddressLocation() override { return locateAnswer; }
    std::optional<std::string> AskFirmwareFile() override { return std::nullopt; }
    std::optional<std::string> AskChipSearch() override { return std::nullopt; }
    bool MessageBox(const std::string& text, BoxButtons) override {
        boxes.push_back(text);
        return true;
    }

    std::string statusText;
    bool errorColour = false;
    std::string capacityText;
    ChipFamily offeredFor = ChipFamily::Unknown;
    SelectorLists selectors;
    int hexViewBinds = 0;
    int hexViewFocus = 0;
    int hexViewRefreshes = 0;
    std::optional<uint32_t> goneTo;
    std::string caption;
    // Answers of the dialogs; nullopt = Cancel.
    std::optional<std::string> openAnswer;
    std::optional<std::string> saveAnswer;
    std::optional<FillRequest> fillAnswer;
    std::optional<LocateRequest> locateAnswer;
    std::vector<std::string> boxes;
};

class WindowPresenterTest : public test::ProgramFixture {
protected:
    RecordingView host;
    gui::WindowPresenter presenter{host};
    ProgrammerCore& core = presenter.Core();
};

// An empty database has no chip to select: it fails as a missing one does. Each
// selector's change narrows the next ones and selects a chip, sized and remembered.
TEST_F(WindowPresenterTest, StartSelectsTheConfiguredChipAndTheSelectorsNarrowFromTypeToMakerToChip) {
    Prepare(SampleConfig("English"), {});
    EXPECT_EQ(presenter.Start(), Workspace::StartResult::DatabaseError);
    EXPECT_EQ(host.boxes, Names{"Database error!"});
    EXPECT_FALSE(core.Space().IsReady());
    EXPECT_EQ(host.statusText, "");

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

    const int binds = host.hexViewBinds;
    presenter.OnChipTypeChanged("24 EEPROM");  // the type already selected: nothing happens
    EXPECT_EQ(host.hexViewBinds, binds);
    presenter.OnChipTypeChanged("SPI FLASH");  // first maker in the list, its first chip
    EXPECT_EQ(core.SelectedChip().chipName, "A25L080");
    EXPECT_EQ(host.offeredFor, ChipFamily::SpiFlash);
    EXPECT_NE(dir->config().find("DefaultChipName=A25L080"), std::string::npos);
    presenter.OnMakerChanged("EON");  // chip names sort without regard to case
    EXPECT_EQ(host.selectors.chips, (Names{"en25b40", "EN25Q80", "EN25T80"}));
    EXPECT_EQ(core.SelectedChip().chipName, "en25b40");
    EXPECT_EQ(core.Buffer().activeLength, 0x80000u);

    presenter.OnChipTypeChanged("24 EEPROM");
    EXPECT_EQ(host.selectors.makers[host.selectors.makerIndex], "ATMEL");
    EXPECT_EQ(core.SelectedChip().chipName, "AT24C02");
    EXPECT_EQ(host.offeredFor, ChipFamily::Eeprom24);
    presenter.OnMakerChanged("ZETA");
    EXPECT_EQ(core.SelectedChip().chipName, "24C02");
    presenter.OnChipNameChanged("24C16");
    EXPECT_EQ(core.Buffer().activeLength, 2048u);
    host.boxes.clear();
    presenter.OnChipTypeChanged("93 EEPROM");  // a type without chips keeps the selected one
    EXPECT_EQ(host.boxes, (Names{"Database error!"}));
    EXPECT_EQ(core.SelectedChip().chipName, "24C16");
    EXPECT_EQ(core.Buffer().activeLength, 2048u);
}

class BufferCommands : public WindowPresenterTest {
protected:
    void SetUp() override {
        Prepare(SampleConfig("English", "24C02"));  // a 256-byte chip
        ASSERT_EQ(presenter.Start(), Workspace::StartResult::Ready);
        host.boxes.clear();
    }
    std::string File(const std::string& name) const { return dir->file(name).string(); }
    Bytes Buffer(uint32_t from, uint32_t to) { return {&core.Buffer().bytes[from], &core.Buffer().bytes[to]}; }
};

TEST_F(BufferCommands, FillLocateAndSwapCheckTheirFieldsStopAtTheChipEndAndWaitForCommands) {
    host.fillAnswer = FillRequest{0x7F, 0x10, 0xAA, false};
    presenter.OnBufferFill();
    host.fillAnswer = FillRequest{0x100, 1, 0xAA, true};
    presenter.OnBufferFill();
    EXPECT_EQ(host.boxes, (Names{"Address format error!", "Start address error!"}));
    EXPECT_EQ(host.hexViewRefreshes, 0);

    host.fillAnswer = FillRequest{0xFE, 0x10, 0x00, true};
    presenter.OnBufferFill();
    EXPECT_EQ(Buffer(0xFD, 0x101), (Bytes{0xFF, 0x00, 0x00, 0xFF}));  // beyond the chip: untouched
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
    EXPECT_EQ(Buffer(0, 2), (Bytes{0xFF, 0x12}));

    // While a command holds the programmer the buffer must not change under it.
    core.Session().SetCommandRunning(true);
    host.boxes.clear();
    host.fillAnswer = FillRequest{0, 1, 0, true};
    for (auto edit : {&gui::WindowPresenter::OnBufferFill, &gui::WindowPresenter::OnByteSwap,
                      &gui::WindowPresenter::OnOpenFile, &gui::WindowPresenter::OnSaveFile}) {
        EXPECT_EQ((presenter.*edit)(), Outcome::Busy);
    }
    EXPECT_EQ(host.boxes, Names(4, "Programmer is busy, please wait a moment!"));
    EXPECT_EQ(Buffer(0, 2), (Bytes{0xFF, 0x12}));
}

TEST_F(BufferCommands, OpenLoadsAndNamesTheFileSaveWritesTheChipOrBothReportWhyNot) {
    WriteFileText(File("image.bin"), std::string(257, 'A'));  // one byte too long
    presenter.OnOpenFile();                                   // cancelled
    host.openAnswer = File("image.bin");
    presenter.OnOpenFile();
    EXPECT_EQ(host.boxes, (Names{"File is too long!"}));
    EXPECT_EQ(Buffer(255, 257), (Bytes{'A', 0xFF}));
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
    EXPECT_EQ(host.boxes, (Names{"Open file error!", "Drop file error!", "Open file error!", "Open file error!"}));
    EXPECT_EQ(host.caption, "Caption English   " + File("image.bin"));
    EXPECT_NE(Log().find(": Open file error!"), std::string::npos);
    EXPECT_NE(Log().find(": no end record: the file may be cut short"), std::string::npos);  // why, in the log only

    host.boxes.clear();
    core.Buffer().bytes[0] = 0x5A;
    host.saveAnswer = File("out.bin");
    presenter.OnSaveFile();
    EXPECT_EQ(host.statusText, "Save file successful!");
    EXPECT_EQ(ReadFileText(File("out.bin")), "\x5A" + std::string(255, '\xFF'));  // the chip's bytes only
    host.saveAnswer = File("no/such/dir/out.bin");
    presenter.OnSaveFile();
    EXPECT_EQ(host.statusText, "Open file error!");
    EXPECT_TRUE(host.errorColour);
    EXPECT_EQ(host.boxes, (Names{"Open file error!"}));
}

}  // namespace
}  // namespace qbr
