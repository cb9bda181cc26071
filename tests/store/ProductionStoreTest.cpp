// SPDX-License-Identifier: GPL-3.0-or-later
// The production store against both engines: a SQLite file and a PostgreSQL
// database (QBR_PG_URL, a fresh database per test).

#include "ProgramVersion.h"
#include "store/PostgresConnection.h"
#include "store/SqliteConnection.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <numeric>
#include <regex>
#include <thread>
#include <unistd.h>

namespace qbr {
namespace {

enum class Engine { Sqlite, Postgres };
void PrintTo(Engine engine, std::ostream* out) {
    *out << (engine == Engine::Sqlite ? "SQLite" : "PostgreSQL");
}

ChipRow SampleRow(const std::string& programmer = "SN1") {
    ChipRow row;
    row.station = "line-2";
    row.programmer = programmer;
    row.chip = "W25Q64";
    row.command = "auto";
    return row;
}

void RawSql(const std::string& store, const std::string& sql) {
    StoreError error;
    std::unique_ptr<SqlConnection> connection;
    if (store.rfind("postgresql://", 0) == 0)
        connection = PostgresConnection::Open(store, error);
    else
        connection = SqliteConnection::Open(store, error);
    std::vector<SqlRow> rows;
    ASSERT_TRUE(connection && connection->Execute(sql, {}, rows, error)) << sql << ": " << error.detail;
}

class StoreTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        store_ = dir_.file("store.db").string();
        if (GetParam() == Engine::Sqlite) return;
        const char* server = std::getenv("QBR_PG_URL");
        ASSERT_TRUE(server && *server) << "QBR_PG_URL names no PostgreSQL server";
        server_ = server;
        static int count = 0;
        database_ = "qbr_test_" + std::to_string(getpid()) + "_" + std::to_string(++count);
        RawSql(server_, "CREATE DATABASE " + database_);
        const size_t path = server_.find('/', server_.find("://") + 3), query = server_.find('?');
        store_ = server_.substr(0, path) + "/" + database_ + (query == std::string::npos ? "" : server_.substr(query));
    }
    void TearDown() override {
        if (!database_.empty()) RawSql(server_, "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
    }

    std::unique_ptr<ProductionStore> Open(std::vector<SerialCounterRow> counters = {}) {
        StoreError error;
        auto store = ProductionStore::Open(store_, error);
        EXPECT_TRUE(store) << error.detail;
        for (const auto& counter : counters) EXPECT_TRUE(store && store->SetCounter(counter, error)) << error.detail;
        return store;
    }

    test::TempDir dir_;
    std::string store_, server_, database_;
};

TEST_P(StoreTest, ConcurrentTakersGetEveryNumberOnceFromEachCounter) {
    auto setup = Open({{"a", 1, std::nullopt, ""}, {"b", 1000, 1119, ""}});
    ASSERT_TRUE(setup);
    std::vector<std::string> names = {store_};
    if (GetParam() == Engine::Sqlite) {  // another name of the same file
        std::filesystem::create_symlink(store_, dir_.file("other-name.db"));
        names.push_back(dir_.file("other-name.db").string());
    }
    constexpr int kTakers = 8, kTakes = 30;
    std::vector<uint64_t> taken[kTakers][2];
    std::vector<std::thread> takers;
    for (int taker = 0; taker < kTakers; ++taker) {
        takers.emplace_back([&, taker] {
            StoreError error;
            auto store = ProductionStore::Open(names[taker % names.size()], error);
            for (int take = 0; store && take < kTakes; ++take) {
                auto started = store->Begin(SampleRow("SN" + std::to_string(taker)), take % 2 ? "b" : "a", error);
                if (!started || !store->Finish(started->id, "ok", "", "", 1, error)) break;
                taken[taker][take % 2].push_back(*started->serial);
            }
        });
    }
    for (auto& taker : takers) taker.join();
    for (int counter = 0; counter < 2; ++counter) {
        std::vector<uint64_t> numbers, expected(kTakers * kTakes / 2);
        for (const auto& list : taken) numbers.insert(numbers.end(), list[counter].begin(), list[counter].end());
        std::sort(numbers.begin(), numbers.end());
        std::iota(expected.begin(), expected.end(), counter ? 1000 : 1);
        EXPECT_EQ(numbers, expected);
    }
    StoreError error;
    const auto rows = setup->Rows(std::nullopt, error);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const ChipRow& row) { return row.result == "ok"; }),
              kTakers * kTakes);
    EXPECT_EQ(setup->FindCounter("a", error)->next, 121u);
    EXPECT_EQ(setup->FindCounter("b", error)->next, 1120u);
}

// A row keeps what the run measured and ends once. A counter used up, missing or
// edited by hand, and a store of a later version, are refused. (A counter set back
// is the line test's, with the chips it would have touched.)
TEST_P(StoreTest, RowKeepsWhatTheRunMeasuredAndEndsOnceAndBadCountersAndStoresAreRefused) {
    const uint64_t largest = INT64_MAX - 1;
    auto store = Open({{"a", 7, std::nullopt, "0,dec,4"}, {"b", 5, 6, ""}, {"top", largest, std::nullopt, ""}});
    ASSERT_TRUE(store);
    StoreError error;
    const auto numbered = store->Begin(SampleRow(), "a", error);
    const auto plain = store->Begin(SampleRow("SN2"), "", error);
    ASSERT_TRUE(numbered && plain) << error.detail;
    ASSERT_TRUE(store->Finish(numbered->id, "ok", "1234ABCD", "ab12", 321, error)) << error.detail;
    // A row ends once; an id of no row, or a result that is no end, changes nothing.
    EXPECT_FALSE(store->Finish(numbered->id, "failed", "", "", 5, error));
    EXPECT_EQ(error.kind, StoreError::Kind::NotTaken);
    EXPECT_FALSE(store->Finish(plain->id + 100, "ok", "", "", 0, error));
    EXPECT_EQ(error.kind, StoreError::Kind::NotTaken);
    EXPECT_FALSE(store->Finish(plain->id, "interrupted", "", "", 0, error));

    const auto rows = store->Rows(std::nullopt, error);
    ASSERT_EQ(rows.size(), 2u);
    const ChipRow& row = rows[0];
    EXPECT_EQ(std::tie(row.station, row.programmer, row.chip, row.command, row.counter, row.result),
              std::make_tuple("line-2", "SN1", "W25Q64", "auto", "a", "ok"));
    EXPECT_EQ(std::tie(row.serial, row.crc32, row.sha256, row.elapsedMs, row.version),
              std::make_tuple(7u, "1234ABCD", "ab12", 321, std::string(kProgramVersion)));
    EXPECT_EQ(std::tie(rows[1].counter, rows[1].result, rows[1].serial), std::make_tuple("", "taken", std::nullopt));
    EXPECT_TRUE(std::regex_match(row.time, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d{4})"))) << row.time;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    EXPECT_NEAR(row.timeMs, std::chrono::duration_cast<std::chrono::milliseconds>(now).count(), 60000);
    EXPECT_EQ(store->Rows(row.timeMs, error).size(), 2u);
    EXPECT_EQ(store->Rows(row.timeMs + 3600000, error).size(), 0u);

    EXPECT_TRUE(store->Begin(SampleRow(), "b", error) && store->Begin(SampleRow(), "b", error));
    EXPECT_EQ(store->Begin(SampleRow(), "top", error)->serial, largest);
    for (const char* counter : {"b", "top"}) {
        EXPECT_FALSE(store->Begin(SampleRow(), counter, error));
        EXPECT_EQ(error.kind, StoreError::Kind::UsedUp) << counter;
    }
    EXPECT_FALSE(store->Begin(SampleRow(), "missing", error));
    EXPECT_EQ(error.kind, StoreError::Kind::NoCounter);
    RawSql(store_, "UPDATE counters SET next_number = -5, last_number = NULL WHERE name = 'b'");
    EXPECT_FALSE(store->Begin(SampleRow(), "b", error));
    EXPECT_EQ(error.kind, StoreError::Kind::Malformed);
    EXPECT_EQ(store->Rows(std::nullopt, error).size(), 5u);
    RawSql(store_, "UPDATE meta SET value = '2' WHERE name = 'schema'");
    EXPECT_FALSE(ProductionStore::Open(store_, error));
    EXPECT_EQ(error.kind, StoreError::Kind::Malformed);
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return info.param == Engine::Sqlite ? "Sqlite" : "Postgres"; });

}  // namespace
}  // namespace qbr
