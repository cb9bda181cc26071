// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the host's transfer pipeline (ProgrammerProtocol over UsbLink on
// the library path) against the emulated programmer: read, write and verify-read
// as the chip operations run them, polling every 5 ms.
//
//   unthrottled:  the wire costs nothing, so the figure is the host pipeline's own
//                 speed in MB/s (1 MB = 1,000,000 bytes).
//   full speed:   the wire follows the USB full-speed model; the figure is the
//                 elapsed time over the wire time the model charged, i.e. how much
//                 the host adds on top of the wire.

#include "EmulatedLink.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace qbr {
namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr uint32_t kMiB = 1024 * 1024;
constexpr uint32_t kUnthrottledSize = 16 * kMiB;
constexpr uint32_t kFullSpeedSize = 2 * kMiB;
constexpr int kUnthrottledRuns = 5;

const ChipRecord kBenchChip{0, "BENCH16M", "BENCH", 0, 33, kUnthrottledSize, 1, 256, 0xEF, 0x18, 0, 8};

struct Figure {
    double seconds = 0;
    double wireSeconds = 0;
    bool ok = false;
};

// The programmer with the data written and the room for what is read back.
struct Bench : EmulatedLink {
    std::vector<uint8_t> data;
    std::vector<uint8_t> readBack;

    Bench() : EmulatedLink(kBenchChip), data(kUnthrottledSize), readBack(kUnthrottledSize) {
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((i >> 12) ^ (i * 31));
    }

    Figure Measure(const std::function<bool()>& operation) {
        programmer.ResetWireTime();
        const Clock::time_point start = Clock::now();
        const bool ok = operation();
        Figure figure;
        figure.seconds = Seconds(Clock::now() - start).count();
        figure.wireSeconds = Seconds(programmer.WireTime()).count();
        figure.ok = ok;
        return figure;
    }

    Figure Read(uint32_t size) {
        return Measure([&] { return protocol.StartChipRead(readBack.data(), 0, size) && RunToEnd(); });
    }

    Figure Write(uint32_t size) {
        std::fill(programmer.Chip().Contents().begin(), programmer.Chip().Contents().end(), 0xFF);
        return Measure([&] { return protocol.StartChipWrite(data.data(), 0, size, 256) && RunToEnd(); });
    }

    // A verify that stops at a mismatch in its first chunk, then the next command:
    // what the programmer still pushes of the read is drained before the request.
    Figure EarlyStopThenStatus(uint32_t size) {
        Figure stop = Measure([&] {
            if (!protocol.StartChipRead(readBack.data(), 0, size)) return false;
            while (protocol.GetBytesRead() < 4096) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            protocol.CancelRead();
            uint8_t status = 0;
            return protocol.QueryBusyStatus(status);
        });
        return stop;
    }

    Figure VerifyRead(uint32_t size) {
        return Measure([&] {
            return protocol.StartChipRead(readBack.data(), 0, size) && RunToEnd() &&
                   std::memcmp(readBack.data(), data.data(), size) == 0;
        });
    }
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void ReportUnthrottled(const char* name, const std::function<Figure()>& run) {
    std::vector<double> rates;
    bool ok = true;
    for (int i = 0; i < kUnthrottledRuns; ++i) {
        const Figure figure = run();
        ok = ok && figure.ok;
        rates.push_back(kUnthrottledSize / figure.seconds / 1e6);
    }
    std::printf("  %-12s %8.1f MB/s best, %8.1f MB/s median%s\n", name, *std::max_element(rates.begin(), rates.end()),
                Median(rates), ok ? "" : "  FAILED");
}

void ReportFullSpeed(const char* name, const Figure& figure, uint32_t rate) {
    const double bytesAlone = kFullSpeedSize / static_cast<double>(rate);
    std::printf("  %-12s elapsed %.3f s, wire %.3f s, ratio %.4f (bytes alone %.3f s, ratio %.4f)%s\n", name,
                figure.seconds, figure.wireSeconds, figure.seconds / figure.wireSeconds, bytesAlone,
                figure.seconds / bytesAlone, figure.ok ? "" : "  FAILED");
}

void Run() {
    Bench bench;
    std::printf("ProgrammerProtocol + UsbLink over the emulated programmer, polling every 5 ms\n");
    std::printf("unthrottled, %u MiB per operation, %d runs (1 MB = 1,000,000 bytes):\n", kUnthrottledSize / kMiB,
                kUnthrottledRuns);
    ReportUnthrottled("read", [&] { return bench.Read(kUnthrottledSize); });
    ReportUnthrottled("write", [&] { return bench.Write(kUnthrottledSize); });
    ReportUnthrottled("verify-read", [&] { return bench.VerifyRead(kUnthrottledSize); });

    const SpeedModel model = SpeedModel::FullSpeed();
    bench.programmer.SetSpeed(model);
    std::printf(
        "full-speed wire model (%u B/s + %lld us per transfer), %u MiB per operation to keep the run\n"
        "short; the fixed costs of an operation weigh more at this size than at 16 MiB:\n",
        model.bytesPerSecond, static_cast<long long>(model.latency.count()), kFullSpeedSize / kMiB);
    ReportFullSpeed("read", bench.Read(kFullSpeedSize), model.bytesPerSecond);
    ReportFullSpeed("write", bench.Write(kFullSpeedSize), model.bytesPerSecond);
    ReportFullSpeed("verify-read", bench.VerifyRead(kFullSpeedSize), model.bytesPerSecond);
    std::printf("targets: unthrottled >= 400 MB/s; full speed elapsed <= 1.02 x wire time\n");
    std::printf("a verify read of %u MiB stopped after its first chunk, then one status command:\n",
                kFullSpeedSize / kMiB);
    for (AfterAbandon behaviour : {AfterAbandon::KeepPending, AfterAbandon::DiscardOnRequest}) {
        bench.programmer.SetAfterAbandon(behaviour);
        const Figure figure = bench.EarlyStopThenStatus(kFullSpeedSize);
        std::printf("  %-17s %.3f s from the start of the read to the status reply%s\n",
                    behaviour == AfterAbandon::KeepPending ? "keeps pending" : "drops on request", figure.seconds,
                    figure.ok ? "" : "  FAILED");
    }
}

}  // namespace
}  // namespace qbr

int main() {
    qbr::Run();
    return 0;
}
