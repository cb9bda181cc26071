// SPDX-License-Identifier: GPL-3.0-or-later
// Timings of the buffer core on a full 16 MiB image: Intel HEX load (against
// objcopy converting the same file back to binary), raw load and save, checksum
// and byte swap. Prints figures only.

#include "buffer/BufferEdits.h"
#include "buffer/DataBuffer.h"
#include "buffer/ImageFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using qbr::DataBuffer;
namespace fs = std::filesystem;

constexpr int kRuns = 3;

// Best wall-clock time of a few runs, in milliseconds.
double BestMs(const std::function<void()>& work) {
    double best = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

void Report(const char* what, double ms) {
    std::printf("%-40s %9.1f ms  %8.1f MiB/s\n", what, ms, 16.0 / (ms / 1000.0));
}

void WriteRandomImage(const fs::path& path) {
    std::vector<uint64_t> words(DataBuffer::kSize / 8);
    std::mt19937_64 random(5150);
    for (auto& word : words) word = random();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(words.data()), DataBuffer::kSize);
}

bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

void Check(bool ok, const char* what) {
    if (!ok) std::printf("  (%s failed)\n", what);
}

void BenchIntelHex(DataBuffer& buffer, const fs::path& dir) {
    const std::string bin = (dir / "image.bin").string();
    const std::string hex = (dir / "image.hex").string();
    if (!Run("objcopy -I binary -O ihex " + bin + " " + hex)) {
        std::printf("Intel HEX: objcopy not available, skipped\n");
        return;
    }
    std::printf("Intel HEX text: %.1f MB\n", static_cast<double>(fs::file_size(hex)) / 1e6);
    bool ok = true;
    const double ours = BestMs([&] {
        ok = qbr::LoadImage(hex, buffer, DataBuffer::kSize).outcome == qbr::ImageLoadResult::Outcome::Loaded && ok;
    });
    Check(ok, "Intel HEX load");
    const double objcopy = BestMs([&] { ok = Run("objcopy -I ihex -O binary " + hex + " " + bin + ".back") && ok; });
    Check(ok, "objcopy");
    Report("Intel HEX load", ours);
    Report("objcopy -I ihex -O binary", objcopy);
    std::printf("%-40s %9.2f\n", "ratio load / objcopy", ours / objcopy);
}

void BenchRawAndEdits(DataBuffer& buffer, const fs::path& dir) {
    const std::string bin = (dir / "image.bin").string();
    const std::string saved = (dir / "saved.bin").string();
    bool ok = true;
    Report("raw load", BestMs([&] {
               ok = qbr::LoadImage(bin, buffer, DataBuffer::kSize).outcome == qbr::ImageLoadResult::Outcome::Loaded &&
                    ok;
           }));
    Report("save (temporary file, fsync, rename)",
           BestMs([&] { ok = qbr::SaveImage(saved, buffer, DataBuffer::kSize) && ok; }));
    Check(ok, "raw load or save");
    uint32_t sum = 0;
    Report("checksum", BestMs([&] { sum = buffer.Checksum(); }));
    std::printf("  %s\n", DataBuffer::ChecksumText(sum).c_str());
    Report("byte swap", BestMs([&] { qbr::ByteSwap(buffer); }));
}

}  // namespace

int main() {
    std::string pattern = (fs::temp_directory_path() / "buffer-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    const fs::path dir = pattern;
    DataBuffer buffer;
    if (!buffer.Allocate()) return 1;
    buffer.SetActiveLength(DataBuffer::kSize);
    WriteRandomImage(dir / "image.bin");
    BenchIntelHex(buffer, dir);
    BenchRawAndEdits(buffer, dir);
    fs::remove_all(dir);
    return 0;
}
