// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/DifferenceMarks.h"
#include "gui/ExtrasView.h"
#include "gui/WindowPresenter.h"

#include <optional>

namespace qbr::gui {

// Compare With Chip, Find and the Next / Previous pair, without Qt. The pair
// repeats whichever was used last: after a compare it goes from difference to
// difference, after a Find it finds again.
class InsightPresenter {
public:
    InsightPresenter(ExtrasView& view, WindowPresenter& window) : view_(view), window_(window) {}

    // Reads the whole chip, marks every byte that differs from the buffer, goes to
    // the first and sums the differences up in a box.
    void Compare();
    // After a Verify that found a difference: offers to compare.
    void OfferCompare();
    void Find();
    void Next(SearchDirection direction);

    // The marks the view draws; they live as long as the presenter.
    const DifferenceMarks& Marks() const { return marks_; }
    // The buffer's bytes were replaced: the marks no longer say anything, and the
    // pair says so until the next compare or Find.
    void BufferReplaced() { marks_.Clear(); }
    // Byte `index` was typed: its mark follows.
    void ByteTyped(uint32_t index) { marks_.Update(index); }

private:
    enum class Repeat { Nothing, Differences, Search };

    void NextDifference(SearchDirection direction);
    void Search(uint32_t from, SearchDirection direction);

    ExtrasView& view_;
    WindowPresenter& window_;
    DifferenceMarks marks_;
    Repeat repeat_ = Repeat::Nothing;
    FindRequest lastFind_;
};

}  // namespace qbr::gui
