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
    const double typed = MeanMicroseconds(50, [&] {
        model.Type(U'5');
        sink = buffer.Checksum();
    });
    const double checksum = MeanMicroseconds(50, [&] { sink = buffer.Checksum(); });

    std::vector<HexGlyph> glyphs;
    model.ToggleBlink();
    const double page = MeanMicroseconds(2000, [&] { model.Compose(true, glyphs); });

    std::printf("hex view, 16 MiB chip\n");
    std::printf("  typed character with checksum: %8.1f us (checksum alone %.1f us)\n", typed, checksum);
    std::printf("  cells of one page (%zu):       %8.1f us\n", glyphs.size(), page);
    return 0;
}

}  // namespace
}  // namespace qbr

int main() { return qbr::Run(); }
