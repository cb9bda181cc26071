// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/ChangeMarks.h"
#include "buffer/HexViewModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qbr {
namespace {

// A pixel inside cell (column, row).
int X(int column) {
    return HexViewModel::CellX(column) + 3;
}
int Y(int row) {
    return HexViewModel::CellY(row) + 5;
}

class HexViewModelTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(buffer.Allocate()); }

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

// How the scroll bar moves the rows is in the view's test.
TEST_F(HexViewModelTest, ScrollRangeFollowsTheLength) {
    struct Case {
        uint32_t length, maxTopRow, step;
        int scrollMaximum;
    };
    for (const Case& c :
         {Case{128, 0, 1, 1}, Case{384, 0, 1, 1}, Case{399, 0, 1, 1}, Case{400, 1, 1, 2}, Case{0x10000, 4072, 1, 4073},
          Case{0x10010, 4073, 16, 255}, Case{0x1000000, 1048552, 16, 65535}}) {
        SCOPED_TRACE(c.length);
        Bind(c.length);
        EXPECT_EQ(model.MaxTopRow(), c.maxTopRow);
        EXPECT_EQ(model.ScrollStep(), c.step);
        EXPECT_EQ(model.ScrollMaximum(), c.scrollMaximum);
    }
}

TEST_F(HexViewModelTest, Clicks) {
    Bind(0x1000);
    model.Scroll(HexScroll::LineDown);  // the first data row shows buffer row 1
    struct Case {
        int column;
        uint32_t nibble;
        bool ascii;
    };
    for (const Case& c : {Case{7, 32, false}, Case{8, 33, false}, Case{9, 34, false},  // space: next byte
                          Case{54, 64, false},                                         // last space: the next row
                          Case{55, 32, true}, Case{70, 62, true}}) {
        SCOPED_TRACE(c.column);
        EXPECT_TRUE(model.HitTest(HexViewModel::CellX(c.column), Y(1)));
        EXPECT_EQ(model.SelectionEnd(), c.nibble);
        EXPECT_EQ(model.InAsciiColumn(), c.ascii);
    }
    EXPECT_TRUE(model.HitTest(X(71), Y(2)));  // right of the grid: a hit, caret kept
    EXPECT_FALSE(model.HitTest(X(6), Y(5)));  // address
    EXPECT_FALSE(model.HitTest(X(20), 1));    // header
    EXPECT_FALSE(model.HitTest(X(20), Y(25)));
    EXPECT_EQ(model.CaretNibble(), 62u);

    Bind(128);
    EXPECT_TRUE(model.HitTest(X(20), Y(12)));  // below the data: the end position
    EXPECT_EQ(model.CaretNibble(), 256u);
}

TEST_F(HexViewModelTest, TypingInBothColumns) {
    Bind(256);
    TypeText(U"41");
    EXPECT_EQ(buffer.bytes[0], 0x41);
    EXPECT_TRUE(IsMarked(buffer, 0));
    EXPECT_EQ(model.CaretNibble(), 2u);
    model.HitTest(X(11), Y(1));  // low digit of byte 1
    TypeText(U"c");
    EXPECT_EQ(buffer.bytes[1], 0xFC);
    model.HitTest(X(58), Y(1));  // character of byte 3
    TypeText(U" z");
    EXPECT_EQ(buffer.bytes[4], 'z');

    // Rejected in either column, also non-ASCII characters whose low byte would pass.
    for (char32_t ch : {U'{', U'\x1F', U'\x141'}) EXPECT_FALSE(model.Type(ch));
    model.HitTest(X(22), Y(1));
    for (char32_t ch : {U'g', U' ', U'\x136'}) EXPECT_FALSE(model.Type(ch));
    EXPECT_FALSE(IsMarked(buffer, 5));
    EXPECT_EQ(model.CaretNibble(), 10u);
    EXPECT_EQ(model.Checksum(), buffer.Checksum());  // kept by each byte's difference
}

TEST_F(HexViewModelTest, TypingStopsAtTheEndAndWhileBusy) {
    Bind(0x1000);
    model.GoToAddress(0xFFF);
    TypeText(U"AB1");
    EXPECT_EQ(buffer.bytes[0xFFF], 0xAB);
    EXPECT_EQ(buffer.bytes[0x1000], 0xFF);
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
    EXPECT_EQ(model.TopRow(), 0x12345u);
    EXPECT_EQ(model.CaretNibble(), 0x2468ACu);
    model.GoToAddress(0xFFFFFF);  // the last byte: the last full page
    EXPECT_EQ(RowText(24, 0, 6), "FFFFF0");

    Bind(0x24);
    EXPECT_EQ(RowText(3, 0, 7), "       ");  // a partial last row is not shown
}

}  // namespace
}  // namespace qbr
