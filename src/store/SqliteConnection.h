// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/SqlConnection.h"

#include <chrono>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

struct sqlite3;

namespace qbr {

// A SQLite file on this computer, in WAL mode with every commit synced to disk.
// The rows it takes are owned by this process (boot, pid and start time), so a
// row is left by a run that is gone when that process no longer runs.
class SqliteConnection : public SqlConnection {
public:
    // Opens or creates the file. Refused: a file that isn't a regular file, one
    // with several names (hard links: SQLite keeps its write-ahead log and lock
    // file beside the name it was opened by, so two names would be two stores
    // over one file), and one that can't be written. Once open, nothing is written
    // after the file, its write-ahead log or its shared memory was deleted, moved or
    // replaced: this connection would go on alone in files no other run sees.
    static std::unique_ptr<SqliteConnection> Open(const std::string& name, StoreError& error);
    ~SqliteConnection() override;

    bool Execute(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>& rows,
                 StoreError& error) override;
    std::string BeginWriteSql() const override { return "BEGIN IMMEDIATE"; }
    std::string SchemaLockSql() const override { return ""; }
    std::string TableNamesSql() const override {
        return "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'";
    }
    std::string AutoIdColumn() const override { return "INTEGER"; }
    std::string Owner() const override { return owner_; }
    bool OwnerGone(const std::string& owner) override;

private:
    // A file SQLite keeps the store in, as this connection first saw it.
    struct KeptFile {
        std::string path;
        bool seen = false;
        dev_t device = 0;
        ino_t inode = 0;
    };

    explicit SqliteConnection(sqlite3* db);
    static int WaitForLock(void* self, int tries);
    void NoteFiles();
    bool FilesInPlace(StoreError& error);
    sqlite3* db_;
    std::vector<KeptFile> files_;  // the database, its -wal and its -shm
    std::chrono::steady_clock::time_point waitingSince_;
    std::string owner_;
};

}  // namespace qbr
