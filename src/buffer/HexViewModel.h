// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/DataBuffer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace qbr {

class DifferenceMarks;

// What the view's scroll bar asks for.
enum class HexScroll { LineUp, LineDown, PageUp, PageDown, ThumbTrack, Top, Bottom };

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend bool operator==(Rgb, Rgb) = default;
};

namespace hexcolour {
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kCyan{0, 255, 255};
inline constexpr Rgb kLavender{200, 200, 230};
// Behind bytes that differ from the chip, and behind the selected bytes.
inline constexpr Rgb kDiffer{255, 200, 120};
inline constexpr Rgb kSelection{150, 210, 255};
}  // namespace hexcolour

// One character cell to draw: its top-left pixel, the character and its colours.
// The whole picture starts white; cells are drawn in order, later ones on top.
struct HexGlyph {
    int x = 0;
    int y = 0;
    char ch = ' ';
    Rgb text;
    Rgb background;
};

// A solid rectangle of the grid lines, drawn after the cells.
struct HexRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The buffer as 24 rows of 16 bytes, each byte as two hex digits and as a
// character, with a caret that overtypes bytes in either form. It keeps the
// view's state, answers scrolling, clicks and typing, and says what each cell
// shows; a widget only draws the cells and forwards input.
//
// The caret's position counts nibbles: byte index times 2, plus 1 on the byte's
// low digit. The caret's byte is highlighted.
//
// Bytes changed since the buffer was filled are drawn in red. Two highlights are
// set by their users: the bytes that differ from the chip (after a compare) and a
// selected range (a search's hit). Behind a byte, the caret's lavender wins over
// the selection, which wins over the difference colour.
class HexViewModel {
public:
    static constexpr uint32_t kShownRows = 24;
    static constexpr uint32_t kRowBytes = 16;
    static constexpr int kCellWidth = 8;
    static constexpr int kCellHeight = 16;
    static constexpr int kGridOrigin = 2;
    // 73 columns by 25 rows of cells: address, digits, characters; header and data.
    static constexpr int kWidth = 586;
    static constexpr int kHeight = 402;

    // Shows `length` bytes of `buffer` (at most the buffer's size) from the top, and
    // sums the buffer afresh. The caret, its column and the highlighted range stay
    // where they were.
    void SetData(DataBuffer& buffer, uint32_t length);
    // The buffer's checksum (DataBuffer::Checksum). Typing keeps it up to date by
    // each byte's difference; after the buffer changed otherwise, RecomputeChecksum.
    uint32_t Checksum() const { return checksum_; }
    void RecomputeChecksum() { checksum_ = buffer_ != nullptr ? buffer_->Checksum() : 0; }
    // Typing is refused while `busy` answers true (a chip operation uses the buffer).
    void SetBusyCheck(std::function<bool()> busy) { busy_ = std::move(busy); }

    // Largest first shown row: the last full page of whole rows.
    uint32_t MaxTopRow() const;
    uint32_t ScrollStep() const { return scrollStep_; }
    // The scroll bar runs from 0 to ScrollMaximum(); one position is ScrollStep() rows.
    int ScrollMaximum() const { return static_cast<int>(MaxTopRow() / scrollStep_ + 1); }
    int ScrollPosition() const { return static_cast<int>(topRow_ / scrollStep_); }

    // A scroll bar request; `thumb` is the thumb's position for ThumbTrack.
    // False when nothing happens; true when the view must show ScrollPosition().
    bool Scroll(HexScroll code, uint32_t thumb = 0);
    // One row per wheel notification: up for a positive delta, else down.
    void Wheel(int delta);
    // A left click at pixel (x, y). False when it misses the grid.
    bool HitTest(int x, int y);
    // A typed character at the caret. True when a byte changed.
    bool Type(char32_t ch);
    // Caret to the byte's high digit, its row at the top (clamped to MaxTopRow).
    void GoToAddress(uint32_t address);

    // The bytes to draw as differing from the chip; none when null. The marks must
    // outlive the view or be unset.
    void SetDifferences(const DifferenceMarks* differences) { differences_ = differences; }
    // Selects `length` bytes from `start` (none for 0). A click or a typed byte clears it.
    void SetSelection(uint32_t start, uint32_t length) {
        selectionStart_ = start;
        selectionLength_ = length;
    }
    // Whether byte `index` is selected (below the start, the unsigned difference is too large).
    bool Selected(uint32_t index) const { return index - selectionStart_ < selectionLength_; }

    // The caret's blink phase, kept by the widget's timer.
    void HideCaret() { blinkHidden_ = true; }
    void ToggleBlink() { blinkHidden_ = !blinkHidden_; }

    uint32_t CaretNibble() const { return caretNibble_; }
    bool InAsciiColumn() const { return asciiColumn_; }
    bool BlinkHidden() const { return blinkHidden_; }
    uint32_t TopRow() const { return topRow_; }
    const DataBuffer* Buffer() const { return buffer_; }

    // The cells of one picture in drawing order; the caret cell only when
    // `focused` and not in its hidden blink phase. `glyphs` is reused.
    void Compose(bool focused, std::vector<HexGlyph>& glyphs) const;
    // The grid lines of a picture `height` pixels high.
    static std::array<HexRect, 3> GridLines(int height);

    // Top-left pixel of cell (column, row).
    static int CellX(int column) { return kCellWidth * column + kGridOrigin; }
    static int CellY(int row) { return kCellHeight * row + kGridOrigin; }

private:
    void ComposeRow(int row, uint32_t bufferRow, bool showCaret, std::vector<HexGlyph>& glyphs) const;
    // Byte `index`, the j-th of its row, whose cells have their top at `y`.
    void ComposeByte(int y, int j, uint32_t index, bool showCaret, std::vector<HexGlyph>& glyphs) const;

    DataBuffer* buffer_ = nullptr;
    std::function<bool()> busy_;
    const DifferenceMarks* differences_ = nullptr;
    uint32_t selectionStart_ = 0;
    uint32_t selectionLength_ = 0;
    uint32_t caretNibble_ = 0;
    bool asciiColumn_ = false;
    bool blinkHidden_ = true;
    uint32_t length_ = 0;
    uint32_t topRow_ = 0;
    uint32_t scrollStep_ = 1;
    uint32_t checksum_ = 0;
};

}  // namespace qbr
