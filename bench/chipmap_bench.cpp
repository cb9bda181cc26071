// SPDX-License-Identifier: GPL-3.0-or-later
// The chip map of a 16 MiB buffer with data, changed bytes and differences from
// the chip: what one typed byte costs until the strip's 600 pixels are known
// again (goal 2 ms; exits 1 over it), and, for information, a full rescan after a
// bulk change and building the difference marks after a compare.

#include "buffer/ChangeMarks.h"
#include "buffer/ChipMapModel.h"
#include "buffer/DataBuffer.h"
#include "buffer/DifferenceMarks.h"
#include "buffer/HexViewModel.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace qbr {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kTypedGoalMs = 2;
constexpr int kHeight = 600;

// Mean milliseconds of `runs` calls of `step`.
double MeanMs(int runs, const std::function<void()>& step) {
    const auto start = Clock::now();
    for (int i = 0; i < runs; ++i) step();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / runs;
}

// Data in every other 64 KiB, a few changed bytes, and a chip that differs from
// the buffer in every 1 MiB.
std::vector<uint8_t> FillBuffer(DataBuffer& buffer) {
    for (uint32_t i = 0; i < DataBuffer::kSize; i += 0x20000) {
        for (uint32_t j = 0; j < 0x10000; ++j) buffer.bytes[i + j] = static_cast<uint8_t>(j);
    }
    MarkRange(buffer, 0x345670, 40);
    std::vector<uint8_t> chip = buffer.bytes;
    for (uint32_t i = 0x8000; i < DataBuffer::kSize; i += 0x100000) chip[i] ^= 0x5A;
    return chip;
}

int Run() {
    DataBuffer buffer;
    if (!buffer.Allocate()) return 1;
    buffer.SetActiveLength(DataBuffer::kSize);
    std::vector<uint8_t> chip = FillBuffer(buffer);

    DifferenceMarks differences;
    const double build = MeanMs(1, [&] { differences.Build(buffer, std::move(chip)); });
    ChipMapModel map;
    map.SetData(buffer, DataBuffer::kSize, &differences);
    HexViewModel view;
    view.SetData(buffer, DataBuffer::kSize);
    view.GoToAddress(0xABCDE0);

    std::vector<MapClass> pixels;
    const double typed = MeanMs(200, [&] {
        const uint32_t index = view.CaretNibble() / 2;
        view.Type(U'5');
        differences.Update(index);
        map.UpdateRow(index / ChipMapModel::kRowBytes);
        map.Compose(kHeight, pixels);
    });
    const double compose = MeanMs(200, [&] { map.Compose(kHeight, pixels); });
    const double rescan = MeanMs(5, [&] { map.Rescan(); });

    std::printf("chip map, 16 MiB buffer, %d pixels\n", kHeight);
    std::printf("  typed byte to the map's pixels: %7.3f ms (goal %.0f ms)\n", typed, kTypedGoalMs);
    std::printf("  the map's pixels alone:         %7.3f ms\n", compose);
    std::printf("  full rescan:                    %7.2f ms\n", rescan);
    std::printf("  difference marks from the chip: %7.2f ms (%u differing bytes)\n", build, differences.Count());
    return typed <= kTypedGoalMs ? 0 : 1;
}

}  // namespace
}  // namespace qbr

int main() {
    return qbr::Run();
}
