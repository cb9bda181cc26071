// SPDX-License-Identifier: GPL-3.0-or-later
// The SQL of the production store, the same for both engines.
#include "store/ProductionStore.h"

#include "ProgramVersion.h"
#include "store/PostgresConnection.h"
#include "store/SqlConnection.h"
#include "store/SqliteConnection.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <ctime>
#include <limits>
#include <map>

namespace qbr {

namespace {

constexpr int kSchemaVersion = 1;
// The counters' numbers are BIGINT; the next number must still fit once the last one is taken.
constexpr uint64_t kLargestNumber = std::numeric_limits<int64_t>::max() - 1;

const char kChipColumns[] =
    "id, at, at_ms, station, programmer, chip, command, counter, serial, result, crc32, sha256, elapsed_ms, version";

std::string PercentDecoded(const std::string& text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned value = 0;
        if (text[i] == '%' && i + 2 < text.size() &&
            std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16).ptr == text.data() + i + 3) {
            decoded += static_cast<char>(value);
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

template <typename Number>
Number ParseNumber(const SqlValue& value) {
    Number number = 0;
    if (value) std::from_chars(value->data(), value->data() + value->size(), number);
    return number;
}

std::optional<uint64_t> ParseOptional(const SqlValue& value) {
    return value ? std::optional(ParseNumber<uint64_t>(value)) : std::nullopt;
}

// A serial number as the store keeps it: digits only, and no larger than a counter
// may go. A counter edited by hand into text, a fraction or a negative number gives none.
std::optional<uint64_t> ParseSerial(const SqlValue& value) {
    uint64_t number = 0;
    if (!value) return std::nullopt;
    const char* end = value->data() + value->size();
    const auto [stop, parsed] = std::from_chars(value->data(), end, number);
    if (parsed != std::errc() || stop != end || number > kLargestNumber) return std::nullopt;
    return number;
}

SqlValue Text(std::optional<uint64_t> number) {
    return number ? SqlValue(std::to_string(*number)) : std::nullopt;
}

ChipRow ReadChipRow(const SqlRow& row) {
    ChipRow chip;
    chip.id = ParseNumber<int64_t>(row[0]);
    chip.time = row[1].value_or("");
    chip.timeMs = ParseNumber<int64_t>(row[2]);
    chip.station = row[3].value_or("");
    chip.programmer = row[4].value_or("");
    chip.chip = row[5].value_or("");
    chip.command = row[6].value_or("");
    chip.counter = row[7].value_or("");
    chip.serial = ParseOptional(row[8]);
    chip.result = row[9].value_or("");
    chip.crc32 = row[10].value_or("");
    chip.sha256 = row[11].value_or("");
    chip.elapsedMs = ParseNumber<int64_t>(row[12]);
    chip.version = row[13].value_or("");
    return chip;
}

SerialCounterRow ReadCounterRow(const SqlRow& row) {
    return {row[0].value_or(""), ParseNumber<uint64_t>(row[1]), ParseOptional(row[2]), row[3].value_or("")};
}

// The present moment as a row keeps it: local time with its offset, and epoch ms.
std::pair<std::string, int64_t> Now() {
    const auto now = std::chrono::system_clock::now();
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    return {text, ms};
}

// A write transaction on the connection that rolls back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(SqlConnection& connection) : connection_(connection) {}
    ~WriteTransaction() {
        StoreError ignored;
        if (open_) connection_.Execute("ROLLBACK", {}, rows_, ignored);
    }
    bool Begin(StoreError& error) {
        open_ = connection_.Execute(connection_.BeginWriteSql(), {}, rows_, error);
        return open_;
    }
    bool Commit(StoreError& error) {
        if (!connection_.Execute("COMMIT", {}, rows_, error)) return false;
        open_ = false;
        return true;
    }

private:
    SqlConnection& connection_;
    std::vector<SqlRow> rows_;  // none: these statements return no rows
    bool open_ = false;
};

std::vector<std::string> SchemaStatements(const SqlConnection& connection) {
    return {
        "CREATE TABLE meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)",
        "CREATE TABLE counters (name TEXT PRIMARY KEY, next_number BIGINT NOT NULL, last_number BIGINT, "
        "format TEXT NOT NULL DEFAULT '')",
        "CREATE TABLE chips (id " + connection.AutoIdColumn() +
            " PRIMARY KEY, at TEXT NOT NULL, at_ms BIGINT NOT NULL, station TEXT NOT NULL, "
            "programmer TEXT NOT NULL, chip TEXT NOT NULL, command TEXT NOT NULL, counter TEXT, serial BIGINT, "
            "result TEXT NOT NULL CHECK (result IN ('taken','ok','failed','interrupted')), "
            "crc32 TEXT NOT NULL DEFAULT '', sha256 TEXT NOT NULL DEFAULT '', elapsed_ms BIGINT NOT NULL DEFAULT 0, "
            "version TEXT NOT NULL, owner TEXT NOT NULL, UNIQUE (counter, serial))",
        "CREATE INDEX chips_result ON chips (result)",
        "INSERT INTO meta (name, value) VALUES ('schema', '" + std::to_string(kSchemaVersion) + "')",
    };
}

// Checks that the store is ours and of a version this program knows; creates the
// tables in an empty one.
bool PrepareSchema(SqlConnection& connection, StoreError& error) {
    WriteTransaction transaction(connection);
    if (!transaction.Begin(error)) return false;
    std::vector<SqlRow> rows;
    const std::string lock = connection.SchemaLockSql();
    if (!lock.empty() && !connection.Execute(lock, {}, rows, error)) return false;
    if (!connection.Execute(connection.TableNamesSql(), {}, rows, error)) return false;
    std::vector<std::string> tables;
    for (const SqlRow& row : rows) tables.push_back(row[0].value_or(""));
    const auto has = [&](const char* name) { return std::count(tables.begin(), tables.end(), name) > 0; };
    if (has("meta")) {
        if (!connection.Execute("SELECT value FROM meta WHERE name = 'schema'", {}, rows, error)) return false;
        const int version = rows.empty() ? 0 : ParseNumber<int>(rows[0][0]);
        if (version < 1 || version > kSchemaVersion || !has("counters") || !has("chips")) {
            error = {StoreError::Kind::Malformed, version > kSchemaVersion
                                                      ? "made by a later version of this program"
                                                      : "not a production store: its tables are not ours"};
            return false;
        }
        return true;  // rolled back: nothing written
    }
    if (!tables.empty()) {
        error = {StoreError::Kind::Malformed, "not a production store: it holds other tables"};
        return false;
    }
    for (const std::string& statement : SchemaStatements(connection)) {
        if (!connection.Execute(statement, {}, rows, error)) return false;
    }
    return transaction.Commit(error);
}

bool CheckNumber(const char* what, std::optional<uint64_t> number, StoreError& error) {
    if (!number || *number <= kLargestNumber) return true;
    error = {StoreError::Kind::Unwritable,
             std::string("the ") + what + " number is larger than " + std::to_string(kLargestNumber)};
    return false;
}

}  // namespace

ProductionStore::ProductionStore(std::unique_ptr<SqlConnection> connection) : connection_(std::move(connection)) {}

ProductionStore::~ProductionStore() = default;

std::unique_ptr<ProductionStore> ProductionStore::Open(const std::string& store, StoreError& error) {
    error = {};
    std::unique_ptr<SqlConnection> connection = IsUrl(store) ? std::unique_ptr<SqlConnection>(
                                                                   PostgresConnection::Open(store, error))
                                                             : SqliteConnection::Open(store, error);
    if (!connection || !PrepareSchema(*connection, error)) return nullptr;
    return std::unique_ptr<ProductionStore>(new ProductionStore(std::move(connection)));
}

bool ProductionStore::IsUrl(const std::string& store) {
    return store.starts_with("postgresql://") || store.starts_with("postgres://");
}

std::string ProductionStore::DisplayName(const std::string& store) {
    if (!IsUrl(store)) return store;
    std::string shown = store;
    // user:password@host: the password goes. As libpq reads a URL, the user info
    // ends at an '@' before the first '/', whatever comes between ('?' included).
    const size_t authority = shown.find("://") + 3;
    const size_t at = shown.rfind('@', shown.find('/', authority));
    if (at != std::string::npos && at >= authority) {
        const size_t colon = shown.find(':', authority);
        if (colon < at) shown.erase(colon, at - colon);
    }
    // ?password=...: the parameter goes, its name read as libpq reads it (%77 is 'w').
    const size_t query = shown.find('?', authority);
    if (query == std::string::npos) return shown;
    std::string kept;
    size_t start = query + 1;
    while (start <= shown.size()) {
        const size_t end = std::min(shown.find('&', start), shown.size());
        const std::string parameter = shown.substr(start, end - start);
        if (PercentDecoded(parameter.substr(0, parameter.find('='))) != "password")
            kept += (kept.empty() ? "" : "&") + parameter;
        start = end + 1;
    }
    return shown.substr(0, query) + (kept.empty() ? "" : "?" + kept);
}

std::vector<SerialCounterRow> ProductionStore::Counters(StoreError& error) {
    std::lock_guard lock(mutex_);
    error = {};
    std::vector<SqlRow> rows;
    std::vector<SerialCounterRow> counters;
    if (!connection_->Execute("SELECT name, next_number, last_number, format FROM counters ORDER BY name", {}, rows,
                              error))
        return counters;
    for (const SqlRow& row : rows) counters.push_back(ReadCounterRow(row));
    return counters;
}

std::optional<SerialCounterRow> ProductionStore::FindCounter(const std::string& name, StoreError& error) {
    std::lock_guard lock(mutex_);
    error = {};
    std::vector<SqlRow> rows;
    if (!connection_->Execute("SELECT name, next_number, last_number, format FROM counters WHERE name = $1", {name},
                              rows, error) ||
        rows.empty())
        return std::nullopt;
    return ReadCounterRow(rows[0]);
}

bool ProductionStore::SetCounter(const SerialCounterRow& counter, StoreError& error) {
    std::lock_guard lock(mutex_);
    error = {};
    if (counter.name.empty()) {
        error = {StoreError::Kind::Unwritable, "a counter needs a name"};
        return false;
    }
    if (!CheckNumber("next", counter.next, error) || !CheckNumber("last", counter.last, error)) return false;
    const std::vector<SqlValue> values = {counter.name, std::to_string(counter.next), Text(counter.last),
                                          counter.format};
    WriteTransaction transaction(*connection_);
    std::vector<SqlRow> rows;
    // The check that the next number only goes forward is part of the change
    // itself, so a number taken meanwhile on another connection counts.
    if (!transaction.Begin(error) ||
        !connection_->Execute("UPDATE counters SET next_number = $2, last_number = $3, format = $4 "
                              "WHERE name = $1 AND next_number <= $2 RETURNING name",
                              values, rows, error))
        return false;
    if (rows.empty()) {
        if (!connection_->Execute("SELECT next_number FROM counters WHERE name = $1", {counter.name}, rows, error))
            return false;
        if (!rows.empty()) {
            error = {StoreError::Kind::Unwritable, "the next number can only go forward: numbers below " +
                                                       rows[0][0].value_or("") + " may have been handed out"};
            return false;
        }
        if (!connection_->Execute(
                "INSERT INTO counters (name, next_number, last_number, format) VALUES ($1, $2, $3, $4)", values, rows,
                error))
            return false;
    }
    return transaction.Commit(error);
}

std::optional<ProductionStore::Started> ProductionStore::Begin(const ChipRow& row, const std::string& counter,
                                                               StoreError& error) {
    std::lock_guard lock(mutex_);
    error = {};
    const auto [time, timeMs] = Now();
    WriteTransaction transaction(*connection_);
    if (!transaction.Begin(error)) return std::nullopt;
    std::vector<SqlRow> rows;
    Started started;
    if (!counter.empty()) {
        // A counter at the largest number is used up: one more would not fit the column.
        if (!connection_->Execute("UPDATE counters SET next_number = next_number + 1 WHERE name = $1 AND "
                                  "(last_number IS NULL OR next_number <= last_number) AND next_number <= " +
                                      std::to_string(kLargestNumber) + " RETURNING next_number - 1",
                                  {counter}, rows, error))
            return std::nullopt;
        if (rows.empty()) {
            if (!connection_->Execute("SELECT name FROM counters WHERE name = $1", {counter}, rows, error))
                return std::nullopt;
            error = rows.empty() ? StoreError{StoreError::Kind::NoCounter, "no counter named " + counter}
                                 : StoreError{StoreError::Kind::UsedUp, "counter " + counter + " is used up"};
            return std::nullopt;
        }
        started.serial = ParseSerial(rows[0][0]);
        if (!started.serial) {
            error = {StoreError::Kind::Malformed,
                     "the counter " + counter + " holds no serial number as its next: " + rows[0][0].value_or("NULL")};
            return std::nullopt;
        }
    }
    if (!connection_->Execute(
            "INSERT INTO chips (at, at_ms, station, programmer, chip, command, counter, serial, result, version, "
            "owner) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, 'taken', $9, $10) RETURNING id",
            {time, std::to_string(timeMs), row.station, row.programmer, row.chip, row.command,
             counter.empty() ? SqlValue() : counter, Text(started.serial), std::string(kProgramVersion),
             connection_->Owner()},
            rows, error) ||
        rows.empty() || !transaction.Commit(error))
        return std::nullopt;
    started.id = ParseNumber<int64_t>(rows[0][0]);
    return started;
}

bool ProductionStore::Finish(int64_t id, const std::string& result, const std::string& crc32, const std::string& sha256,
                             int64_t elapsedMs, StoreError& error) {
    std::lock_guard lock(mutex_);
    error = {};
    if (result != "ok" && result != "failed") {
        error = {StoreError::Kind::Unwritable, "a chip ends ok or failed, not " + result};
        return false;
    }
    WriteTransaction transaction(*connection_);
    std::vector<SqlRow> rows;
    if (!transaction.Begin(error) ||
        !connection_->Execute("UPDATE chips SET result = $2, crc32 = $3, sha256 = $4, elapsed_ms = $5 "
                              "WHERE id = $1 AND result = 'taken' RETURNING id",
                              {std::to_string(id), result, crc32, sha256, std::to_string(elapsedMs)}, rows, error))
        return false;
    if (rows.empty()) {
        error = {StoreError::Kind::NotTaken, "row " + std::to_string(id) + " is no longer in work"};
        return false;
    }
    return transaction.Commit(error);
}

std::vector<ChipRow> ProductionStore::MarkInterrupted(StoreError& error) {
    std::lock_guard lock(mutex_);
    error = {};
    std::vector<SqlRow> rows;
    if (!connection_->Execute(std::string("SELECT ") + kChipColumns +
                                  ", owner FROM chips WHERE result = 'taken' "
                                  "ORDER BY id",
                              {}, rows, error))
        return {};
    std::map<std::string, bool> gone;
    std::vector<ChipRow> left;
    for (const SqlRow& row : rows) {
        const std::string owner = row[14].value_or("");
        if (!gone.count(owner)) gone[owner] = connection_->OwnerGone(owner);
        if (gone[owner]) left.push_back(ReadChipRow(row));
    }
    if (left.empty()) return {};
    WriteTransaction transaction(*connection_);
    if (!transaction.Begin(error)) return {};
    std::vector<ChipRow> marked;
    for (ChipRow& chip : left) {
        if (!connection_->Execute("UPDATE chips SET result = 'interrupted' WHERE id = $1 AND result = 'taken' "
                                  "RETURNING id",
                                  {std::to_string(chip.id)}, rows, error))
            return {};
        if (rows.empty()) continue;  // marked by another run meanwhile
        chip.result = "interrupted";
        marked.push_back(chip);
    }
    if (!transaction.Commit(error)) return {};
    return marked;
}

std::vector<ChipRow> ProductionStore::Rows(std::optional<int64_t> sinceMs, StoreError& error) {
    std::lock_guard lock(mutex_);
    error = {};
    std::vector<SqlRow> rows;
    std::vector<ChipRow> chips;
    const std::string select = std::string("SELECT ") + kChipColumns + " FROM chips";
    const bool ok = sinceMs ? connection_->Execute(select + " WHERE at_ms >= $1 ORDER BY at_ms, id",
                                                   {std::to_string(*sinceMs)}, rows, error)
                            : connection_->Execute(select + " ORDER BY at_ms, id", {}, rows, error);
    if (!ok) return chips;
    for (const SqlRow& row : rows) chips.push_back(ReadChipRow(row));
    return chips;
}

}  // namespace qbr
