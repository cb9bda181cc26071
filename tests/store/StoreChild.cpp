// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreChild.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace qbr {
namespace {

int Fail(const std::string& why) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
}

int TakeAndVanish(const std::string& name, const std::string& counter) {
    StoreError error;
    auto store = ProductionStore::Open(name, error);
    if (!store || !store->Begin(TestChip("gone", "SN9"), counter, error)) return Fail(error.detail);
    _exit(0);  // as a crash: no Finish, nothing closed
}

// Fills the file system, then takes numbers until a take fails: it must leave no
// trace, and once there is room again the numbers go on where they stopped.
int DiskFull(const std::string& dir) {
    StoreError error;
    auto store = ProductionStore::Open(dir + "/store.db", error);
    if (!store || !store->SetCounter({"a", 1, std::nullopt, ""}, error)) return Fail("setup: " + error.detail);
    {
        std::ofstream filler(dir + "/filler", std::ios::binary);
        const std::vector<char> block(4096, 'x');
        while (filler.write(block.data(), block.size())) filler.flush();
    }
    uint64_t taken = 0;
    for (int take = 0; take < 2000; ++take) {
        auto started = store->Begin(TestChip("full", "SN1"), "a", error);
        if (!started) break;
        if (*started->serial != ++taken) return Fail("number out of order while the disk fills");
        store->Finish(started->id, "ok", "", "", 0, error);  // may fail too: the row stays in work
    }
    if (error.kind != StoreError::Kind::Unwritable) return Fail("no take failed on a full disk");
    unlink((dir + "/filler").c_str());
    auto started = store->Begin(TestChip("full", "SN1"), "a", error);
    if (!started || *started->serial != taken + 1) return Fail("the number after the full disk: " + error.detail);
    const auto rows = store->Rows(std::nullopt, error);
    if (rows.size() != taken + 1)
        return Fail("rows: " + std::to_string(rows.size()) + " for " + std::to_string(taken + 1) + " numbers");
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].serial != i + 1) return Fail("row " + std::to_string(i) + " has another number");
    return 0;
}

int ReadOnly(const std::string& dir) {
    for (const char* name : {"/store.db", "/new.db"}) {
        StoreError error;
        if (ProductionStore::Open(dir + name, error)) return Fail(std::string(name) + " opened on a read-only disk");
    }
    return 0;
}

}  // namespace
}  // namespace qbr

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == kTakeAndVanish) return qbr::TakeAndVanish(args[1], args[2]);
    if (args.size() == 2 && args[0] == kDiskFull) return qbr::DiskFull(args[1]);
    if (args.size() == 2 && args[0] == kReadOnly) return qbr::ReadOnly(args[1]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
