// SPDX-License-Identifier: GPL-3.0-or-later
// Costs of the buffer view's model on a 16 MiB chip: one typed character with
// the checksum the view then shows, and the cells of one full page.

#include "buffer/DataBuffer.h"
#include "buffer/HexViewModel.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace qbr {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kTypedGoalMicroseconds = 200;

// Mean microseconds of `runs` calls of `step`.
double MeanMicroseconds(int runs, const std::function<void()>& step) {
    const auto start = Clock::now();
    for (int i = 0; i < runs; ++i) step();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / runs;
}

int Run() {
    DataBuffer buffer;
    if (!buffer.Allocate()) return 1;
    buffer.SetActiveLength(DataBuffer::kSize);
    HexViewModel model;
    model.SetData(buffer, DataBuffer::kSize);
    model.GoToAddress(DataBuffer::kSize / 2);

    volatile uint32_t sink = 0;
    const double typed = MeanMicroseconds(200, [&] {
        model.Type(U'5');
        sink = model.Checksum();
    });
    const double checksum = MeanMicroseconds(50, [&] { sink = buffer.Checksum(); });
    if (model.Checksum() != buffer.Checksum()) {
        std::printf("the checksum kept while typing differs from a fresh sum\n");
        return 1;
    }

    std::vector<HexGlyph> glyphs;
    model.ToggleBlink();
    const double page = MeanMicroseconds(2000, [&] { model.Compose(true, glyphs); });

    std::printf("hex view, 16 MiB chip\n");
    std::printf("  typed character with checksum: %8.3f us (goal %.0f us; a fresh sum %.1f us)\n", typed,
                kTypedGoalMicroseconds, checksum);
    std::printf("  cells of one page (%zu):       %8.1f us\n", glyphs.size(), page);
    // A keystroke must stay far below what a fresh sum of the whole chip costs.
    return typed <= kTypedGoalMicroseconds ? 0 : 1;
}

}  // namespace
}  // namespace qbr

int main() {
    return qbr::Run();
}
