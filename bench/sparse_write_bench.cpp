// SPDX-License-Identifier: GPL-3.0-or-later
// The write phase of Auto on a 16 MiB W25Q128-class SPI flash in the USB
// full-speed wire model: the whole chip written as the window does, against only
// the page runs with data (DataRuns) as the command-line tool's Auto does, for
// images that are 0, 25, 50 and 100 % data in four runs each. Each run is one
// write request polled every 5 ms, as WriteChipRuns sends them.
//
// Target: at 25 % data the sparse write phase takes at most 0.3 x the wire time
// of the full write.

#include "EmulatedLink.h"
#include "ops/SparseWrite.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace qbr {
namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr uint32_t kChipSize = 16 * 1024 * 1024;
constexpr uint32_t kDataRuns = 4;
const ChipRecord kChip{0, "W25Q128-CLASS", "BENCH", 0, 33, kChipSize, 1, 256, 0xEF, 0x18, 0, 8};

struct Phase {
    size_t requests = 0;
    uint64_t bytes = 0;
    double wireSeconds = 0;
    double seconds = 0;
};

struct Bench : EmulatedLink {
    Bench() : EmulatedLink(kChip) { programmer.SetSpeed(SpeedModel::FullSpeed()); }

    // Writes the runs into an erased chip; the image must be on the chip after.
    Phase Write(const std::vector<uint8_t>& image, const std::vector<ChipRange>& runs) {
        auto contents = programmer.Chip().Contents();
        std::fill(contents.begin(), contents.end(), 0xFF);
        programmer.ResetWireTime();
        Phase phase;
        const Clock::time_point start = Clock::now();
        for (const ChipRange& run : runs) {
            if (!protocol.StartChipWrite(image.data() + run.offset, run.offset, run.length, 256) || !RunToEnd()) {
                std::printf("write failed\n");
            }
            ++phase.requests;
            phase.bytes += run.length;
        }
        phase.seconds = Seconds(Clock::now() - start).count();
        phase.wireSeconds = Seconds(programmer.WireTime()).count();
        if (!std::equal(image.begin(), image.end(), contents.begin())) std::printf("the chip differs from the image\n");
        return phase;
    }
};

// `percent` of the chip as data, in kDataRuns runs spread over it.
std::vector<uint8_t> Image(uint32_t percent) {
    std::vector<uint8_t> image(kChipSize, 0xFF);
    const uint32_t stride = kChipSize / kDataRuns;
    const uint32_t run = static_cast<uint32_t>(uint64_t{stride} * percent / 100);
    for (uint32_t r = 0; r < kDataRuns; ++r) {
        for (uint32_t i = 0; i < run; ++i) image[r * stride + i] = static_cast<uint8_t>(i * 7 + (i >> 8) + r);
    }
    return image;
}

void Run() {
    Bench bench;
    std::printf("write phase of auto, 16 MiB SPI flash, USB full-speed wire model\n");
    const Phase full = bench.Write(Image(100), {ChipRange{0, kChipSize}});
    std::printf("  whole chip (window):  1 request, wire %.2f s, elapsed %.2f s\n", full.wireSeconds, full.seconds);
    std::printf("  %5s %9s %12s %10s %10s %14s\n", "data", "requests", "bytes", "wire s", "elapsed s", "wire / whole");
    for (const uint32_t percent : {0u, 25u, 50u, 100u}) {
        const std::vector<uint8_t> image = Image(percent);
        const Phase sparse = bench.Write(image, DataRuns(image, 256));
        std::printf("  %4u%% %9zu %12llu %10.2f %10.2f %14.3f\n", percent, sparse.requests,
                    static_cast<unsigned long long>(sparse.bytes), sparse.wireSeconds, sparse.seconds,
                    sparse.wireSeconds / full.wireSeconds);
    }
    std::printf("target: 25%% data <= 0.300 of the whole chip's wire time\n");
}

}  // namespace
}  // namespace qbr

int main() {
    qbr::Run();
    return 0;
}
