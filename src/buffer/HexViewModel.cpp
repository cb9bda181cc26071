// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/HexViewModel.h"

#include "buffer/ChangeMarks.h"
#include "buffer/DifferenceMarks.h"
#include "buffer/HexText.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace qbr {
namespace {

using namespace hexcolour;

constexpr char kDigits[] = "0123456789ABCDEF";
constexpr std::string_view kHeaderDigits = "0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F  ";

// Cell columns of the grid.
constexpr int kAddressEnd = 7;      // columns 0..6: the row address
constexpr int kDigitColumn = 7;     // byte j: digits at 7 + 3j and 8 + 3j, a space at 9 + 3j
constexpr int kCharColumn = 55;     // byte j: its character at 55 + j
constexpr int kCharColumnEnd = 71;  // the first column right of the grid
constexpr int kAddrTitleColumn = 1;
constexpr int kAsciiTitleColumn = 59;
constexpr int kHeaderOffset = 3;  // the header's digits and "ASCII" sit 3 pixels right of their cells

// Pixel positions of the grid lines: under the header, left of the digits, left
// of the characters.
constexpr int kHeaderLineY = 16;
constexpr int kHeaderLineWidth = 578;
constexpr int kAddressLineX = 54;
constexpr int kDigitLineX = 438;

// The character column shows digits and letters up to 'z' as themselves.
char ShownChar(uint8_t byte) {
    return byte >= 0x30 && byte <= 0x7A ? static_cast<char>(byte) : '.';
}

// The cell index containing pixel `pixel` of a grid with cells `size` pixels long.
int CellIndex(int pixel, int size) {
    return pixel < HexViewModel::kGridOrigin ? 0 : (pixel - HexViewModel::kGridOrigin) / size;
}

// Value of a typed hex digit of either case; false for anything else.
bool DigitOf(char32_t ch, uint32_t& digit) {
    if (ch >= 0x80) return false;
    const char c = static_cast<char>(ch);
    return ParseHexText(std::string_view(&c, 1), digit);
}

void PushText(std::vector<HexGlyph>& glyphs, int x, int y, std::string_view text, Rgb colour) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ') continue;
        glyphs.push_back({x + static_cast<int>(i) * HexViewModel::kCellWidth, y, text[i], colour, kWhite});
    }
}

void ComposeHeader(std::vector<HexGlyph>& glyphs) {
    const int y = HexViewModel::CellY(0);
    PushText(glyphs, HexViewModel::CellX(kAddrTitleColumn), y, "ADDR", kBlue);
    PushText(glyphs, HexViewModel::CellX(kDigitColumn) + kHeaderOffset, y, kHeaderDigits, kBlue);
    PushText(glyphs, HexViewModel::CellX(kAsciiTitleColumn) + kHeaderOffset, y, "ASCII", kBlue);
}

}  // namespace

void HexViewModel::SetData(DataBuffer& buffer, uint32_t length) {
    buffer_ = &buffer;
    length_ = static_cast<uint32_t>(std::min<size_t>(length, buffer.bytes.size()));
    topRow_ = 0;
    scrollStep_ = length_ > 0x10000 ? 16 : 1;
    RecomputeChecksum();
}

uint32_t HexViewModel::MaxTopRow() const {
    const uint32_t rows = length_ / kRowBytes;
    return rows <= kShownRows ? 0 : rows - kShownRows;
}

bool HexViewModel::Scroll(HexScroll code, uint32_t thumb) {
    const uint32_t maxTop = MaxTopRow();
    switch (code) {
    case HexScroll::LineUp:
        if (topRow_ == 0) return false;
        --topRow_;
        break;
    case HexScroll::LineDown:
        if (topRow_ == maxTop) return false;
        ++topRow_;
        break;
    case HexScroll::PageUp:
        if (topRow_ == 0) return false;
        topRow_ = topRow_ > scrollStep_ ? topRow_ - scrollStep_ : 0;
        break;
    case HexScroll::PageDown:
        if (topRow_ == maxTop) return false;
        topRow_ = std::min(topRow_ + scrollStep_, maxTop);
        break;
    case HexScroll::ThumbTrack: topRow_ = thumb * scrollStep_; break;
    case HexScroll::Top: topRow_ = 0; break;
    case HexScroll::Bottom: topRow_ = maxTop; break;
    }
    topRow_ = std::min(topRow_, maxTop);
    return true;
}

void HexViewModel::Wheel(int delta) {
    if (delta > 0) {
        if (topRow_ > 0) --topRow_;
    } else if (topRow_ < MaxTopRow()) {
        ++topRow_;
    }
}

bool HexViewModel::HitTest(int x, int y) {
    const int column = CellIndex(x, kCellWidth);
    const int row = CellIndex(y, kCellHeight);
    if (column < kAddressEnd || row < 1 || row > static_cast<int>(kShownRows)) return false;
    SetSelection(0, 0);
    const uint32_t rowStart = topRow_ + static_cast<uint32_t>(row) - 1;
    if (column < kCharColumn) {
        // Each byte takes three columns: high digit, low digit, space. The space
        // belongs to the next byte's high digit.
        asciiColumn_ = false;
        caretNibble_ = rowStart * 2 * kRowBytes + static_cast<uint32_t>(2 * column - 2 * kDigitColumn + 2) / 3;
    } else if (column < kCharColumnEnd) {
        asciiColumn_ = true;
        caretNibble_ = 2 * (rowStart * kRowBytes + static_cast<uint32_t>(column - kCharColumn));
    }
    // Right of the characters the caret stays where it was; wherever it is, it
    // never goes past the end position after the last byte.
    if (caretNibble_ / 2 >= length_) caretNibble_ = 2 * length_;
    return true;
}

bool HexViewModel::Type(char32_t ch) {
    const uint32_t index = caretNibble_ / 2;
    if (buffer_ == nullptr || index >= length_ || (busy_ && busy_())) return false;
    uint8_t& byte = buffer_->bytes[index];
    const uint8_t old = byte;
    if (asciiColumn_) {
        if (ch < 0x20 || ch > 0x7A) return false;
        byte = static_cast<uint8_t>(ch);
        caretNibble_ = (caretNibble_ & ~1u) + 2;
    } else {
        uint32_t digit = 0;
        if (!DigitOf(ch, digit)) return false;
        byte = (caretNibble_ & 1) ? static_cast<uint8_t>((byte & 0xF0) | digit)
                                  : static_cast<uint8_t>((byte & 0x0F) | (digit << 4));
        ++caretNibble_;
    }
    SetMark(*buffer_, index);
    SetSelection(0, 0);
    // The sum covers the active bytes only; wrapping arithmetic keeps it equal to a fresh sum.
    if (index < buffer_->activeLength) checksum_ += static_cast<uint32_t>(byte) - old;
    return true;
}

void HexViewModel::GoToAddress(uint32_t address) {
    caretNibble_ = address * 2;
    topRow_ = std::min(address / kRowBytes, MaxTopRow());
}

void HexViewModel::Compose(bool focused, std::vector<HexGlyph>& glyphs) const {
    glyphs.clear();
    ComposeHeader(glyphs);
    if (buffer_ == nullptr) return;
    const bool showCaret = focused && !blinkHidden_;
    const uint32_t wholeRows = length_ / kRowBytes;
    for (uint32_t row = 1; row <= kShownRows && topRow_ + row - 1 < wholeRows; ++row) {
        ComposeRow(static_cast<int>(row), topRow_ + row - 1, showCaret, glyphs);
    }
}

void HexViewModel::ComposeRow(int row, uint32_t bufferRow, bool showCaret, std::vector<HexGlyph>& glyphs) const {
    const int y = CellY(row);
    char address[16];
    std::snprintf(address, sizeof address, "%-.6X", bufferRow * kRowBytes);
    PushText(glyphs, CellX(0), y, address, kBlue);
    for (uint32_t j = 0; j < kRowBytes; ++j) {
        ComposeByte(y, static_cast<int>(j), bufferRow * kRowBytes + j, showCaret, glyphs);
    }
}

void HexViewModel::ComposeByte(int y, int j, uint32_t index, bool showCaret, std::vector<HexGlyph>& glyphs) const {
    const uint8_t byte = buffer_->bytes[index];
    const bool marked = IsMarked(*buffer_, index);
    const Rgb text = marked ? kRed : kBlack;
    Rgb background = kWhite;
    if (index == caretNibble_ / 2) {
        background = kLavender;
    } else if (Selected(index)) {
        background = kSelection;
    } else if (differences_ != nullptr && differences_->Differs(index)) {
        background = kDiffer;
    }
    const int digitColumn = kDigitColumn + 3 * j;

    // The caret is one cell in inverse colours: the character, or the digit it stands on.
    const bool caretHere = showCaret && index == caretNibble_ / 2;
    const int caretColumn = asciiColumn_ ? kCharColumn + j : digitColumn + static_cast<int>(caretNibble_ & 1);
    auto push = [&](int column, char ch) {
        if (caretHere && column == caretColumn) {
            glyphs.push_back({CellX(column), y, ch, marked ? kCyan : kWhite, kBlack});
        } else {
            glyphs.push_back({CellX(column), y, ch, text, background});
        }
    };
    push(kCharColumn + j, ShownChar(byte));
    push(digitColumn, kDigits[byte >> 4]);
    push(digitColumn + 1, kDigits[byte & 0x0F]);
}

std::array<HexRect, 3> HexViewModel::GridLines(int height) {
    return {{{0, kHeaderLineY, kHeaderLineWidth, 1}, {kAddressLineX, 0, 1, height}, {kDigitLineX, 0, 1, height}}};
}

}  // namespace qbr
