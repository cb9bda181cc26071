// SPDX-License-Identifier: GPL-3.0-or-later
// Find's patterns and search, the bytes that differ from the chip, the chip map's
// summary and click targets, and how the hex view draws differences and a selection.
#include "base/Language.h"
#include "buffer/ByteSearch.h"
#include "buffer/ChangeMarks.h"
#include "buffer/ChipMapModel.h"
#include "buffer/DifferenceMarks.h"
#include "buffer/HexViewModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <optional>
#include <random>
#include <tuple>
#include <vector>

namespace qbr {
namespace {

constexpr uint32_t kEnd = DataBuffer::kSize;
using Bytes = std::vector<uint8_t>;

TEST(ByteSearch, PatternsAndTheirFaultsInBothLanguages) {
    using Case = std::tuple<const char*, SearchKind, Bytes, PatternFault, const char*>;  // with the text at fault
    for (const auto& [text, kind, bytes, fault, faultText] : std::vector<Case>{
             {"DE AD BE EF", SearchKind::Hex, {0xDE, 0xAD, 0xBE, 0xEF}, PatternFault::None, ""},
             {" dead\tbeef ", SearchKind::Hex, {0xDE, 0xAD, 0xBE, 0xEF}, PatternFault::None, ""},
             {"DE ADB EF", SearchKind::Hex, {}, PatternFault::OddDigitCount, "ADB"},
             {"DE A", SearchKind::Hex, {}, PatternFault::OddDigitCount, "A"},
             {"DE 0x12", SearchKind::Hex, {}, PatternFault::NotHexDigit, "x"},
             {"DE ü", SearchKind::Hex, {}, PatternFault::NotHexDigit, "ü"},
             {" ", SearchKind::Hex, {}, PatternFault::Empty, ""},
             {"Ab 1", SearchKind::Text, {'A', 'b', ' ', '1'}, PatternFault::None, ""},
             {"", SearchKind::Text, {}, PatternFault::Empty, ""},
         }) {
        const SearchPattern pattern = ParseSearchPattern(text, kind);
        EXPECT_TRUE(pattern.bytes == bytes && pattern.fault == fault && pattern.faultText == faultText) << text;
        const std::string english = PatternFaultMessage(pattern);
        SetLanguageForSession(kLanguageChinese);
        const std::string chinese = PatternFaultMessage(pattern);
        SetLanguageForSession(kLanguageEnglish);
        EXPECT_TRUE(english.empty() == (fault == PatternFault::None) && (english.empty() || english != chinese) &&
                    chinese.find(faultText) != std::string::npos && english.find(faultText) != std::string::npos)
            << english;
    }
}

// 16 MiB of 0xFF with AB CD EF at 0, 0x1000, 0xFEFFFC and ending at the last byte,
// and CD EF at 0x1010, which looks like a hit until its first byte is compared.
TEST(ByteSearch, FindsBothWaysAcrossBothEnds) {
    constexpr uint32_t kLate = kEnd - 3 - 0x10000 - 1;
    const Bytes needle{0xAB, 0xCD, 0xEF};
    Bytes haystack(kEnd, 0xFF);
    for (uint32_t at : {0u, 0x1000u, kLate, kEnd - 3}) std::copy(needle.begin(), needle.end(), &haystack[at]);
    std::copy_n(&needle[1], 2, &haystack[0x1010]);
    constexpr auto kForward = SearchDirection::Forward, kBackward = SearchDirection::Backward;
    using Case = std::tuple<Bytes, uint32_t, SearchDirection, std::optional<SearchHit>>;  // needle, from
    for (const auto& [bytes, from, direction, hit] : std::vector<Case>{
             {needle, 0, kForward, SearchHit{0, false}},
             {needle, 1, kForward, SearchHit{0x1000, false}},
             {needle, kLate + 1, kForward, SearchHit{kEnd - 3, false}},
             {needle, kEnd - 2, kForward, SearchHit{0, true}},  // less left than the needle
             {needle, kEnd, kBackward, SearchHit{kEnd - 3, false}},
             {needle, kEnd - 4, kBackward, SearchHit{kLate, false}},
             {needle, kLate - 1, kBackward, SearchHit{0x1000, false}},
             {needle, 0x1010, kBackward, SearchHit{0x1000, false}},
             {needle, 0, kBackward, SearchHit{0, false}},
             {{0xCD, 0xEF, 0xFF}, 0, kBackward, SearchHit{kLate + 1, true}},
             {{0xCD}, 0, kBackward, SearchHit{kEnd - 2, true}},
             {{0xCD}, kEnd - 1, kForward, SearchHit{1, true}},
             {{0xEF}, kEnd - 1, kForward, SearchHit{kEnd - 1, false}},
             {{0xEF, 0xAB}, kEnd / 2, kForward, std::nullopt},  // begun at the end, no byte follows
             {{0xEF, 0xAB}, kEnd / 2, kBackward, std::nullopt},
         }) {
        EXPECT_EQ(FindBytes(haystack, bytes, from, direction), hit) << from;
    }
    EXPECT_FALSE(FindBytes(Bytes(2, 0xFF), Bytes(3, 0xFF), 0, kForward));
}

// A 256-byte buffer whose chip differs in runs 0..1, 63..65 (across two words) and 255.
class DifferencesTest : public testing::Test {
protected:
    void SetUp() override {
        std::iota(buffer.bytes.begin(), buffer.bytes.end(), uint8_t{0});
        Bytes chip = buffer.bytes;
        for (uint32_t i : {0u, 1u, 63u, 64u, 65u, 255u}) chip[i] ^= 0x10;
        differences.Build(buffer, chip);
    }
    void Type(uint32_t index, uint8_t value) {
        buffer.bytes[index] = value;
        differences.Update(index);
    }
    DataBuffer buffer{Bytes(256), Bytes(32), 256};
    DifferenceMarks differences;
};

TEST_F(DifferencesTest, NextAndPreviousGoRunByRunAndWrap) {
    using Row = std::array<uint32_t, 3>;  // from, next, previous
    for (const Row& c : {Row{0, 63, 255}, Row{63, 255, 0}, Row{64, 255, 63}, Row{255, 0, 63}, Row{100, 255, 63}}) {
        EXPECT_EQ((Row{c[0], *differences.Next(c[0]), *differences.Previous(c[0])}), c);
    }
    EXPECT_EQ(differences.Count(), 6u);
    Type(63, 63 ^ 0x10);  // the chip's value back: the run now starts at 64
    Type(128, 0);         // a new differing byte
    EXPECT_TRUE(!differences.Differs(63) && differences.Differs(128) && differences.Count() == 6u);
    EXPECT_TRUE(*differences.Next(0) == 64 && *differences.Next(64) == 128 && *differences.Previous(255) == 128);
    differences.Clear();
    EXPECT_TRUE(differences.Count() == 0 && !differences.Next(0) && !differences.Previous(0));
}

// The class a row must have, byte by byte.
MapClass ExpectedClass(const DataBuffer& buffer, const DifferenceMarks& differences, uint32_t row) {
    MapClass best = MapClass::Blank;
    for (uint32_t i = row * 16; i < std::min(row * 16 + 16, buffer.activeLength); ++i) {
        const MapClass c = differences.Differs(i)    ? MapClass::Differs
                           : IsMarked(buffer, i)     ? MapClass::Changed
                           : buffer.bytes[i] != 0xFF ? MapClass::Data
                                                     : MapClass::Blank;
        best = std::max(best, c);
    }
    return best;
}

TEST(ChipMap, KeptByTypedRowsItDrawsWhatTheBytesHold) {
    constexpr uint32_t kLength = 0x10008;  // 4097 rows, the last one half
    DataBuffer buffer{Bytes(kLength, 0xFF), Bytes(kLength / 8 + 1), kLength};
    Bytes chip = buffer.bytes;
    for (uint32_t i = 5; i < kLength; i += 7919) chip[i] = 0;
    DifferenceMarks differences;
    differences.Build(buffer, chip);
    ChipMapModel map;
    map.SetData(buffer, kLength, &differences);
    std::mt19937 random(5150);
    for (int edit = 0; edit < 4000; ++edit) {
        const uint32_t index = random() % kLength;
        switch (random() % 4) {
        case 0: buffer.bytes[index] = 0xFF; break;
        case 1: buffer.bytes[index] = static_cast<uint8_t>(random()); break;
        case 2: SetMark(buffer, index); break;
        case 3: buffer.bytes[index] = chip[index]; break;
        }
        differences.Update(index);
        map.UpdateRow(index / 16);
        if (edit == 2000) {  // a bulk change, then a rescan of its rows
            ClearMarks(buffer, 0x8000);
            map.Rescan(0, 0x800);
        }
    }
    for (uint32_t row = 0; row < map.Rows(); ++row)
        ASSERT_EQ(map.RowClass(row), ExpectedClass(buffer, differences, row));
    std::vector<MapClass> pixels;
    for (uint32_t height : {1u, 3u, 600u}) {  // pixels of whole blocks and of a few rows
        map.Compose(int(height), pixels);
        ASSERT_EQ(pixels.size(), height);
        for (uint32_t y = 0; y < height; ++y) {
            MapClass best = MapClass::Blank;
            for (uint32_t row = y * 4097 / height; row < (y + 1) * 4097 / height; ++row) {
                best = std::max(best, map.RowClass(row));
            }
            ASSERT_EQ(pixels[y], best) << height << " " << y;
        }
    }
}

TEST(ChipMap, ClicksLandOnTheMarkAndReachBothEnds) {
    DataBuffer buffer{Bytes(0x10000, 0xFF), Bytes(0x2000), 0x10000};  // 4096 rows
    SetMark(buffer, 100 * 16 + 3);
    Bytes chip = buffer.bytes;
    chip[2003 * 16 + 5] = 0;
    DifferenceMarks differences;
    differences.Build(buffer, chip);
    ChipMapModel map;
    map.SetData(buffer, 0x10000, &differences);
    std::vector<MapClass> pixels;
    map.Compose(600, pixels);
    const auto differing = std::find(pixels.begin(), pixels.end(), MapClass::Differs) - pixels.begin();
    EXPECT_EQ(map.AddressAt(int(differing), 600), 2003u * 16);  // not the first row of its pixel
    using Row = std::array<int, 2>;                             // pixel, address
    for (const Row& c : {Row{-3, 0}, Row{0, 0}, Row{300, 2048 * 16}, Row{599, 4095 * 16}, Row{640, 4095 * 16}}) {
        EXPECT_EQ((Row{c[0], int(map.AddressAt(c[0], 600))}), c);
    }
    map.Compose(3, pixels);  // whole blocks
    EXPECT_EQ(pixels, (std::vector{MapClass::Changed, MapClass::Differs, MapClass::Blank}));
    map.SetData(buffer, 256, nullptr);  // fewer rows than pixels
    EXPECT_TRUE(map.AddressAt(300, 600) == 8 * 16 && map.AddressAt(599, 600) == 15 * 16);
}

TEST_F(DifferencesTest, HexViewDrawsDifferencesAndTheSelectionApart) {
    using namespace hexcolour;
    for (Rgb other : {kWhite, kRed, kLavender})
        EXPECT_FALSE(other == kDiffer || other == kSelection || kDiffer == kSelection);
    HexViewModel view;
    view.SetData(buffer, 256);
    view.SetDifferences(&differences);
    view.SetSelection(64, 2);
    SetMark(buffer, 63);
    // The high digit's text and background of a byte; the caret is on byte 0.
    auto cell = [&view](uint32_t index) {
        std::vector<HexGlyph> glyphs;
        view.Compose(false, glyphs);
        const int x = HexViewModel::CellX(7 + 3 * int(index % 16)), y = HexViewModel::CellY(1 + int(index / 16));
        const auto at = std::find_if(glyphs.begin(), glyphs.end(), [&](auto& g) { return g.x == x && g.y == y; });
        return std::pair{at->text, at->background};
    };
    using Cell = std::pair<Rgb, Rgb>;
    EXPECT_TRUE(cell(0) == Cell(kBlack, kLavender) && cell(1) == Cell(kBlack, kDiffer) &&
                cell(63) == Cell(kRed, kDiffer) && cell(64) == Cell(kBlack, kSelection) &&
                cell(2) == Cell(kBlack, kWhite));
    view.HitTest(HexViewModel::CellX(7), HexViewModel::CellY(3));  // a click clears the selection
    EXPECT_TRUE(cell(64) == Cell(kBlack, kDiffer));
}

}  // namespace
}  // namespace qbr
