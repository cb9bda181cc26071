// SPDX-License-Identifier: GPL-3.0-or-later
// Find over a 16 MiB buffer of 0xFF with the only hit as far away as it can be:
// at the last bytes searching forwards from 0, at 0 searching backwards from the
// end. "FF FF FF 00" matches three bytes at every position before it fails, "00"
// is one byte, "needle" is text. Median of 5 runs each; exits 1 over the goal.

#include "base/LargeBytes.h"
#include "buffer/ByteSearch.h"
#include "buffer/DataBuffer.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace qbr {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kGoalMs = 50;
constexpr int kRuns = 5;

struct Pattern {
    const char* text;
    SearchKind kind;
};

constexpr std::array<Pattern, 3> kPatterns{{
    {"FF FF FF 00", SearchKind::Hex},
    {"00", SearchKind::Hex},
    {"needle", SearchKind::Text},
}};

// Median milliseconds of one search; false when it misses `expected`.
bool MedianMs(const std::vector<uint8_t>& haystack, const std::vector<uint8_t>& needle, uint32_t from,
              SearchDirection direction, uint32_t expected, double& median) {
    std::array<double, kRuns> took{};
    for (double& ms : took) {
        const auto start = Clock::now();
        const auto hit = FindBytes(haystack, needle, from, direction);
        ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (!hit || hit->start != expected) return false;
    }
    std::sort(took.begin(), took.end());
    median = took[kRuns / 2];
    return true;
}

int Run() {
    std::vector<uint8_t> haystack;
    AssignLarge(haystack, DataBuffer::kSize, 0xFF);
    bool ok = true;
    std::printf("find, 16 MiB of 0xFF, median of %d (goal %.0f ms)\n", kRuns, kGoalMs);
    for (const Pattern& pattern : kPatterns) {
        const std::vector<uint8_t> needle = ParseSearchPattern(pattern.text, pattern.kind).bytes;
        const uint32_t last = DataBuffer::kSize - static_cast<uint32_t>(needle.size());
        double forward = 0, backward = 0;
        std::memcpy(&haystack[last], needle.data(), needle.size());
        ok &= MedianMs(haystack, needle, 0, SearchDirection::Forward, last, forward);
        std::memset(&haystack[last], 0xFF, needle.size());
        std::memcpy(&haystack[0], needle.data(), needle.size());
        ok &= MedianMs(haystack, needle, DataBuffer::kSize, SearchDirection::Backward, 0, backward);
        std::memset(&haystack[0], 0xFF, needle.size());
        std::printf("  %-14s forwards to the end %7.2f ms, backwards to 0 %7.2f ms\n", pattern.text, forward, backward);
        ok &= forward <= kGoalMs && backward <= kGoalMs;
    }
    if (!ok) std::printf("a search missed its hit or took longer than the goal\n");
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace qbr

int main() {
    return qbr::Run();
}
