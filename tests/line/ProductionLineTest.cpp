// SPDX-License-Identifier: GPL-3.0-or-later
// A production line: stations (processes of the command-line tool, each with its
// own emulated programmers) sharing one production store, in a SQLite file or on a
// PostgreSQL server; and what a line meets: a server stopped mid-batch, a station
// killed, a programmer failing, a full disk, a counter used up or set back.
#include "base/Checksums.h"
#include "store/ProductionStore.h"
#include "support/CliProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qbr::test {
namespace {

using nlohmann::json;

constexpr size_t kChipSize = 1 << 20;  // the EN25T80 of the stations
// A chip that takes seconds to program at the wire's real speed, for the cases that
// act while a number is in work.
constexpr size_t kSlowChipSize = 4 << 20;
const std::string kSlowChip = "EN25Q32";
const std::string kFullSpeed = "--emulate-speed full ";
constexpr size_t kSerialAt = 0x100;
const std::string kImage = std::string(0x8000, '\x5A') + std::string(0x8000, '\xA5');
const std::string kBlank(kChipSize, '\xFF');
const std::string kCli = QBR_RUNTIME_DIR "/qbr5150-cli --db " QBR_RUNTIME_DIR "/chips.dat ";
const std::string kSerialize = "--serialize 0x100,dec,8 ";

// The chip as a run with `serial` leaves it.
std::string Serialized(uint64_t serial, size_t chipSize = kChipSize) {
    std::ostringstream number;
    number << std::setw(8) << std::setfill('0') << serial;
    return (kImage + std::string(chipSize - kImage.size(), '\xFF')).replace(kSerialAt, 8, number.str());
}

// The per-programmer results of a batch's report; none when there is no report.
json Results(const std::string& out) {
    return json::accept(out) ? json::parse(out).value("results", json::array()) : json::array();
}

// The numbers a batch's report lists under `key`: the chips programmed but not
// recorded ("unrecorded", one per result) or the rows it marked ("interrupted").
std::multiset<uint64_t> SerialsUnder(const std::string& out, const std::string& key) {
    std::multiset<uint64_t> serials;
    for (const json& result : Results(out)) {
        const json listed = result.value(key, json());
        for (const json& row : listed.is_array() ? listed : json::array({listed})) {
            if (row.is_object() && row["serial"].is_number()) serials.insert(row["serial"].get<uint64_t>());
        }
    }
    return serials;
}

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A throwaway PostgreSQL cluster of the test's own, to stop and start again at will.
class OwnCluster {
public:
    OwnCluster() { started_ = Shell(Script("start")) == 0; }
    ~OwnCluster() { Shell(Script("stop")); }
    // Stops the server at once, as a power cut would: no client is waited for.
    bool Crash() { return Shell(PgCtl("-m immediate -w stop")) == 0; }
    bool Restart() {
        return Shell(PgCtl("-l " + Dir() +
                           "/server.log -w -t 60 -o \"-c listen_addresses='' -c "
                           "unix_socket_directories='" +
                           Dir() + "'\" start")) == 0;
    }
    std::string Url() const {
        const std::string text = ReadFileText(dir_.file("url"));
        return text.substr(0, text.find('\n'));
    }
    bool started_ = false;

private:
    std::string Dir() const { return dir_.path().string(); }
    std::string Script(const std::string& action) const {
        return "bash " QBR_SOURCE_DIR "/tests/support/pg-cluster.sh " + action + " " + Dir() + " >/dev/null";
    }
    // pg_ctl on the cluster, as the server's user.
    std::string PgCtl(const std::string& arguments) const {
        return "$([ $(id -u) = 0 ] && echo runuser -u postgres --) $(ls -d /usr/lib/postgresql/*/bin | sort -V | "
               "tail -n 1)/pg_ctl -D " +
               Dir() + "/data " + arguments + " >/dev/null";
    }
    TempDir dir_;
};

// One fixture for every case: a store, stations started as processes, and reading
// back the store's rows and the chips.
class Line : public ::testing::Test {
protected:
    void SetUp() override { WriteFileText(Path("image.bin"), kImage); }
    void TearDown() override {
        for (const pid_t pid : running_) kill(pid, SIGKILL);
        for (const pid_t pid : running_) waitpid(pid, nullptr, 0);
    }

    std::string Path(const std::string& name) const { return dir_.file(name).string(); }
    std::string ChipPath(const std::string& station, int index) const {
        return Path(station + "/chip" + std::to_string(index) + ".img");
    }
    std::string Chip(const std::string& station, int index) const { return ReadFileText(ChipPath(station, index)); }
    void BlankChips(const std::string& station, int count) {
        std::filesystem::create_directories(Path(station));
        for (int i = 1; i <= count; ++i) WriteFileText(ChipPath(station, i), kBlank);
    }

    // The arguments of station `station` with `programmers` emulated programmers
    // running `command` on all of them, recording into the store.
    std::string Args(const std::string& station, int programmers, const std::string& command,
                     const std::string& chip = "EN25T80") {
        std::filesystem::create_directories(Path(station));
        return "--lang en -q --json -c " + chip + " --station " + station + " --emulate-count " +
               std::to_string(programmers) + " --emulate-image " + Path(station + "/chip%d.img") +
               " --all --production \"" + store_ + "\" " + command;
    }
    std::string Auto(const std::string& options = kSerialize) { return options + " auto " + Path("image.bin"); }
    CliResult Cli(const std::string& arguments) { return RunCliProcess("--lang en " + arguments); }
    void MakeCounter(const std::string& name, const std::string& options) {
        const CliResult made = Cli("production counter \"" + store_ + "\" " + name + " " + options);
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }

    // A station running on its own while the test goes on; Wait collects it.
    pid_t Start(const std::string& station, const std::string& arguments) {
        const std::string command = "exec " + kCli + arguments + " >" + Path(station + ".out") + " 2>" +
                                    Path(station + ".err");
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        running_.insert(pid);
        return pid;
    }
    CliResult Wait(pid_t pid, const std::string& station) {
        int status = 0;
        waitpid(pid, &status, 0);
        running_.erase(pid);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileText(Path(station + ".out")),
                ReadFileText(Path(station + ".err"))};
    }
    CliResult Station(const std::string& station, int programmers, const std::string& command) {
        return Wait(Start(station, Args(station, programmers, command)), station);
    }

    // The store's rows and a counter's next number, each read through a connection
    // of its own that is closed again.
    std::vector<ChipRow> Rows() {
        StoreError error;
        const auto store = ProductionStore::Open(store_, error);
        EXPECT_TRUE(store) << store_ << ": " << error.detail;
        return store ? store->Rows(std::nullopt, error) : std::vector<ChipRow>{};
    }
    uint64_t NextNumber(const std::string& counter) {
        StoreError error;
        const auto store = ProductionStore::Open(store_, error);
        const auto found = store ? store->FindCounter(counter, error) : std::nullopt;
        EXPECT_TRUE(found) << counter << ": " << error.detail;
        return found ? found->next : 0;
    }
    std::map<uint64_t, ChipRow> Numbered(const std::string& counter) {
        std::map<uint64_t, ChipRow> rows;
        for (const ChipRow& row : Rows()) {
            if (row.counter != counter || !row.serial) continue;
            EXPECT_TRUE(rows.emplace(*row.serial, row).second) << "number " << *row.serial << " handed out twice";
        }
        return rows;
    }
    // The counter and its rows agree: numbers `first` up to the counter's next one,
    // each on exactly one row.
    void ExpectCounterAgrees(const std::string& counter, uint64_t first) {
        std::set<uint64_t> numbers, expected;
        for (const auto& [serial, row] : Numbered(counter)) numbers.insert(serial);
        for (uint64_t n = first, next = NextNumber(counter); n < next; ++n) expected.insert(n);
        EXPECT_EQ(numbers, expected) << counter;
    }
    // Polls the store until `count` rows are in work.
    bool WaitForTaken(size_t count) {
        for (int i = 0; i < 1000; ++i) {
            size_t taken = 0;
            for (const ChipRow& row : Rows()) taken += row.result == "taken";
            if (taken >= count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    TempDir dir_;
    std::string store_ = Path("line.db");
    std::set<pid_t> running_;
};

// The cases that run on both engines: a SQLite file, or a database of their own on
// the test run's PostgreSQL server.
class LineOnEngine : public Line, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        Line::SetUp();
        if (GetParam() == "sqlite") return;
        const char* server = std::getenv("QBR_PG_URL");
        ASSERT_TRUE(server && *server) << "no PostgreSQL server: QBR_PG_URL is not set";
        const std::string name = "line_" + std::to_string(getpid());
        const std::string url = server;
        ASSERT_EQ(Shell("PGOPTIONS='-c client_min_messages=warning' psql -q \"" + url +
                        "\" -c 'DROP DATABASE IF EXISTS " + name + "' -c 'CREATE DATABASE " + name + "' >/dev/null"),
                  0);
        store_ = url + (url.find('?') == std::string::npos ? "?" : "&") + "dbname=" + name;
    }
    // Runs one SQL statement on the store, as a hand edit would.
    int Sql(const std::string& statement) {
        const std::string client = GetParam() == "sqlite" ? "sqlite3 -bail" : "psql -q -v ON_ERROR_STOP=1";
        return Shell(client + " \"" + store_ + "\" <<'SQL' >/dev/null\n" + statement + ";\nSQL\n");
    }
    // On PostgreSQL a killed station's session ends a moment after the process:
    // waits until only `sessions` of this database hold their owner lock.
    void WaitForSessions(int sessions) {
        if (GetParam() == "sqlite") return;
        const std::string count =
            "SELECT count(*) FROM pg_locks l JOIN pg_database d ON d.oid = l.database "
            "WHERE l.locktype = 'advisory' AND d.datname = current_database()";
        for (int i = 0; i < 500; ++i) {
            if (Shell("test \"$(psql -tA \"" + store_ + "\" -c \"" + count + "\")\" = " + std::to_string(sessions)) ==
                0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ADD_FAILURE() << "the killed station's session did not end";
    }
};

// Three stations with four programmers each run two batches at once, programmer 2
// of each failing in a way of its own or not at all: 24 consecutive numbers, each
// once; each batch exits with its worst code; each row holds its chip's result, a
// chip ended ok the CRC-32 of what it was given, and that chip holds it.
TEST_P(LineOnEngine, ThreeStationsTwice) {
    const std::pair<std::string, int> faults[2][3] = {{{"", 0}, {"protect@0x8000", 1}, {"unplug@4096", 1}},
                                                      {{"stall@8192", 1}, {"unplugged", 3}, {"", 0}}};
    const std::string stations[] = {"S1", "S2", "S3"};
    MakeCounter("line", "--start 1000");
    for (int round = 0; round < 2; ++round) {
        std::map<std::string, std::string> faulty;  // the fault of each station this round
        pid_t pids[3];
        for (int i = 0; i < 3; ++i) {
            faulty[stations[i]] = faults[round][i].first;
            const std::string fault = faulty[stations[i]].empty() ? ""
                                                                  : "--emulate-fault 2:" + faulty[stations[i]] + " ";
            pids[i] = Start(stations[i], Args(stations[i], 4, fault + Auto("--counter line " + kSerialize)));
        }
        for (int i = 0; i < 3; ++i) {
            const CliResult run = Wait(pids[i], stations[i]);
            EXPECT_EQ(run.exitCode, faults[round][i].second) << stations[i] << ": " << run.err;
            EXPECT_EQ(Results(run.out).size(), 4u) << run.out;
        }

        const std::map<uint64_t, ChipRow> rows = Numbered("line");
        ASSERT_EQ(rows.size(), 12u * (round + 1));
        ExpectCounterAgrees("line", 1000);
        for (const auto& [serial, row] : rows) {
            if (serial < 1000 + 12u * round) continue;  // on a chip programmed again since
            SCOPED_TRACE(row.station + " " + row.programmer);
            const bool good = faulty[row.station].empty() || row.programmer != "emulated-2";
            EXPECT_EQ(row.result, good ? "ok" : "failed") << serial;
            if (!good) continue;
            const std::string image = Serialized(serial);
            EXPECT_EQ(row.crc32,
                      Crc32Text(Crc32(std::span(reinterpret_cast<const uint8_t*>(image.data()), image.size()))));
            const int index = std::stoi(row.programmer.substr(row.programmer.find('-') + 1));
            EXPECT_TRUE(Chip(row.station, index) == image);
        }
    }
}

// Station S1 is killed while its number is in work, S2 works on: the next start
// marks S1's row interrupted and names it, leaves S2's alone, and hands out the
// next number.
TEST_P(LineOnEngine, KilledStation) {
    MakeCounter("default", "--start 50");
    const pid_t killed = Start("S1", Args("S1", 1, kFullSpeed + Auto(), kSlowChip));
    const pid_t working = Start("S2", Args("S2", 1, kFullSpeed + Auto(), kSlowChip));
    ASSERT_TRUE(WaitForTaken(2));
    kill(killed, SIGKILL);
    Wait(killed, "S1");
    WaitForSessions(1);

    const CliResult next = Station("S3", 1, Auto());
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_TRUE(Chip("S3", 1) == Serialized(52));
    std::map<std::string, ChipRow> rows;
    for (const auto& [serial, row] : Numbered("default")) rows[row.station] = row;
    const uint64_t lost = rows["S1"].serial.value_or(0);
    ASSERT_EQ(Results(next.out).size(), 1u) << next.out;
    json listed = Results(next.out)[0].value("interrupted", json::array());
    ASSERT_EQ(listed.size(), 1u) << next.out;
    listed[0].erase("time");
    EXPECT_EQ(listed[0], (json{{"serial", lost},
                               {"counter", "default"},
                               {"station", "S1"},
                               {"programmer", "emulated-1"},
                               {"chip", kSlowChip},
                               {"command", "auto"}}));
    EXPECT_NE(next.err.find(std::to_string(lost)), std::string::npos) << next.err;
    EXPECT_EQ(rows["S1"].result, "interrupted");
    EXPECT_NE(rows["S2"].result, "interrupted");
    EXPECT_EQ(Wait(working, "S2").exitCode, 0);
    EXPECT_TRUE(Chip("S2", 1) == Serialized(101 - lost, kSlowChipSize));
    ExpectCounterAgrees("default", 50);
    // Reported once: a later start finds nothing left to mark.
    EXPECT_TRUE(SerialsUnder(Station("S3", 1, Auto()).out, "interrupted").empty());
}

// A counter with two numbers left serves two of four chips and refuses the others
// untouched; used up, it refuses a batch before any chip is read for its backup; set
// back, by the tool or by hand, it can't hand out a number a second time.
TEST_P(LineOnEngine, UsedUpOrSetBackCounterTouchesNoChip) {
    MakeCounter("C", "--start 9 --last 10");
    BlankChips("S1", 4);
    const std::string run = Auto("--counter C " + kSerialize);
    const CliResult usedUp = Station("S1", 4, run);
    EXPECT_EQ(usedUp.exitCode, 4) << usedUp.err;
    std::set<uint64_t> served;
    for (const json& result : Results(usedUp.out)) {
        const int index = std::string(result["programmer"]).back() - '0';
        if (result["ok"] == true) {
            served.insert(result["serial"].get<uint64_t>());
            EXPECT_TRUE(Chip("S1", index) == Serialized(result["serial"]));
        } else {
            EXPECT_EQ(result["error"]["code"], "counter-used-up") << result;
            EXPECT_TRUE(Chip("S1", index) == kBlank) << index;
        }
    }
    EXPECT_EQ(served, (std::set<uint64_t>{9, 10}));
    ExpectCounterAgrees("C", 9);

    std::vector<std::string> chips;
    for (int index = 1; index <= 4; ++index) chips.push_back(Chip("S1", index));
    const CliResult refused = Station("S1", 4,
                                      "--counter C " + kSerialize + "auto --backup " + Path("backup-%s.bin") + " " +
                                          Path("image.bin"));
    EXPECT_EQ(refused.exitCode, 4);
    EXPECT_NE(refused.out.find("counter-used-up"), std::string::npos) << refused.out;
    EXPECT_FALSE(std::filesystem::exists(Path("backup-emulated-1.bin")));
    EXPECT_NE(Cli("production counter \"" + store_ + "\" C --start 9").exitCode, 0);
    ASSERT_EQ(Sql("UPDATE counters SET next_number = 10 WHERE name = 'C'"), 0);
    EXPECT_EQ(Station("S1", 4, run).exitCode, 4);
    EXPECT_EQ(NextNumber("C"), 10u);  // the take failed whole
    for (int index = 1; index <= 4; ++index) EXPECT_TRUE(Chip("S1", index) == chips[index - 1]) << index;
    EXPECT_EQ(Numbered("C").size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Engines, LineOnEngine, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& engine) { return engine.param; });

// The store is lost while two chips are programmed: its PostgreSQL server stops, or
// the disk of its SQLite file (a small tmpfs, in a mount namespace of its own) fills.
// The chips are reported programmed but not recorded, with their numbers; a run
// while the store is lost names it and touches no chip; once the store is back, the
// rows in flight are interrupted and no number is used again.
class StoreLost : public Line, public ::testing::WithParamInterface<std::string> {};

TEST_P(StoreLost, ChipsInWorkAreNamedAndLaterInterrupted) {
    std::optional<OwnCluster> cluster;
    std::function<bool()> lose, mend;
    if (GetParam() == "server") {
        cluster.emplace();
        ASSERT_TRUE(cluster->started_) << "can't start a PostgreSQL cluster";
        store_ = cluster->Url();
        lose = [&] { return cluster->Crash(); };
        mend = [&] { return cluster->Restart(); };
    } else if (const char* disk = std::getenv("QBR_LINE_DISK")) {
        store_ = std::string(disk) + "/line.db";
        const std::string fill = std::string(disk) + "/fill";
        lose = [fill] { return Shell("cat /dev/zero >>" + fill + " 2>/dev/null") != 0; };
        mend = [fill] { return std::filesystem::remove(fill); };
    } else {
        // This very case again, in a namespace where its store is on the small disk.
        if (Shell("unshare -Urm true 2>/dev/null") != 0) GTEST_SKIP() << "no mount namespaces here";
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::filesystem::create_directories(Path("disk"));
        ASSERT_EQ(Shell("unshare -Urm sh -c 'mount -t tmpfs -o size=256k tmpfs " + Path("disk") + " && QBR_LINE_DISK=" +
                        Path("disk") + " exec " + std::filesystem::read_symlink("/proc/self/exe").string() +
                        " --gtest_filter=" + test->test_suite_name() + "." + test->name() + "'"),
                  0);
        return;
    }
    MakeCounter("default", "--start 1");
    const pid_t batch = Start("S1", Args("S1", 2, kFullSpeed + Auto(), kSlowChip));
    ASSERT_TRUE(WaitForTaken(2));
    ASSERT_TRUE(lose());
    const CliResult cut = Wait(batch, "S1");
    EXPECT_EQ(cut.exitCode, 4) << cut.err;
    EXPECT_EQ(SerialsUnder(cut.out, "unrecorded"), (std::multiset<uint64_t>{1, 2})) << cut.out;
    for (const json& result : Results(cut.out)) {
        EXPECT_EQ(result["error"]["code"], "store-error") << result;
        const int index = std::string(result["programmer"]).back() - '0';
        EXPECT_TRUE(Chip("S1", index) == Serialized(result["unrecorded"]["serial"], kSlowChipSize)) << index;
        EXPECT_NE(cut.err.find("NOT RECORDED: the chip with serial number " + result["unrecorded"]["serial"].dump()),
                  std::string::npos)
            << cut.err;
    }

    lose();  // whatever the batch's end left free is taken too
    BlankChips("S2", 1);
    const CliResult down = Station("S2", 1, Auto());
    EXPECT_EQ(down.exitCode, 4);
    EXPECT_NE(down.err.find(ProductionStore::DisplayName(store_)), std::string::npos) << down.err;
    EXPECT_NE(down.out.find("store-error"), std::string::npos) << down.out;
    EXPECT_TRUE(Chip("S2", 1) == kBlank);

    ASSERT_TRUE(mend());
    const CliResult after = Station("S2", 1, Auto());
    EXPECT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(SerialsUnder(after.out, "interrupted"), (std::multiset<uint64_t>{1, 2})) << after.out;
    EXPECT_TRUE(Chip("S2", 1) == Serialized(3));
    const std::map<uint64_t, ChipRow> rows = Numbered("default");
    for (const auto& [serial, row] : rows) EXPECT_EQ(row.result, serial < 3 ? "interrupted" : "ok") << serial;
    EXPECT_EQ(rows.size(), 3u);
    ExpectCounterAgrees("default", 1);
}

INSTANTIATE_TEST_SUITE_P(Lost, StoreLost, ::testing::Values("server", "disk"),
                         [](const auto& way) { return way.param; });

}  // namespace
}  // namespace qbr::test
