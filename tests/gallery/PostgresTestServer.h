#pragma once
// A PostgreSQL server of its own for the tests, drills and benchmarks of the shared
// store: Debian's server binaries (package postgresql) on a data folder of its own (in
// memory when it need not sync: $ZT_TEST_MEMORY_DIR, else /dev/shm), on a free port of 127.0.0.1 with the Unix
// socket in that folder, trusting every local connection as the superuser "postgres".
// PostgreSQL refuses to run as root: as root the folder is given to the system user
// "postgres" (else "nobody"), its parent is made searchable by others, and the server
// programs run as that user through runuser.

#include <cstdint>
#include <string>
#include <vector>

class CPostgresTestServer {
public:
    // `folder`: where the server keeps its data and log, made by Start and removed by
    // Stop (empty: a temporary folder). bFsync: whether the server syncs its writes (a
    // drill that counts what survives, a benchmark); tests run without.
    explicit CPostgresTestServer(std::string folder = {}, bool bFsync = false)
        : m_strDir(std::move(folder)), m_bFsync(bFsync)
    {
    }
    ~CPostgresTestServer(); // stops a server still running, saying so on stderr if it cannot
    CPostgresTestServer(const CPostgresTestServer&) = delete;
    CPostgresTestServer& operator=(const CPostgresTestServer&) = delete;

    // The folder of initdb, pg_ctl and the client programs (the newest version
    // installed); empty when they are not installed.
    [[nodiscard]] static std::string BinDir();
    [[nodiscard]] static bool Available() { return !BinDir().empty(); }

    // Makes the data folder and starts the server. False with the reason in `error`
    // (the end of the server's log when it did not start).
    [[nodiscard]] bool Start(std::string& error);
    // Stops the server, keeping its data and port, as when it is restarted or down.
    [[nodiscard]] bool Halt(std::string& error);
    // Starts a halted server again on the same data and port.
    [[nodiscard]] bool Resume(std::string& error);
    [[nodiscard]] bool Restart(std::string& error) { return Halt(error) && Resume(error); }
    // Stops the server and removes its folder. When pg_ctl cannot stop it, the server
    // process itself is ended by signal; false with the reason in `error` when it
    // still runs (the folder is then kept).
    [[nodiscard]] bool Stop(std::string& error);

    [[nodiscard]] std::uint16_t Port() const { return m_wPort; }
    // "postgresql://postgres@127.0.0.1:PORT/DATABASE", as CPostgresGalleryStore takes it.
    [[nodiscard]] std::string Url(const std::string& database) const;
    // `name`: letters, digits and underscores.
    [[nodiscard]] bool CreateDatabase(const std::string& name, std::string& error);
    // Drops it even while connections to it are open.
    [[nodiscard]] bool DropDatabase(const std::string& name, std::string& error);
    // Runs `sql` through psql on `database`: each row on a line, columns joined by "|".
    [[nodiscard]] bool Query(const std::string& database, const std::string& sql, std::string& output,
                             std::string& error);

private:
    [[nodiscard]] bool MakeFolder(std::string& error);
    [[nodiscard]] bool GiveToServerUser(const std::string& folder, std::string& error);
    [[nodiscard]] std::vector<std::string> InitdbArgs(const std::string& dataDir) const;
    [[nodiscard]] bool CopyCachedDataDir(std::string& error);
    [[nodiscard]] bool Initialise(std::string& error);
    [[nodiscard]] bool StartOnPort(std::uint16_t port, std::string& error);
    // argv[0] a path; as root, run as the server's user.
    [[nodiscard]] bool RunAsServerUser(std::vector<std::string> argv, const char* what, std::string& error);
    [[nodiscard]] bool RunServerProgram(const std::string& program, std::vector<std::string> args, const char* what,
                                        std::string& error);
    [[nodiscard]] bool RunClient(const std::string& program, std::vector<std::string> args, std::string& output,
                                 std::string& error);
    [[nodiscard]] std::string File(const std::string& name) const { return m_strDir + "/" + name; }
    [[nodiscard]] std::string DataDir() const { return File("data"); }
    [[nodiscard]] std::string LogTail() const;
    // The server process of the running server, from its lock file; -1 when unknown.
    [[nodiscard]] int ReadServerPid() const;
    // SIGQUIT (immediate shutdown) to the server process, then SIGKILL; true when gone.
    [[nodiscard]] bool EndServerProcess() const;

    std::string m_strDir;
    bool m_bFsync;
    bool m_bOwnFolder = false;     // none was given: a temporary one, new at each Start
    bool m_bStarted = false;       // the folder is made and is removed by Stop
    std::string m_strBinDir;
    std::string m_strUser;         // the user that runs the server as root; empty when not root
    std::uint16_t m_wPort = 0;
    bool m_bRunning = false;
    int m_nServerPid = -1;         // the postmaster while running
};

// The server the tests of this process share: started at its first use and stopped
// as the process exits. Null with the reason in `error` when it could not start;
// check BinDir first to skip where PostgreSQL is not installed.
[[nodiscard]] CPostgresTestServer* SharedPostgresServer(std::string& error);
