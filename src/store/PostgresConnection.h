// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/SqlConnection.h"

#include <cstdint>
#include <memory>
#include <string>

struct pg_conn;

namespace qbr {

// A PostgreSQL database shared by the stations of a line. At connecting it holds
// a session advisory lock on a random key and writes that key as the owner of
// the rows it takes: the server frees the lock when the connection ends in any
// way (the run exits, crashes or is cut off, the server restarts), so a row whose
// owner's lock can be taken was left by a run that is gone.
class PostgresConnection : public SqlConnection {
public:
    static std::unique_ptr<PostgresConnection> Open(const std::string& url, StoreError& error);
    ~PostgresConnection() override;

    bool Execute(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>& rows,
                 StoreError& error) override;
    std::string BeginWriteSql() const override { return "BEGIN"; }
    // Two keys: a space of its own, apart from the owners' single keys.
    std::string SchemaLockSql() const override { return "SELECT pg_advisory_xact_lock(5150, 1)"; }
    std::string TableNamesSql() const override {
        return "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema()";
    }
    std::string AutoIdColumn() const override { return "BIGSERIAL"; }
    std::string Owner() const override { return std::to_string(key_); }
    bool OwnerGone(const std::string& owner) override;

private:
    explicit PostgresConnection(pg_conn* connection);
    pg_conn* connection_;
    int64_t key_ = 0;
};

}  // namespace qbr
