// SPDX-License-Identifier: GPL-3.0-or-later
// A production batch as the command-line tool runs it: `auto` of a 1 MiB SPI flash
// (EN25T80) on 1, 2, 4 and 8 emulated programmers at once (--all), each in the
// USB full-speed wire model, so every programmer takes as long as real hardware
// would. The tool is run as a process, start-up included; its CPU time is that of
// the child process (user + system).
//
// Target: the host is not the limit: wall time with 8 programmers at most 1.15 x
// the wall time with 1.
//
// Usage: batch_scale_bench [PATH-TO-qbr5150-cli]; by default the tool beside this
// program.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRepeats = 3;

double ChildCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Sample {
    double wall = 0;
    double cpu = 0;
};

// The fastest of kRepeats runs, with its CPU time.
Sample RunBatch(const std::string& cli, const fs::path& dir, unsigned programmers) {
    const std::string command = cli + " -q -c EN25T80 --emulate-speed full --emulate-count " +
                                std::to_string(programmers) + " --emulate-image " + (dir / "chip%d.img").string() +
                                " --all auto " + (dir / "image.bin").string() + " >/dev/null 2>&1";
    Sample best{1e9, 0};
    for (int i = 0; i < kRepeats; ++i) {
        const double cpuBefore = ChildCpuSeconds();
        const Clock::time_point start = Clock::now();
        const int status = std::system(command.c_str());
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::printf("the batch of %u failed\n", programmers);
        if (wall < best.wall) best = {wall, ChildCpuSeconds() - cpuBefore};
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string cli = argc > 1 ? argv[1] : (fs::path(argv[0]).parent_path() / "qbr5150-cli").string();
    const fs::path dir = fs::temp_directory_path() / ("qbr5150-batch-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::vector<char> image(1 << 20);
    std::mt19937 random(7);
    std::generate(image.begin(), image.end(), [&random] { return static_cast<char>(random()); });
    std::ofstream(dir / "image.bin", std::ios::binary).write(image.data(), static_cast<std::streamsize>(image.size()));

    std::printf("auto of a 1 MiB SPI flash on N emulated programmers at once, USB full-speed wire model\n");
    std::printf("  %11s %8s %12s %12s %16s\n", "programmers", "wall s", "wall / 1", "CPU s", "CPU s / chip");
    double single = 0;
    for (const unsigned programmers : {1u, 2u, 4u, 8u}) {
        const Sample sample = RunBatch(cli, dir, programmers);
        if (programmers == 1) single = sample.wall;
        std::printf("  %11u %8.2f %12.3f %12.2f %16.3f\n", programmers, sample.wall, sample.wall / single, sample.cpu,
                    sample.cpu / programmers);
    }
    std::printf("target: wall time with 8 programmers <= 1.15 x with 1\n");
    fs::remove_all(dir);
    return 0;
}
