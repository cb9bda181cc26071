// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreChild.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
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
    _exit(0);  // no Finish, nothing closed
}

// Takes numbers on a full disk until a take fails: it leaves no trace, and once
// there is room again the numbers go on where they stopped.
int DiskFull(const std::string& dir) {
    StoreError error;
    auto store = ProductionStore::Open(dir + "/store.db", error);
    if (!store || !store->SetCounter({"a", 1, std::nullopt, ""}, error)) return Fail("setup: " + error.detail);
    std::ofstream filler(dir + "/filler", std::ios::binary);
    while (filler.write(std::string(4096, 'x').data(), 4096).flush()) {
    }
    filler.close();
    uint64_t taken = 0;
    for (std::optional<ProductionStore::Started> started; taken < 2000; ++taken) {
        if (!(started = store->Begin(TestChip("full", "SN1"), "a", error))) break;
        store->Finish(started->id, "ok", "", "", 0, error);  // may fail too: the row stays in work
    }
    if (error.kind != StoreError::Kind::Unwritable) return Fail("no take failed on a full disk");
    unlink((dir + "/filler").c_str());
    if (!store->Begin(TestChip("full", "SN1"), "a", error)) return Fail("after the full disk: " + error.detail);
    const auto rows = store->Rows(std::nullopt, error);
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].serial != i + 1) return Fail("row " + std::to_string(i) + " has another number");
    return rows.size() == taken + 1 ? 0 : Fail(std::to_string(rows.size()) + " rows for " + std::to_string(taken + 1));
}

int ReadOnly(const std::string& dir) {
    StoreError error;
    for (const char* name : {"/store.db", "/new.db"})
        if (ProductionStore::Open(dir + name, error)) return Fail(std::string(name) + " opened on a read-only disk");
    return 0;
}

}  // namespace
}  // namespace qbr

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == kTakeAndVanish) return qbr::TakeAndVanish(args[1], args[2]);
    if (args.size() == 2 && args[0] == "--disk-full") return qbr::DiskFull(args[1]);
    if (args.size() == 2 && args[0] == "--read-only") return qbr::ReadOnly(args[1]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
