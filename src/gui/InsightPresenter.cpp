// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/InsightPresenter.h"

#include "base/TextFill.h"
#include "gui/ExtrasText.h"
#include "ops/ChipDiff.h"
#include "ops/DiffWording.h"

namespace qbr::gui {
void InsightPresenter::Compare() {
    ProgrammerCore& core = window_.Core();
    if (core.RefuseWhileBusy()) return;
    ChipDiff result = DiffChip(core, core.SelectedChip(), WholeChip(core.SelectedChip()));
    core.Show(result);
    if (!result.Ok()) return;
    marks_.Build(core.Buffer(), std::move(result.chipData));
    repeat_ = Repeat::Differences;
    view_.ShowDifferences();
    if (result.diff.Same()) {
        window_.MessageBox(CurrentExtrasWording().compareSame, BoxButtons::Ok);
        return;
    }
    view_.SelectBytes(result.diff.ranges.front().offset, 0);
    window_.MessageBox(DiffRangesText(result.diff, kBoxRangesListed) + '\n' + CauseText(result.diff.Cause()),
                       BoxButtons::Ok);
}

void InsightPresenter::OfferCompare() {
    if (window_.MessageBox(CurrentExtrasWording().compareOffer, BoxButtons::OkCancel)) Compare();
}

// Searches from the caret: a hit that starts there counts, either way.
void InsightPresenter::Find() {
    if (window_.Core().RefuseWhileBusy()) return;
    const std::optional<FindRequest> request = view_.AskFind(lastFind_);
    if (!request) return;
    lastFind_ = *request;
    repeat_ = Repeat::Search;
    Search(view_.CaretAddress(), request->direction);
}

// Moves off the caret, so that a hit or a run under it is passed.
void InsightPresenter::Next(SearchDirection direction) {
    if (window_.Core().RefuseWhileBusy()) return;
    const uint32_t caret = view_.CaretAddress();
    switch (repeat_) {
    case Repeat::Nothing: Find(); return;
    case Repeat::Differences: NextDifference(direction); return;
    case Repeat::Search: Search(direction == SearchDirection::Forward ? caret + 1 : caret - 1, direction); return;
    }
}

void InsightPresenter::NextDifference(SearchDirection direction) {
    const uint32_t caret = view_.CaretAddress();
    const std::optional<uint32_t> next = direction == SearchDirection::Forward ? marks_.Next(caret)
                                                                               : marks_.Previous(caret);
    if (next) {
        view_.SelectBytes(*next, 0);
    } else {
        window_.MessageBox(CurrentExtrasWording().noDifferences, BoxButtons::Ok);
    }
}

// `from` below 0 (wrapped) means from the end, as FindBytes takes it.
void InsightPresenter::Search(uint32_t from, SearchDirection direction) {
    const SearchPattern pattern = ParseSearchPattern(lastFind_.pattern, lastFind_.kind);
    if (pattern.fault != PatternFault::None) {
        window_.MessageBox(PatternFaultMessage(pattern), BoxButtons::Ok);
        return;
    }
    const DataBuffer& buffer = window_.Core().Buffer();
    const auto haystack = std::span(buffer.bytes).first(buffer.activeLength);
    const std::optional<SearchHit> hit = FindBytes(haystack, pattern.bytes, from, direction);
    if (hit) {
        view_.SelectBytes(hit->start, static_cast<uint32_t>(pattern.bytes.size()));
    } else {
        window_.MessageBox(Fill(CurrentExtrasWording().notFound, {lastFind_.pattern}), BoxButtons::Ok);
    }
}

}  // namespace qbr::gui
