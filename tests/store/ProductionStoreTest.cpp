// SPDX-License-Identifier: GPL-3.0-or-later
// The production store against both engines: a SQLite file and a PostgreSQL
// database (QBR_PG_URL, a fresh database per test).

#include "ProgramVersion.h"
#include "StoreChild.h"
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

namespace qbr {
namespace {

enum class Engine { Sqlite, Postgres };
void PrintTo(Engine engine, std::ostream* out) {
    *out << (engine == Engine::Sqlite ? "SQLite" : "PostgreSQL");
}

ChipRow SampleRow(const std::string& programmer = "SN1") {
    return TestChip("line-2", programmer);
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

TEST_P(StoreTest, RowKeepsWhatTheRunMeasuredAndEndsOnce) {
    auto store = Open({{"a", 7, std::nullopt, "0,dec,4"}});
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
}

TEST_P(StoreTest, CounterRefusesWhenUsedUpOrMissingAndMovesOnlyForward) {
    auto store = Open({{"a", 5, 6, "0,dec,4"}, {"restored", 5, std::nullopt, ""}});
    ASSERT_TRUE(store);
    StoreError error;
    EXPECT_TRUE(store->Begin(SampleRow(), "a", error) && store->Begin(SampleRow(), "a", error));
    EXPECT_FALSE(store->Begin(SampleRow(), "a", error));
    EXPECT_EQ(error.kind, StoreError::Kind::UsedUp);
    EXPECT_FALSE(store->Begin(SampleRow(), "missing", error));
    EXPECT_EQ(error.kind, StoreError::Kind::NoCounter);
    // A counter restored behind a number already recorded: the take fails whole.
    RawSql(store_,
           "INSERT INTO chips (at, at_ms, station, programmer, chip, command, counter, serial, result, "
           "version, owner) VALUES ('', 0, '', '', '', '', 'restored', 5, 'ok', '', '')");
    EXPECT_FALSE(store->Begin(SampleRow(), "restored", error));
    EXPECT_EQ(store->FindCounter("restored", error)->next, 5u);
    EXPECT_EQ(store->Rows(std::nullopt, error).size(), 3u);

    EXPECT_FALSE(store->SetCounter({"a", 6, 10, ""}, error));  // below a number handed out
    auto counter = store->FindCounter("a", error);
    EXPECT_EQ(std::tie(counter->next, counter->last, counter->format), std::make_tuple(7u, 6u, "0,dec,4"));
    EXPECT_TRUE(store->SetCounter({"a", 9, std::nullopt, ""}, error));
    EXPECT_EQ(store->Begin(SampleRow(), "a", error)->serial, 9u);
    EXPECT_EQ(store->Counters(error)[0].next, 10u);

    // A counter at the largest number is used up; one edited by hand below zero gives no number.
    const uint64_t largest = INT64_MAX - 1;
    ASSERT_TRUE(store->SetCounter({"top", largest, std::nullopt, ""}, error)) << error.detail;
    EXPECT_EQ(store->Begin(SampleRow(), "top", error)->serial, largest);
    EXPECT_FALSE(store->Begin(SampleRow(), "top", error));
    EXPECT_EQ(error.kind, StoreError::Kind::UsedUp);
    RawSql(store_, "UPDATE counters SET next_number = -5 WHERE name = 'restored'");
    EXPECT_FALSE(store->Begin(SampleRow(), "restored", error));
    EXPECT_EQ(error.kind, StoreError::Kind::Malformed);
}

TEST_P(StoreTest, RowsOfGoneRunsBecomeInterruptedAndTheirNumbersStayUsed) {
    auto live = Open({{"a", 1, std::nullopt, ""}});
    ASSERT_TRUE(live);
    StoreError error;
    const auto inWork = live->Begin(SampleRow(), "a", error);
    ASSERT_TRUE(inWork);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    ASSERT_EQ(std::system(("'" + self + "' " + kTakeAndVanish + " '" + store_ + "' a").c_str()), 0);

    auto next = Open();
    std::vector<ChipRow> marked;
    // The server ends the vanished run's session as soon as it sees its socket closed.
    for (int tries = 0; marked.empty() && tries < 100; ++tries) {
        marked = next->MarkInterrupted(error);
        if (marked.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_EQ(marked.size(), 1u) << error.detail;
    EXPECT_EQ(std::tie(marked[0].serial, marked[0].result), std::make_tuple(2u, "interrupted"));
    EXPECT_TRUE(next->MarkInterrupted(error).empty());
    EXPECT_FALSE(next->Finish(marked[0].id, "ok", "", "", 0, error));
    EXPECT_EQ(error.kind, StoreError::Kind::NotTaken);
    EXPECT_TRUE(live->Finish(inWork->id, "ok", "", "", 0, error)) << error.detail;
    EXPECT_EQ(next->Begin(SampleRow(), "a", error)->serial, 3u);
}

TEST_P(StoreTest, StoreOfALaterVersionIsMalformed) {
    Open();
    RawSql(store_, "UPDATE meta SET value = '2' WHERE name = 'schema'");
    StoreError error;
    EXPECT_FALSE(ProductionStore::Open(store_, error));
    EXPECT_EQ(error.kind, StoreError::Kind::Malformed);
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return info.param == Engine::Sqlite ? "Sqlite" : "Postgres"; });

}  // namespace
}  // namespace qbr
