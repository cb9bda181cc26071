// SPDX-License-Identifier: GPL-3.0-or-later
// The buffer and image-file commands of the core, through a recording host.
#include "base/MessageTable.h"
#include "buffer/ChangeMarks.h"
#include "support/CoreFixture.h"

#include <gtest/gtest.h>

namespace qbr {
namespace {

using test::ReadFileText;
using test::SampleConfig;
using test::WriteFileText;

class BufferCommands : public test::CoreFixture {
protected:
    void SetUp() override {
        Prepare(SampleConfig("English", "24C02"));  // a 256-byte chip
        ASSERT_EQ(core.Start(), ProgrammerCore::StartResult::Ready);
        host.boxes.clear();
    }
    std::string File(const std::string& name) const { return dir->file(name).string(); }
    std::vector<uint8_t> Bytes(uint32_t from, uint32_t to) {
        return {&core.Buffer().bytes[from], &core.Buffer().bytes[to]};
    }
};

TEST_F(BufferCommands, FillLocateAndSwapCheckTheirFieldsAndStopAtTheChipEnd) {
    host.fillAnswer = FillRequest{0x7F, 0x10, 0xAA, false};
    core.OnBufferFill();
    host.fillAnswer = FillRequest{0x100, 1, 0xAA, true};
    core.OnBufferFill();
    EXPECT_EQ(host.boxes, (std::vector<std::string>{"Address format error!", "Start address error!"}));
    EXPECT_EQ(host.hexViewRefreshes, 0);

    host.fillAnswer = FillRequest{0xFE, 0x10, 0x00, true};
    core.OnBufferFill();
    EXPECT_EQ(Bytes(0xFD, 0x101), (std::vector<uint8_t>{0xFF, 0x00, 0x00, 0xFF}));  // beyond the chip: untouched
    EXPECT_TRUE(IsMarked(core.Buffer(), 0xFF));
    EXPECT_EQ(host.hexViewRefreshes, 1);

    host.locateAnswer = LocateRequest{0x100, true};
    core.OnAddressLocation();
    EXPECT_EQ(host.boxes.back(), "Start address error!");
    host.locateAnswer = LocateRequest{0xFF, true};
    core.OnAddressLocation();
    EXPECT_EQ(host.goneTo, 0xFFu);

    core.Buffer().bytes[0] = 0x12;
    core.OnByteSwap();
    EXPECT_EQ(Bytes(0, 2), (std::vector<uint8_t>{0xFF, 0x12}));
}

TEST_F(BufferCommands, OpenLoadsAndNamesTheFileOrReportsWhyNot) {
    WriteFileText(File("image.bin"), std::string(257, 'A'));  // one byte too long
    core.OnOpenFile();                                        // cancelled
    host.openAnswer = File("image.bin");
    core.OnOpenFile();
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
    core.OnOpenFile();
    EXPECT_EQ(core.Buffer().bytes[0], 0x41);  // the record read before the fault stays
    core.OnDropFiles({File("a.bin"), File("b.bin")});
    core.OnDropFiles({File("missing.bin")});
    core.LoadCommandLineFile(File("missing.bin"));
    EXPECT_EQ(host.boxes, (std::vector<std::string>{"Open file error!", "Drop file error!", "Open file error!",
                                                    "Open file error!"}));
    EXPECT_EQ(host.caption, "Caption English   " + File("image.bin"));
    EXPECT_NE(Log().find(": Open file error!"), std::string::npos);
    EXPECT_NE(Log().find(": no end record: the file may be cut short"), std::string::npos);  // why, in the log only
}

TEST_F(BufferCommands, SaveWritesTheChipOrReportsAFailure) {
    core.Buffer().bytes[0] = 0x5A;
    host.saveAnswer = File("out.bin");
    core.OnSaveFile();
    EXPECT_EQ(host.statusText, "Save file successful!");
    EXPECT_EQ(ReadFileText(File("out.bin")), "\x5A" + std::string(255, '\xFF'));

    host.saveAnswer = File("no/such/dir/out.bin");
    core.OnSaveFile();
    EXPECT_EQ(host.statusText, "Open file error!");
    EXPECT_TRUE(host.errorColour);
    EXPECT_EQ(host.boxes, (std::vector<std::string>{"Open file error!"}));
}

}  // namespace
}  // namespace qbr
