// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qbr {

class SqlConnection;

// One chip and the command run on it, as the production store keeps it.
struct ChipRow {
    int64_t id = 0;
    std::string time;        // local time in ISO 8601 with its offset from UTC, "2026-12-08T09:15:02+0100"
    int64_t timeMs = 0;      // the same instant in ms since the epoch, for ordering and --since
    std::string station;     // the computer (--station, the host name by default)
    std::string programmer;  // the programmer's id
    std::string chip;
    std::string command;  // "auto", "write", "read", ...
    std::string counter;  // the counter the serial number came from; empty for none
    std::optional<uint64_t> serial;
    std::string result;  // "taken" (in work), "ok", "failed" or "interrupted" (a run gone meanwhile)
    std::string crc32;   // of the data written or read, as Crc32Text gives it; empty for none
    std::string sha256;  // likewise, as Sha256Text gives it
    int64_t elapsedMs = 0;
    std::string version;  // of the program that ran the command
};

// A named counter of serial numbers, one per product.
struct SerialCounterRow {
    std::string name;
    uint64_t next = 0;             // the number the next chip takes
    std::optional<uint64_t> last;  // the last number it may hand out; none: no limit
    std::string format;            // the --serialize layout of its numbers; empty: none fixed
};

// Why a call failed. `detail` holds the engine's own words where there are any.
struct StoreError {
    enum class Kind {
        None,
        Unreachable,  // can't be opened or connected to
        Unwritable,   // a statement failed: disk full, read-only, server gone, ...
        Malformed,    // not a production store, or one of a later version
        NoCounter,    // no counter of that name
        UsedUp,       // the counter has handed out its last number
        NotTaken,     // the row is no longer in work: marked interrupted meanwhile
    };
    Kind kind = Kind::None;
    std::string detail;
};

// The production store: the serial counters and a row per chip and command, in a
// SQLite file (one computer) or a PostgreSQL database (a line of stations). Taking a
// number and recording its chip is one transaction, so no number is handed out
// twice and every number handed out has its row. Safe to call from several threads;
// the programmers of a batch share one store.
class ProductionStore {
public:
    // STORE is a "postgresql://" or "postgres://" URL, or else the path of a SQLite
    // file, created with its tables on first use. Null with `error` set when it
    // can't be opened or isn't a production store.
    static std::unique_ptr<ProductionStore> Open(const std::string& store, StoreError& error);
    // The store as messages name it: a URL without its password.
    static std::string DisplayName(const std::string& store);
    // Whether STORE names a PostgreSQL server rather than a SQLite file.
    static bool IsUrl(const std::string& store);
    ~ProductionStore();

    std::vector<SerialCounterRow> Counters(StoreError& error);
    std::optional<SerialCounterRow> FindCounter(const std::string& name, StoreError& error);
    // Creates the counter, or changes an existing one: its next number only forward,
    // its last number and its format freely. False with `error` set otherwise.
    bool SetCounter(const SerialCounterRow& counter, StoreError& error);

    // Records the start of a command on a chip as a row "taken", with the row's
    // time, version and owner filled in here; with a counter named, takes its next
    // number in the same transaction. The row's id and number; none with `error`
    // set (NoCounter, UsedUp, Unwritable) when nothing was recorded or taken.
    struct Started {
        int64_t id = 0;
        std::optional<uint64_t> serial;
    };
    std::optional<Started> Begin(const ChipRow& row, const std::string& counter, StoreError& error);
    // Ends a row in work with "ok" or "failed" and what the command measured.
    bool Finish(int64_t id, const std::string& result, const std::string& crc32, const std::string& sha256,
                int64_t elapsedMs, StoreError& error);
    // Marks "interrupted" every row left "taken" by a run that is gone (crashed,
    // killed, or cut off from the server) and returns those rows. Rows of runs
    // still going, on any station, are left alone.
    std::vector<ChipRow> MarkInterrupted(StoreError& error);
    // Every row, oldest first; with `sinceMs`, those from that instant on.
    std::vector<ChipRow> Rows(std::optional<int64_t> sinceMs, StoreError& error);

private:
    explicit ProductionStore(std::unique_ptr<SqlConnection> connection);
    std::mutex mutex_;  // one statement or transaction at a time on the connection
    std::unique_ptr<SqlConnection> connection_;
};

}  // namespace qbr
