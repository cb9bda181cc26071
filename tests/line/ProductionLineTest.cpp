// SPDX-License-Identifier: GPL-3.0-or-later
// A production line: stations (processes of the command-line tool, each with its
// own emulated programmers) sharing one production store, in a SQLite file or on a
// PostgreSQL server; and what a line meets: a server stopped mid-batch, a station
// killed, a full disk, two products, a counter used up, the store under other names.
#include "cli/CliRunner.h"
#include "store/ProductionStore.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qbr {
namespace {

using nlohmann::json;
using test::CliResult;
using test::ReadFileText;
using test::RunCli;
using test::TempDir;
using test::WriteFileText;

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

std::set<uint64_t> Range(uint64_t first, uint64_t count) {
    std::set<uint64_t> numbers;
    for (uint64_t n = first; n < first + count; ++n) numbers.insert(n);
    return numbers;
}

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
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
    std::string Url() const { return FirstLine(ReadFileText(dir_.file("url"))); }
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
    CliResult Cli(const std::string& arguments) { return RunCli("--lang en " + arguments); }
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
    CliResult Station(const std::string& station, int programmers, const std::string& command,
                      const std::string& chip = "EN25T80") {
        return Wait(Start(station, Args(station, programmers, command, chip)), station);
    }

    // The store's rows, read through a connection of its own that is closed again.
    std::vector<ChipRow> Rows() {
        StoreError error;
        const auto store = ProductionStore::Open(store_, error);
        if (!store) {
            ADD_FAILURE() << store_ << ": " << error.detail;
            return {};
        }
        return store->Rows(std::nullopt, error);
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
        StoreError error;
        const auto store = ProductionStore::Open(store_, error);
        ASSERT_TRUE(store) << error.detail;
        const auto found = store->FindCounter(counter, error);
        ASSERT_TRUE(found) << counter << ": " << error.detail;
        std::set<uint64_t> numbers;
        for (const auto& [serial, row] : Numbered(counter)) numbers.insert(serial);
        EXPECT_EQ(numbers, Range(first, found->next - first)) << counter;
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

// Three stations with four programmers each run two batches at once: 24 consecutive
// numbers, each once, each on the chip its row names.
TEST_P(LineOnEngine, ThreeStationsTwice) {
    MakeCounter("line", "--start 1000");
    const std::vector<std::string> stations = {"S1", "S2", "S3"};
    for (int round = 1; round <= 2; ++round) {
        const auto began = std::chrono::steady_clock::now();
        std::vector<pid_t> pids;
        for (const std::string& station : stations) {
            pids.push_back(Start(station, Args(station, 4, Auto("--counter line " + kSerialize))));
        }
        for (size_t i = 0; i < stations.size(); ++i) {
            const CliResult run = Wait(pids[i], stations[i]);
            EXPECT_EQ(run.exitCode, 0) << stations[i] << ": " << run.err;
        }
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began).count();
        std::cout << "[ line ] " << GetParam() << " round " << round << ": 3 stations x 4 chips in " << ms << " ms\n";

        const std::map<uint64_t, ChipRow> rows = Numbered("line");
        ASSERT_EQ(rows.size(), 12u * round);
        ExpectCounterAgrees("line", 1000);
        for (const auto& [serial, row] : rows) {
            EXPECT_EQ(row.result, "ok") << serial;
            if (serial < 1000 + 12u * (round - 1)) continue;  // on a chip programmed again since
            const int index = std::stoi(row.programmer.substr(row.programmer.find('-') + 1));
            EXPECT_TRUE(Chip(row.station, index) == Serialized(serial)) << row.station << " " << row.programmer;
        }
    }
}

// Station S1 is killed while its number is in work, S2 works on: the next start
// marks S1's row interrupted, leaves S2's alone, and hands out the next number.
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
    EXPECT_EQ(SerialsUnder(next.out, "interrupted"), std::multiset<uint64_t>{lost}) << next.out;
    EXPECT_NE(next.err.find(std::to_string(lost)), std::string::npos) << next.err;
    EXPECT_EQ(rows["S1"].result, "interrupted");
    EXPECT_NE(rows["S2"].result, "interrupted");
    EXPECT_EQ(Wait(working, "S2").exitCode, 0);
    EXPECT_TRUE(Chip("S2", 1) == Serialized(101 - lost, kSlowChipSize));
    ExpectCounterAgrees("default", 50);
    // Reported once: a later start finds nothing left to mark.
    EXPECT_TRUE(SerialsUnder(Station("S3", 1, Auto()).out, "interrupted").empty());
}

// Two products count on their own; a counter with two numbers left serves two of
// four chips and refuses the others before programming; a counter set back by
// hand can't hand out a number a second time.
TEST_P(LineOnEngine, CountersOfTheLine) {
    MakeCounter("A", "--start 100");
    MakeCounter("B", "--start 500 --format 0x100,dec,8");
    MakeCounter("C", "--start 9 --last 10");
    BlankChips("S3", 4);
    const pid_t a = Start("S1", Args("S1", 4, Auto("--counter A " + kSerialize)));
    const pid_t b = Start("S2", Args("S2", 4, Auto("--counter B")));  // placed as B's format says
    const pid_t c = Start("S3", Args("S3", 4, Auto("--counter C " + kSerialize)));
    EXPECT_EQ(Wait(a, "S1").exitCode, 0);
    EXPECT_EQ(Wait(b, "S2").exitCode, 0);
    const CliResult usedUp = Wait(c, "S3");
    EXPECT_EQ(usedUp.exitCode, 4) << usedUp.err;

    for (const auto& [counter, first] : std::map<std::string, uint64_t>{{"A", 100}, {"B", 500}, {"C", 9}}) {
        ExpectCounterAgrees(counter, first);
    }
    EXPECT_EQ(Numbered("A").size(), 4u);
    EXPECT_EQ(Numbered("B").size(), 4u);
    std::set<uint64_t> served;
    for (const json& result : Results(usedUp.out)) {
        const int index = std::string(result["programmer"]).back() - '0';
        if (result["ok"] == true) {
            served.insert(result["serial"].get<uint64_t>());
            EXPECT_TRUE(Chip("S3", index) == Serialized(result["serial"]));
        } else {
            EXPECT_EQ(result["error"]["code"], "counter-used-up") << result;
            EXPECT_TRUE(Chip("S3", index) == kBlank) << index;
        }
    }
    EXPECT_EQ(served, (std::set<uint64_t>{9, 10}));
    std::vector<std::string> chips;
    for (int index = 1; index <= 4; ++index) chips.push_back(Chip("S3", index));
    const CliResult refused = Station("S3", 4, Auto("--counter C " + kSerialize));
    EXPECT_EQ(refused.exitCode, 4);
    EXPECT_NE(refused.out.find("counter-used-up"), std::string::npos) << refused.out;
    for (int index = 1; index <= 4; ++index) EXPECT_TRUE(Chip("S3", index) == chips[index - 1]) << index;

    // A counter is only moved forward; set back behind the store's back, the store
    // refuses the used number and no chip is touched.
    EXPECT_NE(Cli("production counter \"" + store_ + "\" A --start 101").exitCode, 0);
    ASSERT_EQ(Sql("UPDATE counters SET next_number = 102 WHERE name = 'A'"), 0);
    const std::string before = Chip("S1", 1);
    const CliResult setBack = Station("S1", 1, Auto("--counter A " + kSerialize));
    EXPECT_EQ(setBack.exitCode, 4) << setBack.err;
    EXPECT_TRUE(Chip("S1", 1) == before);
    EXPECT_EQ(Numbered("A").size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Engines, LineOnEngine, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& engine) { return engine.param; });

// The server is stopped while four chips are programmed: they are reported as
// programmed with their numbers but not recorded; a run while it is down touches
// no chip; after the restart the rows in flight are interrupted, no number reused.
TEST_F(Line, ServerStoppedMidBatch) {
    OwnCluster cluster;
    ASSERT_TRUE(cluster.started_) << "can't start a PostgreSQL cluster";
    store_ = cluster.Url();
    MakeCounter("default", "--start 700");
    const pid_t batch = Start("S1", Args("S1", 4, kFullSpeed + Auto(), kSlowChip));
    ASSERT_TRUE(WaitForTaken(4));
    ASSERT_TRUE(cluster.Crash());
    const CliResult cut = Wait(batch, "S1");
    EXPECT_EQ(cut.exitCode, 4) << cut.err;
    EXPECT_EQ(SerialsUnder(cut.out, "unrecorded"), (std::multiset<uint64_t>{700, 701, 702, 703})) << cut.out;
    for (const json& result : Results(cut.out)) {
        EXPECT_EQ(result["error"]["code"], "store-error") << result;
        const int index = std::string(result["programmer"]).back() - '0';
        EXPECT_TRUE(Chip("S1", index) == Serialized(result["unrecorded"]["serial"], kSlowChipSize)) << index;
    }

    const std::string before = Chip("S1", 1);
    const CliResult down = Station("S1", 1, Auto(), kSlowChip);
    EXPECT_EQ(down.exitCode, 4);
    EXPECT_NE(down.err.find(ProductionStore::DisplayName(store_)), std::string::npos) << down.err;
    EXPECT_NE(down.out.find("store-error"), std::string::npos) << down.out;
    EXPECT_TRUE(Chip("S1", 1) == before);

    ASSERT_TRUE(cluster.Restart());
    const CliResult after = Station("S1", 4, Auto(), kSlowChip);
    EXPECT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(SerialsUnder(after.out, "interrupted"), (std::multiset<uint64_t>{700, 701, 702, 703})) << after.out;
    const std::map<uint64_t, ChipRow> rows = Numbered("default");
    for (const auto& [serial, row] : rows) EXPECT_EQ(row.result, serial < 704 ? "interrupted" : "ok") << serial;
    ExpectCounterAgrees("default", 700);
    EXPECT_EQ(rows.size(), 8u);
}

// A SQLite store whose disk (a small tmpfs in a mount namespace of its own) fills
// while two chips are in work: both are reported programmed but not recorded, with
// their numbers; the next run stops naming the store before its chip is touched,
// with no number taken; once the store has room again, the two rows are interrupted.
TEST_F(Line, FullDisk) {
    if (Shell("unshare -Urm true 2>/dev/null") != 0) GTEST_SKIP() << "no mount namespaces here";
    const std::string full = Path("full");
    std::filesystem::create_directories(full);
    std::filesystem::create_directories(Path("copy"));
    store_ = full + "/line.db";
    BlankChips("S2", 1);
    std::string script = R"sh(cd @DIR@ && mount -t tmpfs -o size=256k tmpfs @FULL@ || exit 1
@CLI@ production counter @STORE@ default --start 1 >/dev/null || exit 1
@CLI@ @SLOW@ >S1.out 2>S1.err & station=$!
for i in $(seq 1000); do
  [ "$(sqlite3 @STORE@ "SELECT count(*) FROM chips WHERE result = 'taken'" 2>/dev/null)" = 2 ] && break; sleep 0.02
done
cat /dev/zero >@FULL@/fill 2>/dev/null
wait $station; echo $? >S1.code
cat /dev/zero >@FULL@/more 2>/dev/null
@CLI@ @NEXT@ >S2.out 2>S2.err; echo $? >S2.code
cp @STORE@* copy/
)sh";
    const std::pair<std::string, std::string> fields[] = {{"@DIR@", Path("")},
                                                          {"@FULL@", full},
                                                          {"@CLI@", kCli},
                                                          {"@STORE@", store_},
                                                          {"@SLOW@", Args("S1", 2, kFullSpeed + Auto(), kSlowChip)},
                                                          {"@NEXT@", Args("S2", 1, Auto())}};
    for (const auto& [field, value] : fields) {
        for (size_t at = script.find(field); at != std::string::npos; at = script.find(field, at + value.size())) {
            script.replace(at, field.size(), value);
        }
    }
    WriteFileText(Path("full.sh"), script);
    ASSERT_EQ(Shell("unshare -Urm sh " + Path("full.sh")), 0);

    const std::string cut = ReadFileText(Path("S1.out"));
    EXPECT_EQ(FirstLine(ReadFileText(Path("S1.code"))), "4");
    EXPECT_EQ(SerialsUnder(cut, "unrecorded"), (std::multiset<uint64_t>{1, 2})) << cut;
    for (const json& result : Results(cut)) {
        const int index = std::string(result["programmer"]).back() - '0';
        EXPECT_TRUE(Chip("S1", index) == Serialized(result["unrecorded"]["serial"], kSlowChipSize)) << index;
    }
    EXPECT_EQ(FirstLine(ReadFileText(Path("S2.code"))), "4");
    const std::string err = ReadFileText(Path("S2.err"));
    EXPECT_NE(err.find(store_), std::string::npos) << err;
    EXPECT_TRUE(Chip("S2", 1) == kBlank);

    store_ = Path("copy/line.db");
    EXPECT_EQ(Numbered("default").size(), 2u);
    ExpectCounterAgrees("default", 1);
    const CliResult after = Station("S2", 1, Auto());
    EXPECT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(SerialsUnder(after.out, "interrupted"), (std::multiset<uint64_t>{1, 2})) << after.out;
    EXPECT_TRUE(Chip("S2", 1) == Serialized(3));
}

// Two stations reach one SQLite store under two names at once: whatever the name,
// no number is handed out twice and every chip programmed has its row.
TEST_F(Line, StoreUnderOtherNames) {
    for (const std::string link : {"ln -s", "ln"}) {
        SCOPED_TRACE(link);
        store_ = Path("line.db");
        std::filesystem::remove(store_);
        std::filesystem::remove(Path("other.db"));
        MakeCounter("default", "--start 1");
        ASSERT_EQ(Shell(link + " " + store_ + " " + Path("other.db")), 0);
        std::multiset<uint64_t> served;
        for (int round = 0; round < 2; ++round) {
            const pid_t first = Start("S1", Args("S1", 4, Auto()));
            store_ = Path("other.db");
            const pid_t second = Start("S2", Args("S2", 4, Auto()));
            store_ = Path("line.db");
            for (const auto& [pid, station] : {std::pair{first, "S1"}, std::pair{second, "S2"}}) {
                const CliResult run = Wait(pid, station);
                for (const json& result : Results(run.out)) {
                    if (result["ok"] == true) served.insert(result["serial"].get<uint64_t>());
                }
            }
        }
        std::filesystem::remove(Path("other.db"));  // the store has one name again
        EXPECT_EQ(std::set<uint64_t>(served.begin(), served.end()).size(), served.size());
        std::set<uint64_t> recorded;
        for (const auto& [serial, row] : Numbered("default")) {
            if (row.result == "ok") recorded.insert(serial);
        }
        EXPECT_EQ(recorded, std::set<uint64_t>(served.begin(), served.end()));
        ExpectCounterAgrees("default", 1);
    }
}

// The store is renamed while a station has four numbers in work, and a second
// station opens it by its new name (SQLite's log stays beside the old one): the
// first station's chips are reported as not recorded, and no chip reported ok
// carries a number another one has.
TEST_F(Line, StoreRenamedWhileInUse) {
    MakeCounter("default", "--start 1");
    const pid_t first = Start("S1", Args("S1", 4, kFullSpeed + Auto(), kSlowChip));
    ASSERT_TRUE(WaitForTaken(4));
    std::filesystem::rename(store_, Path("other.db"));
    store_ = Path("other.db");
    const CliResult second = Station("S2", 4, Auto());
    EXPECT_EQ(second.exitCode, 0) << second.err;
    const CliResult cut = Wait(first, "S1");
    EXPECT_EQ(cut.exitCode, 4) << cut.err;
    EXPECT_EQ(SerialsUnder(cut.out, "unrecorded").size(), 4u) << cut.out;
    std::set<uint64_t> served;
    for (const std::string& out : {second.out, cut.out}) {
        for (const json& result : Results(out)) {
            if (result["ok"] == true) {
                EXPECT_TRUE(served.insert(result["serial"].get<uint64_t>()).second) << result;
            }
        }
    }
    std::set<uint64_t> recorded;
    for (const auto& [serial, row] : Numbered("default")) recorded.insert(serial);
    EXPECT_EQ(recorded, served);
}

}  // namespace
}  // namespace qbr
