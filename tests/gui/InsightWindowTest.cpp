// SPDX-License-Identifier: GPL-3.0-or-later
// Compare With Chip, Find, the Next / Previous pair and the chip map in the
// window, on the emulated programmer.
#include "WindowFixture.h"
#include "emulator/EmulatedProgrammer.h"
#include "gui/ChipMap.h"
#include "gui/ExtraCommands.h"
#include "gui/HexView.h"

#include <algorithm>
#include <cstring>

using namespace qbr;
using namespace qbr::test;

namespace {

const std::vector<std::array<std::string, 3>> kShown = {{"Extras", "Shown", "1"}};

// Answers the Find box with `pattern`, as text or hex, backwards or not.
void AnswerFind(const QString& pattern, bool text, bool backward) {
    WhenDialogOpens("findDlg", [=](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("patternEdit")->setText(pattern);
        dialog.findChild<QRadioButton*>(text ? "textButton" : "hexButton")->setChecked(true);
        dialog.findChild<QRadioButton*>(backward ? "backwardButton" : "forwardButton")->setChecked(true);
        dialog.accept();
    });
}

}  // namespace

class InsightWindowTest : public QObject {
    Q_OBJECT

    static const HexViewModel& View(WindowFixture& fixture) { return fixture.Child<gui::HexView>("hexView")->Model(); }
    static uint32_t Caret(WindowFixture& fixture) { return View(fixture).CaretNibble() / 2; }
    // Presses a key on the window, active as when the user types (shortcuts need it).
    static void Press(WindowFixture& fixture, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        fixture.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&fixture.window()));
        QTest::keyClick(fixture.Child<QWidget>("hexView"), static_cast<Qt::Key>(key), modifiers);
    }
    // The background of byte `index`'s high digit, on the view's current rows.
    static Rgb Background(WindowFixture& fixture, uint32_t index) {
        std::vector<HexGlyph> glyphs;
        View(fixture).Compose(false, glyphs);
        const int row = static_cast<int>(index / 16 - View(fixture).TopRow()) + 1;
        for (const HexGlyph& glyph : glyphs) {
            if (glyph.x == HexViewModel::CellX(7 + 3 * static_cast<int>(index % 16)) &&
                glyph.y == HexViewModel::CellY(row))
                return glyph.background;
        }
        return {};
    }

private slots:
    // A chip that differs at three runs: the summary, the colour, and F3 / Shift+F3
    // going round them; a Find in between makes the pair repeat the search instead.
    void compareMarksAndThePairRepeatsTheLastUsed() {
        WindowFixture fixture("English", std::string(), kShown);
        const auto chip = fixture.window().Emulator()->Chip().Contents();
        for (uint32_t at : {0x10u, 0x12u, 0x5000u, 0x5001u, 0xFFFF0u}) chip[at] = 0x00;
        fixture.core().Buffer().bytes[0x14] = 0x00;
        fixture.Command(gui::kExtraCompare)->trigger();
        QVERIFY2(fixture.boxes.last().startsWith("Differing bytes: 6, in 3 range(s):\n  0x000010..0x000014  (5)\n"
                                                 "  0x005000..0x005001  (2)\n  0x0FFFF0..0x0FFFF0  (1)\n"),
                 qPrintable(fixture.boxes.last()));
        QVERIFY(fixture.boxes.last().contains("Likely cause: the data differs."));
        QCOMPARE(Caret(fixture), 0x10u);
        QCOMPARE(Background(fixture, 0x12), hexcolour::kDiffer);
        QVERIFY(hexcolour::kDiffer != hexcolour::kRed && hexcolour::kDiffer != hexcolour::kLavender);
        QCOMPARE(Background(fixture, 0x11), hexcolour::kWhite);

        // Typing the chip's value unmarks a byte; typing another marks it.
        QTest::keyClicks(fixture.Child<QWidget>("hexView"), "00");  // 0x10 := 0x00, as on the chip
        QCOMPARE(Background(fixture, 0x10), hexcolour::kWhite);
        QCOMPARE(Caret(fixture), 0x11u);
        QTest::keyClicks(fixture.Child<QWidget>("hexView"), "77");
        QCOMPARE(Background(fixture, 0x11), hexcolour::kDiffer);

        // From the caret at 0x12, in the run 0x11..0x12.
        const std::pair<int, uint32_t> order[] = {{0, 0x14}, {0, 0x5000},  {0, 0xFFFF0},
                                                  {0, 0x11}, {1, 0xFFFF0}, {1, 0x5000}};
        for (const auto& [back, expected] : order) {
            Press(fixture, Qt::Key_F3, back ? Qt::ShiftModifier : Qt::NoModifier);
            QCOMPARE(Caret(fixture), expected);
        }

        // After a Find the pair finds again (going round from 0x5000), after a compare it goes to differences.
        fixture.core().Buffer().bytes[0x30] = 0x00;
        AnswerFind("00", false, false);
        Press(fixture, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(Caret(fixture) == 0x10 && View(fixture).Selected(0x10) && !View(fixture).Selected(0x11));
        for (const auto& [back, expected] : {std::pair{0, 0x14u}, {0, 0x30u}, {1, 0x14u}}) {
            Press(fixture, Qt::Key_F3, back ? Qt::ShiftModifier : Qt::NoModifier);
            QCOMPARE(Caret(fixture), expected);
        }
        fixture.Command(gui::kExtraCompare)->trigger();
        QCOMPARE(Caret(fixture), 0x11u);
        Press(fixture, Qt::Key_F3);
        QCOMPARE(Caret(fixture), 0x14u);

        // A read replaces the buffer: nothing is marked any more.
        fixture.Command(kCmdReadChip)->trigger();
        QCOMPARE(Background(fixture, 0x12), hexcolour::kWhite);
        Press(fixture, Qt::Key_F3);
        QCOMPARE(fixture.boxes.last(), QString("No differing bytes are marked. Compare With Chip marks them."));
    }

    // A Verify that finds a difference offers to compare, only while the extras show.
    void failedVerifyOffersCompare() {
        for (const bool shown : {false, true}) {
            WindowFixture fixture("English", std::string(), shown ? kShown : decltype(kShown){});
            fixture.window().Emulator()->Chip().Contents()[0x40] = 0x00;
            fixture.Answer(true);
            fixture.Command(kCmdVerifyChip)->trigger();
            QCOMPARE(fixture.boxes.contains(
                         "The chip differs from the buffer. Compare the whole chip with the buffer and "
                         "mark every differing byte?"),
                     shown);
            QCOMPARE(fixture.boxes.last().startsWith("Differing bytes: 1, in 1 range(s):"), shown);
            QCOMPARE(Caret(fixture), shown ? 0x40u : 0u);
        }
    }

    // Over 16 MiB both ways from the caret, round the ends; faults and misses in a box.
    void findGoesRoundTheEndBothWays() {
        WindowFixture fixture("English", std::string(), kShown);
        const auto& records = fixture.core().Database().Records();
        fixture.core().SelectChip(*std::find_if(records.begin(), records.end(),
                                                [](const ChipRecord& chip) { return chip.capacity == 0x1000000; }));
        auto& bytes = fixture.core().Buffer().bytes;
        for (const uint32_t at : {0u, 0x800000u, 0xFFFFFEu}) {
            bytes[at] = 0xDE;
            bytes[at + 1] = 0xAD;
        }
        std::memcpy(&bytes[0x400000], "needle", 6);
        struct Step {
            const char* pattern;  // nullptr: F3 (Shift+F3 when backward)
            bool text, backward;
            uint32_t caret;  // before the step
            QString result;  // the hit's start in hex, or the box
        };
        const Step steps[] = {
            {"de ad", false, false, 0x800001, "fffffe"},
            {nullptr, false, false, 0, "0"},  // F3 from the hit at the end goes round to the start
            {nullptr, false, true, 0, "fffffe"},
            {nullptr, false, true, 0, "800000"},
            {"DEAD", false, true, 0x800000, "800000"},       // a hit at the caret counts
            {"needle", true, true, 0x400000 - 1, "400000"},  // backwards round the start
            {"ABC", false, false, 0, "Hex bytes take two digits each: \"ABC\"."},
            {"nope", true, false, 0, "Not found: nope"},
        };
        for (const Step& step : steps) {
            if (step.caret) fixture.window().SelectBytes(step.caret, 0);
            if (step.pattern) {
                AnswerFind(step.pattern, step.text, step.backward);
                fixture.Command(gui::kExtraFind)->trigger();
            } else {
                fixture.Command(step.backward ? gui::kExtraPrevious : gui::kExtraNext)->trigger();
            }
            const bool hit = step.result.size() <= 6;
            QCOMPARE(hit ? QString::number(Caret(fixture), 16) : fixture.boxes.last(), step.result);
            if (hit) QVERIFY(View(fixture).Selected(Caret(fixture) + 1) && !View(fixture).Selected(Caret(fixture) + 6));
        }
    }

    // Hidden, the items' keys do nothing and the map takes no room; shown, a click or
    // drag on the map moves the view, and a typed byte shows in it at once.
    void hiddenKeysAndTheMap() {
        WindowFixture hidden;
        bool opened = false;  // a Find box the keys bring up is closed again
        QTimer::singleShot(100, &hidden.window(), [&opened] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                opened = true;
                dialog->reject();
            }
        });
        for (const auto& [key, modifiers] : {std::pair{Qt::Key_F, Qt::ControlModifier}, {Qt::Key_F3, Qt::NoModifier}}) {
            Press(hidden, key, modifiers);
        }
        QVERIFY(!opened && hidden.boxes.isEmpty());
        QVERIFY(hidden.Child<gui::ChipMap>("chipMap")->isHidden());

        WindowFixture fixture("English", std::string(), {{"Extras", "Shown", "1"}, {"Extras", "ChipMap", "1"}});
        auto* map = fixture.Child<gui::ChipMap>("chipMap");
        QVERIFY(!map->isHidden() && map->width() == gui::ChipMap::kWidth);
        const uint32_t rows = map->Model().Rows();
        const int height = map->height();
        const uint32_t maxTop = rows - HexViewModel::kShownRows;
        for (const auto& [y, topRow] : {std::pair{0, 0u}, {height / 2, rows / 2}, {height - 1, maxTop}}) {
            QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(4, y));
            QVERIFY2(std::abs(static_cast<int>(View(fixture).TopRow()) - static_cast<int>(topRow)) <=
                         static_cast<int>(rows / height) + 1,
                     qPrintable(QString::number(View(fixture).TopRow())));
        }
        fixture.window().SelectBytes(0x20, 0);
        QTest::keyClicks(fixture.Child<QWidget>("hexView"), "1");
        QCOMPARE(map->Model().RowClass(2), MapClass::Changed);
        fixture.Command(gui::kExtraChipMap)->trigger();
        QVERIFY(map->isHidden());
    }
};

QTEST_MAIN(InsightWindowTest)
#include "InsightWindowTest.moc"
