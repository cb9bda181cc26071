// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SqliteConnection.h"

#include "base/ProcessIdentity.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>

namespace qbr {

namespace {

constexpr auto kBusyTimeout = std::chrono::seconds(10);
constexpr auto kBusyRetry = std::chrono::milliseconds(1);

// Refuses what SQLite can't keep safely as a store: anything but a regular file
// (a FIFO or a device would block or be overwritten), and a file with several names.
bool CheckExistingFile(const std::string& path, StoreError& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return true;  // created on first use
        error = StoreError(StoreError::Kind::Unreachable, std::strerror(errno));
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = StoreError(StoreError::Kind::Malformed, "not a regular file");
        return false;
    }
    if (info.st_nlink > 1) {
        error = StoreError(StoreError::Kind::Unreachable,
                           "the file has " + std::to_string(info.st_nlink) +
                               " names (hard links); a store must have one name, because SQLite keeps its log and "
                               "locks beside the name it was opened by");
        return false;
    }
    return true;
}

// Binds each $N of the statement to the Nth parameter, as text or NULL.
bool BindAll(sqlite3_stmt* statement, const std::vector<SqlValue>& params) {
    const int count = sqlite3_bind_parameter_count(statement);
    for (int index = 1; index <= count; ++index) {
        const char* name = sqlite3_bind_parameter_name(statement, index);
        const long number = name && name[0] == '$' ? std::strtol(name + 1, nullptr, 10) : 0;
        if (number < 1 || static_cast<size_t>(number) > params.size()) return false;
        const SqlValue& value = params[number - 1];
        const int bound = value ? sqlite3_bind_text(statement, index, value->data(), static_cast<int>(value->size()),
                                                    SQLITE_TRANSIENT)
                                : sqlite3_bind_null(statement, index);
        if (bound != SQLITE_OK) return false;
    }
    return true;
}

SqlRow ReadRow(sqlite3_stmt* statement) {
    SqlRow row;
    const int columns = sqlite3_column_count(statement);
    for (int column = 0; column < columns; ++column) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        row.push_back(text ? SqlValue(std::string(text, sqlite3_column_bytes(statement, column))) : std::nullopt);
    }
    return row;
}

}  // namespace

SqliteConnection::SqliteConnection(sqlite3* db) : db_(db), owner_(CurrentProcessToken()) {}

SqliteConnection::~SqliteConnection() {
    sqlite3_close_v2(db_);
}

std::unique_ptr<SqliteConnection> SqliteConnection::Open(const std::string& name, StoreError& error) {
    // SQLite takes an empty name and ":memory:" for a database that goes with the
    // connection; records kept there would be lost, so every name is a file's.
    if (name.empty()) {
        error = StoreError(StoreError::Kind::Unreachable, "no file named");
        return nullptr;
    }
    const std::string path = name[0] == '/' ? name : "./" + name;
    if (!CheckExistingFile(path, error)) return nullptr;
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::unique_ptr<SqliteConnection> connection(db ? new SqliteConnection(db) : nullptr);
    if (opened != SQLITE_OK) {
        error = StoreError(StoreError::Kind::Unreachable, db ? sqlite3_errmsg(db) : sqlite3_errstr(opened));
        return nullptr;
    }
    if (sqlite3_db_readonly(db, "main") == 1) {
        error = StoreError(StoreError::Kind::Unwritable, "the file can't be written");
        return nullptr;
    }
    const std::string file = sqlite3_db_filename(db, "main");  // symbolic links resolved, as SQLite names its files
    connection->files_ = {{file}, {file + "-wal"}, {file + "-shm"}};
    sqlite3_busy_handler(db, &SqliteConnection::WaitForLock, connection.get());
    std::vector<SqlRow> rows;
    if (!connection->Execute("PRAGMA journal_mode = WAL", {}, rows, error)) return nullptr;
    if (rows.empty() || rows[0].empty() || rows[0][0] != "wal") {
        error = StoreError(StoreError::Kind::Unwritable, "the file can't be put in WAL mode");
        return nullptr;
    }
    if (!connection->Execute("PRAGMA synchronous = FULL", {}, rows, error)) return nullptr;
    return connection;
}

bool SqliteConnection::Execute(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>& rows,
                               StoreError& error) {
    rows.clear();
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr);
    if (code == SQLITE_OK && !BindAll(statement, params)) code = SQLITE_RANGE;
    if (code == SQLITE_OK && !sqlite3_stmt_readonly(statement) && !FilesInPlace(error)) {
        sqlite3_finalize(statement);
        return false;
    }
    while (code == SQLITE_OK || code == SQLITE_ROW) {
        code = sqlite3_step(statement);
        if (code == SQLITE_ROW) rows.push_back(ReadRow(statement));
    }
    if (code != SQLITE_DONE) {
        const int primary = sqlite3_extended_errcode(db_) & 0xff;
        const bool malformed = code != SQLITE_RANGE && (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT);
        error = StoreError(malformed ? StoreError::Kind::Malformed : StoreError::Kind::Unwritable,
                           code == SQLITE_RANGE ? "a parameter is missing" : sqlite3_errmsg(db_));
        rows.clear();
    }
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE) return false;
    NoteFiles();
    return true;
}

// Each file is noted once it exists after a statement: from then on this
// connection holds the database open in WAL mode, and no other run may delete
// or replace it.
void SqliteConnection::NoteFiles() {
    for (KeptFile& file : files_) {
        struct stat info {};
        if (file.seen || stat(file.path.c_str(), &info) != 0) continue;
        file = {file.path, true, info.st_dev, info.st_ino};
    }
}

// SQLite keeps the write-ahead log and its index beside the name the database was
// opened by. A file deleted, renamed or replaced, or the database given a second
// name (a hard link), while in use leaves this connection writing where other runs
// don't look: they would take the same numbers again. So nothing more is
// written, and closing leaves the files as they are.
bool SqliteConnection::FilesInPlace(StoreError& error) {
    for (const KeptFile& file : files_) {
        struct stat info {};
        if (!file.seen || (stat(file.path.c_str(), &info) == 0 && info.st_dev == file.device &&
                           info.st_ino == file.inode && (&file != &files_.front() || info.st_nlink == 1)))
            continue;
        sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_wal_autocheckpoint(db_, 0);
        error = StoreError(
            StoreError::Kind::Unwritable,
            file.path +
                " was deleted, moved, replaced or given a second name while the store was open; what this run recorded "
                "since it opened the store may be lost");
        return false;
    }
    return true;
}

// SQLite's own busy timeout waits longer after each try (up to 100 ms), so a
// writer that has waited long keeps losing the lock to those that try again
// sooner, and can run out of time while they go on. Trying again every
// millisecond keeps the waiters even.
int SqliteConnection::WaitForLock(void* self, int tries) {
    auto& connection = *static_cast<SqliteConnection*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (tries == 0) connection.waitingSince_ = now;
    if (now - connection.waitingSince_ >= kBusyTimeout) return 0;
    std::this_thread::sleep_for(kBusyRetry);
    return 1;
}

bool SqliteConnection::OwnerGone(const std::string& owner) {
    return owner != owner_ && !ProcessTokenAlive(owner);
}

}  // namespace qbr
