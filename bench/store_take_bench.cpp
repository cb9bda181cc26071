// SPDX-License-Identifier: GPL-3.0-or-later
// Serial numbers taken per second by 8 concurrent takers, each with a store of
// its own as the stations of a line have: Begin with a counter, then Finish.
//
//   store_take_bench [POSTGRESQL_URL]
//
// Measures a SQLite file in a temporary directory and the PostgreSQL database of
// the URL given, or of QBR_PG_URL (left out when there is none). Prints figures only.

#include "store/ProductionStore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using qbr::ProductionStore;
using qbr::StoreError;

constexpr int kTakers = 8;
constexpr int kTakesPerTaker = 250;

struct Figures {
    int taken = 0;
    double seconds = 0;
    std::string error;
};

Figures Measure(const std::string& name, const std::string& counter) {
    Figures figures;
    StoreError error;
    auto setup = ProductionStore::Open(name, error);
    if (!setup || !setup->SetCounter({counter, 1, std::nullopt, ""}, error)) return {0, 0, error.detail};
    std::vector<int> taken(kTakers, 0);
    std::vector<std::string> errors(kTakers);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> takers;
    for (int taker = 0; taker < kTakers; ++taker) {
        takers.emplace_back([&, taker] {
            StoreError failure;
            auto store = ProductionStore::Open(name, failure);
            qbr::ChipRow row;
            row.station = "bench";
            row.programmer = "SN" + std::to_string(taker);
            row.chip = "W25Q64";
            row.command = "auto";
            for (int take = 0; store && take < kTakesPerTaker; ++take) {
                auto started = store->Begin(row, counter, failure);
                if (!started || !store->Finish(started->id, "ok", "", "", 0, failure)) break;
                ++taken[taker];
            }
            errors[taker] = failure.detail;
        });
    }
    for (auto& taker : takers) taker.join();
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (int taker = 0; taker < kTakers; ++taker) {
        figures.taken += taken[taker];
        if (figures.error.empty()) figures.error = errors[taker];
    }
    return figures;
}

void Report(const char* engine, const Figures& figures) {
    std::printf("%-12s %7d %9.2f s %10.0f/s  %s\n", engine, figures.taken, figures.seconds,
                figures.seconds > 0 ? figures.taken / figures.seconds : 0.0, figures.error.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const char* url = argc > 1 ? argv[1] : std::getenv("QBR_PG_URL");
    std::printf("%d takers, %d numbers each (Begin with a counter + Finish)\n", kTakers, kTakesPerTaker);
    std::printf("%-12s %7s %11s %12s\n", "store", "taken", "time", "numbers");

    std::string dir = (std::filesystem::temp_directory_path() / "qbr5150-bench-XXXXXX").string();
    if (!mkdtemp(dir.data())) return 1;
    Report("SQLite", Measure(dir + "/store.db", "bench"));
    std::filesystem::remove_all(dir);

    if (url && *url)
        Report("PostgreSQL", Measure(url, "bench-" + std::to_string(std::time(nullptr))));
    else
        std::printf("%-12s (no URL given and no QBR_PG_URL)\n", "PostgreSQL");
    return 0;
}
