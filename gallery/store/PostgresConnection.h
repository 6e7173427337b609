#pragma once
// The PostgreSQL store's layer over libpq, as SqliteStatement.h is SQLite's: a
// statement's binary parameters and result, one connection that may break and
// reconnect, a transaction that rolls back unless committed, and the pool of
// connections each lent to one call at a time.

#include <libpq-fe.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A statement's parameters, all sent in binary with their types: nothing typed by a
// user is ever part of the SQL text.
class CPgParams {
public:
    CPgParams& Text(std::string_view text);
    CPgParams& Bytes(std::span<const std::uint8_t> bytes);
    CPgParams& Int(std::int64_t value);

    [[nodiscard]] int Count() const { return static_cast<int>(m_values.size()); }
    [[nodiscard]] const Oid* Types() const { return m_types.data(); }
    // Pointers into this object: valid while it lives unchanged.
    void Arrays(std::vector<const char*>& values, std::vector<int>& lengths, std::vector<int>& formats) const;

private:
    CPgParams& Add(Oid type, const void* data, std::size_t size);

    std::vector<Oid> m_types;
    std::vector<std::string> m_values;
};

// One statement's result, its columns in binary.
class CPgResult {
public:
    explicit CPgResult(PGresult* result) : m_pResult(result, &PQclear) {}

    [[nodiscard]] bool Ok() const;
    [[nodiscard]] int Rows() const { return PQntuples(m_pResult.get()); }
    // The SQLSTATE of a failure ("23505"), empty when there is none.
    [[nodiscard]] std::string_view State() const;
    [[nodiscard]] std::string Message() const;

    [[nodiscard]] std::int64_t Int(int row, int column) const;
    [[nodiscard]] std::string Text(int row, int column) const;
    [[nodiscard]] std::vector<std::uint8_t> Bytes(int row, int column) const;

private:
    std::unique_ptr<PGresult, decltype(&PQclear)> m_pResult;
};

// One connection of the pool. It may break (the server restarts, the network drops):
// then the next call connects anew.
class CPgConnection {
public:
    CPgConnection() = default;
    ~CPgConnection() { PQfinish(m_pConn); }
    CPgConnection(const CPgConnection&) = delete;
    CPgConnection& operator=(const CPgConnection&) = delete;

    [[nodiscard]] bool Connect(const std::string& url, std::string& error);
    [[nodiscard]] bool Broken() const { return !m_pConn || PQstatus(m_pConn) != CONNECTION_OK; }

    [[nodiscard]] CPgResult Exec(const char* sql, const CPgParams& params = {});
    // A statement whose result is not read; false with `what` and the server's reason.
    [[nodiscard]] bool Run(const char* sql, const CPgParams& params, const char* what, std::string& error);
    // Statements without parameters, one after the other (a schema step).
    [[nodiscard]] bool RunScript(const char* sql, const char* what, std::string& error);
    [[nodiscard]] bool Fail(const CPgResult& result, const char* what, std::string& error) const;

    // A call starts; whether it sent a COMMIT decides whether it may run again on a
    // new connection after this one broke.
    void StartCall() { m_bCommitSent = false; }
    void CommitSending() { m_bCommitSent = true; }
    [[nodiscard]] bool CommitSent() const { return m_bCommitSent; }

private:
    [[nodiscard]] std::string ConnectionError() const;
    void Close();

    PGconn* m_pConn = nullptr;
    bool m_bCommitSent = false;
};

// Rolls back an open transaction unless Commit was called.
class CPgTransaction {
public:
    explicit CPgTransaction(CPgConnection& db) : m_db(db) {}
    ~CPgTransaction();
    CPgTransaction(const CPgTransaction&) = delete;
    CPgTransaction& operator=(const CPgTransaction&) = delete;

    [[nodiscard]] bool Begin(const char* what, std::string& error, const char* begin = "BEGIN");
    [[nodiscard]] CPgResult Commit();
    [[nodiscard]] bool Commit(const char* what, std::string& error);

private:
    CPgConnection& m_db;
    bool m_bOpen = false;
};

// One statement that changes something, in a transaction of its own, so that a call
// that finds its connection broken may run again. `rows`: how many it returned.
bool RunWrite(CPgConnection& db, const char* sql, const CPgParams& params, const char* what, std::string& error,
              int* rows = nullptr);

// Connections of a store, each lent to one call at a time.
struct CPgPool {
    explicit CPgPool(int connections) : m_nLendable(connections) {}
    std::string m_strUrl;          // empty until the store is open
    std::mutex m_mutex;
    std::condition_variable m_returned;
    std::vector<std::unique_ptr<CPgConnection>> m_idle;
    int m_nLendable; // idle ones and those not yet made
};

// A connection of the pool for one call; back to the pool when the call ends.
class CLease {
public:
    explicit CLease(CPgPool& pool);
    ~CLease();
    CLease(const CLease&) = delete;
    CLease& operator=(const CLease&) = delete;

    [[nodiscard]] CPgConnection& Connection() { return *m_pConnection; }

private:
    CPgPool& m_pool;
    std::unique_ptr<CPgConnection> m_pConnection;
};

// Runs `body` on a connection of the pool, connecting it first if it is new or broke.
// A connection that turns out broken before the call sent its COMMIT changed nothing
// (the server rolls back what it had not committed): the call runs once more on a new
// connection, so the first call after the server restarted goes through.
template <class Body>
bool OnConnection(CPgPool& pool, Body body, std::string& error)
{
    if (pool.m_strUrl.empty()) {
        error = "the PostgreSQL store is not open";
        return false;
    }
    CLease lease(pool);
    CPgConnection& db = lease.Connection();
    for (int attempt = 0;; ++attempt) {
        if (db.Broken() && !db.Connect(pool.m_strUrl, error))
            return false;
        db.StartCall();
        if (body(db, error))
            return true;
        if (attempt > 0 || !db.Broken() || db.CommitSent())
            return false;
    }
}
