// SPDX-License-Identifier: GPL-3.0-or-later
// The production store against both engines: a SQLite file and a PostgreSQL
// database (QBR_PG_URL, a fresh database per test).

#include "ProgramVersion.h"
#include "StoreChild.h"
#include "store/PostgresConnection.h"
#include "store/ProductionStore.h"
#include "store/SqliteConnection.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qbr {
namespace {

enum class Engine { Sqlite, Postgres };
void PrintTo(Engine engine, std::ostream* out) {
    *out << (engine == Engine::Sqlite ? "SQLite" : "PostgreSQL");
}

ChipRow SampleRow(const std::string& programmer = "SN1") {
    return TestChip("line-2", programmer);
}

std::unique_ptr<SqlConnection> Connect(const std::string& store) {
    StoreError error;
    std::unique_ptr<SqlConnection> connection;
    if (store.rfind("postgresql://", 0) == 0)
        connection = PostgresConnection::Open(store, error);
    else
        connection = SqliteConnection::Open(store, error);
    EXPECT_TRUE(connection) << error.detail;
    return connection;
}

void RawSql(const std::string& store, const std::string& sql) {
    std::vector<SqlRow> rows;
    StoreError error;
    auto connection = Connect(store);
    ASSERT_TRUE(connection && connection->Execute(sql, {}, rows, error)) << sql << ": " << error.detail;
}

// Runs this test program as a child with the given arguments (see StoreChild.h);
// its exit status.
int RunChild(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), std::filesystem::read_symlink("/proc/self/exe").string());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class StoreTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        if (GetParam() == Engine::Sqlite) {
            store_ = dir_.file("store.db").string();
            return;
        }
        const char* server = std::getenv("QBR_PG_URL");
        ASSERT_TRUE(server && *server) << "QBR_PG_URL names no PostgreSQL server";
        server_ = server;
        static int count = 0;
        database_ = "qbr_test_" + std::to_string(getpid()) + "_" + std::to_string(++count);
        RawSql(server_, "CREATE DATABASE " + database_);
        const size_t path = server_.find('/', server_.find("://") + 3);
        store_ = server_.substr(0, path) + "/" + database_ + server_.substr(server_.find('?'));
    }
    void TearDown() override {
        if (!database_.empty()) RawSql(server_, "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
    }

    std::unique_ptr<ProductionStore> Open(const std::string& name = "") {
        StoreError error;
        auto store = ProductionStore::Open(name.empty() ? store_ : name, error);
        EXPECT_TRUE(store) << error.detail;
        return store;
    }

    void AddCounter(ProductionStore& store, SerialCounterRow counter) {
        StoreError error;
        ASSERT_TRUE(store.SetCounter(counter, error)) << error.detail;
    }

    std::vector<ChipRow> Rows(ProductionStore& store) {
        StoreError error;
        auto rows = store.Rows(std::nullopt, error);
        EXPECT_EQ(error.kind, StoreError::Kind::None) << error.detail;
        return rows;
    }

    test::TempDir dir_;
    std::string store_, server_, database_;
};

TEST_P(StoreTest, ConcurrentTakersGetEveryNumberOnceFromEachCounter) {
    auto setup = Open();
    ASSERT_TRUE(setup);
    AddCounter(*setup, {"a", 1, std::nullopt, ""});
    AddCounter(*setup, {"b", 1000, 1119, ""});
    std::vector<std::string> names = {store_};
    if (GetParam() == Engine::Sqlite) {
        std::filesystem::create_symlink(store_, dir_.file("other-name.db"));
        names.push_back(dir_.file("other-name.db").string());
    }
    constexpr int kTakers = 8, kTakes = 30;
    std::vector<std::vector<std::pair<std::string, uint64_t>>> taken(kTakers);
    std::vector<std::thread> takers;
    for (int taker = 0; taker < kTakers; ++taker) {
        takers.emplace_back([&, taker] {
            StoreError error;
            auto store = ProductionStore::Open(names[taker % names.size()], error);
            for (int take = 0; store && take < kTakes; ++take) {
                const std::string counter = take % 2 ? "b" : "a";
                auto started = store->Begin(SampleRow("SN" + std::to_string(taker)), counter, error);
                if (!started || !store->Finish(started->id, "ok", "", "", 1, error)) break;
                taken[taker].emplace_back(counter, *started->serial);
            }
        });
    }
    for (auto& taker : takers) taker.join();

    std::map<std::string, std::vector<uint64_t>> numbers;
    for (const auto& list : taken)
        for (const auto& [counter, serial] : list) numbers[counter].push_back(serial);
    for (auto& [counter, list] : numbers) std::sort(list.begin(), list.end());
    std::vector<uint64_t> expectA(kTakers * kTakes / 2), expectB(expectA.size());
    for (size_t i = 0; i < expectA.size(); ++i) expectA[i] = 1 + i, expectB[i] = 1000 + i;
    EXPECT_EQ(numbers["a"], expectA);
    EXPECT_EQ(numbers["b"], expectB);

    const auto rows = Rows(*setup);
    EXPECT_EQ(rows.size(), size_t(kTakers * kTakes));
    EXPECT_TRUE(std::all_of(rows.begin(), rows.end(), [](const ChipRow& row) { return row.result == "ok"; }));
    StoreError error;
    EXPECT_EQ(setup->FindCounter("a", error)->next, 1 + expectA.size());
    EXPECT_EQ(setup->FindCounter("b", error)->next, 1120u);
}

TEST_P(StoreTest, RowKeepsWhatTheRunMeasuredAndEndsOnce) {
    auto store = Open();
    ASSERT_TRUE(store);
    AddCounter(*store, {"a", 7, std::nullopt, "0,dec,4"});
    StoreError error;
    const auto numbered = store->Begin(SampleRow(), "a", error);
    const auto plain = store->Begin(SampleRow("SN2"), "", error);
    ASSERT_TRUE(numbered && plain) << error.detail;
    EXPECT_EQ(numbered->serial, 7u);
    EXPECT_FALSE(plain->serial);
    ASSERT_TRUE(store->Finish(numbered->id, "ok", "1234ABCD", "ab12", 321, error)) << error.detail;
    // A row ends once; an id of no row, or a result that is no end, changes nothing.
    EXPECT_FALSE(store->Finish(numbered->id, "failed", "", "", 5, error));
    EXPECT_EQ(error.kind, StoreError::Kind::NotTaken);
    EXPECT_FALSE(store->Finish(plain->id + 100, "ok", "", "", 0, error));
    EXPECT_EQ(error.kind, StoreError::Kind::NotTaken);
    EXPECT_FALSE(store->Finish(plain->id, "interrupted", "", "", 0, error));
    EXPECT_NE(error.kind, StoreError::Kind::None);

    const auto rows = Rows(*store);
    ASSERT_EQ(rows.size(), 2u);
    const ChipRow& row = rows[0];
    EXPECT_EQ(std::tie(row.station, row.programmer, row.chip, row.command, row.counter, row.result),
              std::make_tuple("line-2", "SN1", "W25Q64", "auto", "a", "ok"));
    EXPECT_EQ(std::tie(row.crc32, row.sha256, row.elapsedMs, row.version),
              std::make_tuple("1234ABCD", "ab12", 321, std::string(kProgramVersion)));
    EXPECT_EQ(row.serial, 7u);
    EXPECT_TRUE(std::regex_match(row.time, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d{4})"))) << row.time;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    EXPECT_NEAR(row.timeMs, std::chrono::duration_cast<std::chrono::milliseconds>(now).count(), 60000);
    EXPECT_EQ(std::tie(rows[1].counter, rows[1].result, rows[1].serial), std::make_tuple("", "taken", std::nullopt));
    EXPECT_EQ(store->Rows(row.timeMs, error).size(), 2u);
    EXPECT_EQ(store->Rows(row.timeMs + 3600000, error).size(), 0u);
}

TEST_P(StoreTest, CounterRefusesWhenUsedUpOrMissingAndMovesOnlyForward) {
    auto store = Open();
    ASSERT_TRUE(store);
    AddCounter(*store, {"a", 5, 6, "0,dec,4"});
    StoreError error;
    EXPECT_EQ(store->FindCounter("a", error)->format, "0,dec,4");
    EXPECT_TRUE(store->Begin(SampleRow(), "a", error) && store->Begin(SampleRow(), "a", error));
    EXPECT_FALSE(store->Begin(SampleRow(), "a", error));
    EXPECT_EQ(error.kind, StoreError::Kind::UsedUp);
    EXPECT_FALSE(store->Begin(SampleRow(), "missing", error));
    EXPECT_EQ(error.kind, StoreError::Kind::NoCounter);
    EXPECT_EQ(Rows(*store).size(), 2u);

    // Back below a number handed out: refused, nothing changed.
    EXPECT_FALSE(store->SetCounter({"a", 6, 10, ""}, error));
    EXPECT_NE(error.kind, StoreError::Kind::None);
    EXPECT_FALSE(store->SetCounter({"a", uint64_t(INT64_MAX), std::nullopt, ""}, error));
    auto counter = store->FindCounter("a", error);
    EXPECT_EQ(std::tie(counter->next, counter->last, counter->format), std::make_tuple(7u, 6u, "0,dec,4"));
    AddCounter(*store, {"a", 9, std::nullopt, ""});
    const auto started = store->Begin(SampleRow(), "a", error);
    ASSERT_TRUE(started);
    EXPECT_EQ(started->serial, 9u);
    ASSERT_EQ(store->Counters(error).size(), 1u);
    EXPECT_EQ(store->Counters(error)[0].next, 10u);

    // A counter restored behind a number already recorded: the take fails whole.
    AddCounter(*store, {"restored", 5, std::nullopt, ""});
    RawSql(store_,
           "INSERT INTO chips (at, at_ms, station, programmer, chip, command, counter, serial, result, "
           "version, owner) VALUES ('', 0, '', '', '', '', 'restored', 5, 'ok', '', '')");
    EXPECT_FALSE(store->Begin(SampleRow(), "restored", error));
    EXPECT_EQ(store->FindCounter("restored", error)->next, 5u);
    EXPECT_EQ(Rows(*store).size(), 4u);
}

TEST_P(StoreTest, RowsOfGoneRunsBecomeInterruptedAndTheirNumbersStayUsed) {
    auto live = Open();
    ASSERT_TRUE(live);
    AddCounter(*live, {"a", 1, std::nullopt, ""});
    StoreError error;
    const auto inWork = live->Begin(SampleRow(), "a", error);
    ASSERT_TRUE(inWork);
    ASSERT_EQ(RunChild({kTakeAndVanish, store_, "a"}), 0);

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
