// SPDX-License-Identifier: GPL-3.0-or-later
// Edits of the buffer: Buffer Fill, Byte Swap and the hex view's model, which
// lays out the cells, scrolls, hit-tests clicks and takes typed digits and text.
#include "buffer/BufferEdits.h"
#include "buffer/ChangeMarks.h"
#include "buffer/HexViewModel.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <string>
#include <vector>

namespace qbr {
namespace {

// A chip of `activeLength` bytes in a 1 KiB buffer holding a counting pattern.
DataBuffer PatternBuffer(uint32_t activeLength) {
    DataBuffer buffer{std::vector<uint8_t>(1024), std::vector<uint8_t>(128), activeLength};
    std::iota(buffer.bytes.begin(), buffer.bytes.end(), uint8_t{0});
    return buffer;
}

std::vector<uint32_t> Marked(const DataBuffer& buffer) {
    std::vector<uint32_t> marked;
    for (uint32_t i = 0; i < buffer.bytes.size(); ++i) {
        if (IsMarked(buffer, i)) marked.push_back(i);
    }
    return marked;
}

// Where the fill stops and reports a bad start is in the core's tests.
TEST(BufferFill, StartPlusLengthBeyondTwoToTheThirtyTwoIsCutNotWrapped) {
    DataBuffer buffer = PatternBuffer(128);
    EXPECT_EQ(FillRange(buffer, 3, 0xFFFFFFFF, 0x11), EditCheck::Ok);
    EXPECT_TRUE(buffer.bytes[2] == 2 && buffer.bytes[3] == 0x11 && buffer.bytes[127] == 0x11 &&
                buffer.bytes[128] == 128);
    const auto marked = Marked(buffer);  // starting inside a mark byte
    EXPECT_TRUE(marked.size() == 125 && marked.front() == 3 && marked.back() == 127);
}

TEST(ByteSwap, SwapsWordsOfTheChipOnlyAndClearsWholeMarkBytes) {
    DataBuffer buffer = PatternBuffer(256);
    MarkRange(buffer, 10, 20);
    ByteSwap(buffer);
    EXPECT_TRUE(buffer.bytes[0] == 1 && buffer.bytes[255] == 254 && buffer.bytes[256] == 0 && Marked(buffer).empty());
    // Odd length: the last byte has no partner and stays; marks of 8..12 stay too.
    buffer = PatternBuffer(13);
    MarkRange(buffer, 0, 13);  // a whole mark byte and five tail bits
    ByteSwap(buffer);
    EXPECT_EQ(std::vector<uint8_t>(&buffer.bytes[10], &buffer.bytes[14]), (std::vector<uint8_t>{11, 10, 12, 13}));
    EXPECT_EQ(Marked(buffer), (std::vector<uint32_t>{8, 9, 10, 11, 12}));
}

class HexViewModelTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(buffer.Allocate()); }
    static int X(int column) { return HexViewModel::CellX(column) + 3; }  // a pixel inside the cell
    static int Y(int row) { return HexViewModel::CellY(row) + 5; }
    void Bind(uint32_t length) {
        buffer.SetActiveLength(length);
        model.SetData(buffer, length);
    }
    void TypeText(const std::u32string& text) {
        for (char32_t ch : text) model.Type(ch);
    }
    // The characters drawn in `count` cells of a row, blank for an empty cell.
    std::string RowText(int row, int column, int count) {
        std::vector<HexGlyph> glyphs;
        model.Compose(false, glyphs);
        std::string text(static_cast<size_t>(count), ' ');
        for (const HexGlyph& glyph : glyphs) {
            const int c = (glyph.x - HexViewModel::kGridOrigin) / HexViewModel::kCellWidth - column;
            if (glyph.y == HexViewModel::CellY(row) && c >= 0 && c < count) text[static_cast<size_t>(c)] = glyph.ch;
        }
        return text;
    }
    DataBuffer buffer;
    HexViewModel model;
};

// Highest top row, rows per scroll bar step and the scroll bar's maximum for a length.
TEST_F(HexViewModelTest, ScrollRangeFollowsTheLength) {
    using Row = std::array<uint32_t, 4>;
    for (const Row& c : {Row{399, 0, 1, 1}, Row{400, 1, 1, 2}, Row{0x10000, 4072, 1, 4073}, Row{0x10010, 4073, 16, 255},
                         Row{0x1000000, 1048552, 16, 65535}}) {
        Bind(c[0]);
        EXPECT_EQ((Row{c[0], model.MaxTopRow(), model.ScrollStep(), uint32_t(model.ScrollMaximum())}), c);
    }
}

TEST_F(HexViewModelTest, Clicks) {
    Bind(0x1000);
    model.Scroll(HexScroll::LineDown);  // the first data row shows buffer row 1
    // Column clicked: the nibble selected, and whether in the text column; a space
    // selects the next byte (the last one: the next row). Address, header and
    // below the page are misses.
    using Row = std::array<int, 3>;
    for (const Row& c : {Row{7, 32, 0}, Row{8, 33, 0}, Row{9, 34, 0}, Row{54, 64, 0}, Row{55, 32, 1}, Row{70, 62, 1}}) {
        EXPECT_TRUE(model.HitTest(HexViewModel::CellX(c[0]), Y(1)));
        EXPECT_EQ((Row{c[0], int(model.CaretNibble()), model.InAsciiColumn()}), c);
    }
    EXPECT_TRUE(model.HitTest(X(71), Y(2)));  // right of the grid: a hit, caret kept
    for (auto [x, y] : {std::pair{X(6), Y(5)}, {X(20), 1}, {X(20), Y(25)}}) EXPECT_FALSE(model.HitTest(x, y));
    EXPECT_EQ(model.CaretNibble(), 62u);
    Bind(128);
    EXPECT_TRUE(model.HitTest(X(20), Y(12)));  // below the data: the end position
    EXPECT_EQ(model.CaretNibble(), 256u);
}

TEST_F(HexViewModelTest, TypingInBothColumnsUpToTheEndAndNotWhileBusy) {
    Bind(0x1000);
    TypeText(U"41");
    EXPECT_TRUE(buffer.bytes[0] == 0x41 && IsMarked(buffer, 0) && model.CaretNibble() == 2u);
    model.HitTest(X(11), Y(1));  // low digit of byte 1
    TypeText(U"c");
    model.HitTest(X(58), Y(1));  // character of byte 3
    TypeText(U" z");
    EXPECT_TRUE(buffer.bytes[1] == 0xFC && buffer.bytes[4] == 'z');
    // Rejected in either column, also non-ASCII characters whose low byte would pass.
    for (char32_t ch : {U'{', U'\x1F', U'\x141'}) EXPECT_FALSE(model.Type(ch));
    model.HitTest(X(22), Y(1));
    for (char32_t ch : {U'g', U' ', U'\x136'}) EXPECT_FALSE(model.Type(ch));
    EXPECT_TRUE(!IsMarked(buffer, 5) && model.CaretNibble() == 10u);
    EXPECT_EQ(model.Checksum(), buffer.Checksum());  // kept by each byte's difference

    model.GoToAddress(0xFFF);
    TypeText(U"AB1");
    EXPECT_TRUE(buffer.bytes[0xFFF] == 0xAB && buffer.bytes[0x1000] == 0xFF);
    model.GoToAddress(0x800);
    Bind(0x400);  // a smaller chip: the caret is past its end
    EXPECT_FALSE(model.Type(U'1'));
    bool busy = true;
    model.SetBusyCheck([&busy] { return busy; });
    model.GoToAddress(0);
    EXPECT_FALSE(model.Type(U'1'));
    busy = false;
    EXPECT_TRUE(model.Type(U'1'));
}

TEST_F(HexViewModelTest, CellsAndGoToAddress) {
    Bind(0x1000000);
    const uint8_t row[8] = {0x20, 0x2F, 0x7B, 0x80, 0xFF, 0x30, 0x41, 0x7A};
    std::copy(std::begin(row), std::end(row), buffer.bytes.begin() + 16);
    EXPECT_EQ(RowText(0, 0, 5), " ADDR");
    EXPECT_EQ(RowText(2, 0, 22), "000010 20 2F 7B 80 FF ");
    EXPECT_EQ(RowText(2, 55, 9), ".....0Az.");
    model.GoToAddress(0x123456);
    EXPECT_TRUE(model.TopRow() == 0x12345u && model.CaretNibble() == 0x2468ACu);
    model.GoToAddress(0xFFFFFF);  // the last byte: the last full page
    EXPECT_EQ(RowText(24, 0, 6), "FFFFF0");
    Bind(0x24);
    EXPECT_EQ(RowText(3, 0, 7), "       ");  // a partial last row is not shown
}

}  // namespace
}  // namespace qbr
