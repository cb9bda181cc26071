// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/ProductionStore.h"

#include <optional>
#include <string>
#include <vector>

namespace qbr {

// A value of a statement's parameter or result: text, or SQL NULL.
using SqlValue = std::optional<std::string>;
using SqlRow = std::vector<SqlValue>;

// One connection to a database engine, as the production store needs it. Its SQL
// is shared by the engines: parameters are written $1, $2, ... and bound as text.
// Not safe for several threads at once; the store serialises its calls.
class SqlConnection {
public:
    virtual ~SqlConnection() = default;

    // Runs one statement with its parameters; its rows (none for a statement that
    // returns none) or false with `error` set (Unwritable, or Malformed for a file
    // that is no database).
    virtual bool Execute(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>& rows,
                         StoreError& error) = 0;

    // The statement that starts a transaction that will write, taking the write
    // lock at once so that two writers never both read the same counter.
    virtual std::string BeginWriteSql() const = 0;
    // A statement run first in the transaction that creates the tables, so that
    // two stores opened at once don't both create them; empty for none needed.
    virtual std::string SchemaLockSql() const = 0;
    // A statement listing the names of the tables in the store, one per row.
    virtual std::string TableNamesSql() const = 0;
    // The column type of an id the database counts up itself.
    virtual std::string AutoIdColumn() const = 0;

    // What this connection writes as the owner of the rows it takes.
    virtual std::string Owner() const = 0;
    // Whether the run that wrote `owner` is gone: it can never finish its rows.
    // Never true for this connection's own owner.
    virtual bool OwnerGone(const std::string& owner) = 0;
};

}  // namespace qbr
