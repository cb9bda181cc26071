// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/PostgresConnection.h"

#include <charconv>
#include <libpq-fe.h>
#include <random>

namespace qbr {

namespace {

// Seconds a connection attempt may take before the store counts as unreachable;
// a URL's own connect_timeout wins.
constexpr char kConnectTimeout[] = "10";

std::string TrimmedError(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// libpq's words on a URL it can't read quote the URL or the piece at fault, which
// may be the password: every quoted piece goes.
std::string WithoutQuotedPieces(const std::string& message) {
    std::string text;
    bool quoted = false;
    for (const char c : message) {
        if (c == '"') {
            text += quoted ? "...\"" : "\"";
            quoted = !quoted;
        } else if (!quoted) {
            text += c;
        }
    }
    return text;
}

// Whether libpq can read the URL; its words, without the URL's pieces, when not.
bool ReadableUrl(const std::string& url, StoreError& error) {
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.c_str(), &message);
    if (options) {
        PQconninfoFree(options);
        return true;
    }
    error = {StoreError::Kind::Unreachable,
             message ? WithoutQuotedPieces(TrimmedError(message)) : "not a URL: out of memory"};
    PQfreemem(message);
    return false;
}

}  // namespace

PostgresConnection::PostgresConnection(pg_conn* connection) : connection_(connection) {}

PostgresConnection::~PostgresConnection() {
    PQfinish(connection_);
}

std::unique_ptr<PostgresConnection> PostgresConnection::Open(const std::string& url, StoreError& error) {
    if (!ReadableUrl(url, error)) return nullptr;
    const char* keywords[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {kConnectTimeout, url.c_str(), nullptr};
    std::unique_ptr<PostgresConnection> connection(new PostgresConnection(PQconnectdbParams(keywords, values, 1)));
    if (!connection->connection_ || PQstatus(connection->connection_) != CONNECTION_OK) {
        error = {StoreError::Kind::Unreachable,
                 connection->connection_ ? TrimmedError(PQerrorMessage(connection->connection_)) : "out of memory"};
        return nullptr;
    }
    PQsetNoticeProcessor(
        connection->connection_, [](void*, const char*) {}, nullptr);
    std::random_device device;
    connection->key_ = std::uniform_int_distribution<int64_t>(1, INT64_MAX)(device);
    std::vector<SqlRow> rows;
    if (!connection->Execute("SELECT pg_advisory_lock($1)", {connection->Owner()}, rows, error)) {
        error.kind = StoreError::Kind::Unreachable;
        return nullptr;
    }
    return connection;
}

bool PostgresConnection::Execute(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>& rows,
                                 StoreError& error) {
    rows.clear();
    std::vector<const char*> values;
    for (const SqlValue& value : params) values.push_back(value ? value->c_str() : nullptr);
    PGresult* result = PQexecParams(connection_, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                    nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (ok) {
        for (int line = 0; line < PQntuples(result); ++line) {
            SqlRow row;
            for (int column = 0; column < PQnfields(result); ++column) {
                row.push_back(
                    PQgetisnull(result, line, column)
                        ? std::nullopt
                        : SqlValue(std::string(PQgetvalue(result, line, column), PQgetlength(result, line, column))));
            }
            rows.push_back(std::move(row));
        }
    } else {
        error = {StoreError::Kind::Unwritable,
                 TrimmedError(result ? PQresultErrorMessage(result) : PQerrorMessage(connection_))};
    }
    PQclear(result);
    return ok;
}

bool PostgresConnection::OwnerGone(const std::string& owner) {
    int64_t key = 0;
    const auto [end, parsed] = std::from_chars(owner.data(), owner.data() + owner.size(), key);
    if (parsed != std::errc() || end != owner.data() + owner.size()) return true;  // no run's key
    if (key == key_) return false;
    std::vector<SqlRow> rows;
    StoreError ignored;
    if (!Execute("SELECT pg_try_advisory_lock($1)", {owner}, rows, ignored) || rows.empty() || rows[0].empty() ||
        rows[0][0] != "t")
        return false;
    Execute("SELECT pg_advisory_unlock($1)", {owner}, rows, ignored);
    return true;
}

}  // namespace qbr
