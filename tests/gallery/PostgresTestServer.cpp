#include "tests/gallery/PostgresTestServer.h"

#include <fcntl.h>
#include <signal.h>
#include <pwd.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include "tests/gallery/GalleryProcess.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

extern char** environ;

namespace {

constexpr const char* kVersionsDir = "/usr/lib/postgresql";
constexpr const char* kFallbackPattern = "/tmp/zt-postgres-XXXXXX";

// Once this process is gone, however it ended (a crash, a kill by the test runner),
// ends the server still running on `folder` and removes the folder. The server is the
// process named in the lock file whose command line holds that folder (its -D), so a
// process that took a reused number is left alone. The watcher holds none of this
// process's files.
void StopWhenGone(const std::string& folder)
{
    const std::string script =
        "while kill -0 " + std::to_string(::getpid()) + " 2>/dev/null; do sleep 1; done\n"
        "pid=$(head -n 1 \"$1/data/postmaster.pid\" 2>/dev/null)\n"
        "if [ -n \"$pid\" ] && tr '\\0' ' ' < /proc/$pid/cmdline 2>/dev/null | grep -qF -- \"$1/data\"; then\n"
        "  kill -QUIT \"$pid\"\n"
        "  for i in 1 2 3 4 5 6 7 8 9 10; do kill -0 \"$pid\" 2>/dev/null || break; sleep 1; done\n"
        "  kill -KILL \"$pid\" 2>/dev/null\n"
        "fi\n"
        "rm -rf -- \"$1\"";
    std::vector<std::string> args = {"/bin/sh", "-c", script, "zt-postgres-watch", folder};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd < 3; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    (void)::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}

// What a program printed, on one line, for an error message.
std::string OutputOf(const ProgramResult& result)
{
    std::string text = result.err.empty() ? result.out : result.err;
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

bool IsPlainName(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

// A value of postgresql.conf: in single quotes, a quote inside doubled.
std::string ConfValue(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

std::string CPostgresTestServer::BinDir()
{
    std::error_code ec;
    std::string best;
    int bestVersion = -1;
    for (const auto& entry : std::filesystem::directory_iterator(kVersionsDir, ec)) {
        const std::string version = entry.path().filename().string();
        const std::string bin = entry.path().string() + "/bin";
        const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
        if (version.empty() || !std::all_of(version.begin(), version.end(), isDigit))
            continue;
        if (!Exists(bin + "/initdb") || !Exists(bin + "/pg_ctl") || !Exists(bin + "/postgres") ||
            !Exists(bin + "/psql"))
            continue;
        if (const int number = std::stoi(version); number > bestVersion) {
            bestVersion = number;
            best = bin;
        }
    }
    return best;
}

bool CPostgresTestServer::RunAsServerUser(std::vector<std::string> argv, const char* what, std::string& error)
{
    const std::string program = std::filesystem::path(argv.front()).filename().string();
    if (!m_strUser.empty())
        argv.insert(argv.begin(), {"runuser", "-u", m_strUser, "--"});
    const ProgramResult result = RunProgram(argv);
    if (result.exitCode == 0)
        return true;
    error = std::string(what) + ": " + program + " exited with " + std::to_string(result.exitCode) + ": " +
            OutputOf(result);
    return false;
}

bool CPostgresTestServer::RunServerProgram(const std::string& program, std::vector<std::string> args,
                                           const char* what, std::string& error)
{
    args.insert(args.begin(), m_strBinDir + "/" + program);
    return RunAsServerUser(std::move(args), what, error);
}

bool CPostgresTestServer::RunClient(const std::string& program, std::vector<std::string> args, std::string& output,
                                    std::string& error)
{
    std::vector<std::string> argv = {m_strBinDir + "/" + program, "-h", "127.0.0.1", "-p", std::to_string(m_wPort),
                                     "-U", "postgres"};
    argv.insert(argv.end(), args.begin(), args.end());
    const ProgramResult result = RunProgram(argv);
    output = result.out;
    if (result.exitCode == 0)
        return true;
    error = program + " exited with " + std::to_string(result.exitCode) + ": " + OutputOf(result);
    return false;
}

std::string CPostgresTestServer::LogTail() const
{
    const std::string log = ReadFile(File("server.log"));
    return log.size() > 2000 ? "..." + log.substr(log.size() - 2000) : log;
}

bool CPostgresTestServer::MakeFolder(std::string& error)
{
    if (m_strDir.empty()) {
        m_bOwnFolder = true;
        // In memory when nothing needs to survive: making a database on a disk costs a
        // third of a second, on tmpfs a fiftieth.
        std::error_code ec;
        // scripts/test names a folder of its own there, to find what a test leaves running.
        const char* memory = std::getenv("ZT_TEST_MEMORY_DIR");
        const std::filesystem::path memoryDir = memory && *memory ? memory : "/dev/shm";
        std::string pattern = (!m_bFsync && std::filesystem::is_directory(memoryDir, ec)
                                   ? memoryDir
                                   : std::filesystem::temp_directory_path(ec)) /
                              "zt-postgres-XXXXXX";
        if (!::mkdtemp(pattern.data()) && !::mkdtemp((pattern = kFallbackPattern).data())) {
            error = "cannot make a temporary folder for PostgreSQL";
            return false;
        }
        m_strDir = pattern;
    } else if (std::error_code ec; !std::filesystem::create_directory(m_strDir, ec)) {
        error = "cannot make the folder " + m_strDir + " for PostgreSQL: " +
                (ec ? ec.message() : std::string("it is there already"));
        return false;
    }
    m_bStarted = true;
    StopWhenGone(m_strDir);
    return GiveToServerUser(m_strDir, error);
}

bool CPostgresTestServer::GiveToServerUser(const std::string& folder, std::string& error)
{
    if (::geteuid() != 0)
        return true;
    // initdb and the server refuse to run as root: a system user owns the folder, and
    // may pass through the folders above it (a test's own temporary folder is private,
    // and so may be the TMPDIR of a test run).
    const passwd* user = ::getpwnam("postgres");
    if (!user)
        user = ::getpwnam("nobody");
    if (!user || ::chown(folder.c_str(), user->pw_uid, user->pw_gid) != 0) {
        error = "cannot give " + folder + " to the user postgres or nobody, to run PostgreSQL as";
        return false;
    }
    m_strUser = user->pw_name;
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::path parent = fs::path(folder).parent_path(); !parent.empty() && parent != parent.root_path();
         parent = parent.parent_path()) {
        if ((fs::status(parent, ec).permissions() & fs::perms::others_exec) == fs::perms::none)
            fs::permissions(parent, fs::perms::others_exec, fs::perm_options::add, ec);
        if (ec) {
            error = "cannot let " + m_strUser + " through " + parent.string() + ": " + ec.message();
            return false;
        }
    }
    return true;
}

std::vector<std::string> CPostgresTestServer::InitdbArgs(const std::string& dataDir) const
{
    std::vector<std::string> args = {"-D", dataDir, "-U", "postgres", "-A", "trust", "-E", "UTF8", "--locale=C"};
    if (!m_bFsync)
        args.emplace_back("--no-sync");
    return args;
}

// initdb takes half a second, and every test process starts a server: a data folder
// it made is kept in the temporary folder, for this version and user, and copied. It
// is made aside and renamed into place, so that processes starting together never see
// half of one.
bool CPostgresTestServer::CopyCachedDataDir(std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string cache = (fs::temp_directory_path(ec) / ("zt-postgres-initdb-" +
                                                            fs::path(m_strBinDir).parent_path().filename().string() +
                                                            "-" + std::to_string(::geteuid())))
                                  .string();
    if (!Exists(cache + "/data/PG_VERSION")) {
        std::string aside = cache + ".XXXXXX";
        if (!::mkdtemp(aside.data())) {
            error = "cannot make a folder beside " + cache;
            return false;
        }
        const bool bMade = GiveToServerUser(aside, error) &&
                           RunServerProgram("initdb", InitdbArgs(aside + "/data"),
                                            "cannot make the PostgreSQL data folder", error);
        if (!bMade || ::rename(aside.c_str(), cache.c_str()) != 0)
            fs::remove_all(aside, ec); // another process's is there
        if (!bMade)
            return false;
    }
    return RunAsServerUser({"/bin/cp", "-a", cache + "/data", DataDir()}, "cannot copy the PostgreSQL data folder",
                           error);
}

bool CPostgresTestServer::Initialise(std::string& error)
{
    m_strBinDir = BinDir();
    if (m_strBinDir.empty()) {
        error = std::string("the PostgreSQL server programs are not installed (") + kVersionsDir +
                "/*/bin; Debian package postgresql)";
        return false;
    }
    if (!MakeFolder(error))
        return false;
    if (m_bFsync ? !RunServerProgram("initdb", InitdbArgs(DataDir()), "cannot make the PostgreSQL data folder", error)
                 : !CopyCachedDataDir(error))
        return false;
    // Reached over TCP on 127.0.0.1 only, its socket beside the data: nothing of the
    // machine's own PostgreSQL is touched.
    std::ofstream conf(DataDir() + "/postgresql.conf", std::ios::app);
    conf << "listen_addresses = '127.0.0.1'\n"
         << "unix_socket_directories = " << ConfValue(m_strDir) << "\n";
    if (!m_bFsync)
        conf << "fsync = off\nfull_page_writes = off\n";
    // Every test makes a database: the log of their copies is recycled early.
    conf << "max_wal_size = 64MB\nmin_wal_size = 32MB\n";
    conf.close();
    if (!conf) {
        error = "cannot write " + DataDir() + "/postgresql.conf";
        return false;
    }
    return true;
}

bool CPostgresTestServer::StartOnPort(std::uint16_t port, std::string& error)
{
    if (!RunServerProgram("pg_ctl",
                          {"-D", DataDir(), "-l", File("server.log"), "-w", "-t", "60", "-o",
                           "-p " + std::to_string(port), "start"},
                          "cannot start PostgreSQL", error)) {
        error += " (log: " + LogTail() + ")";
        return false;
    }
    m_wPort = port;
    m_bRunning = true;
    m_nServerPid = ReadServerPid();
    return true;
}

int CPostgresTestServer::ReadServerPid() const
{
    std::ifstream lock(DataDir() + "/postmaster.pid");
    int pid = -1;
    return lock >> pid && pid > 0 ? pid : -1;
}

bool CPostgresTestServer::EndServerProcess() const
{
    if (m_nServerPid <= 0)
        return false;
    const auto gone = [this] { return ::kill(m_nServerPid, 0) != 0 && errno == ESRCH; };
    for (const int signal : {SIGQUIT, SIGKILL}) {
        if (gone())
            return true;
        (void)::kill(m_nServerPid, signal);
        for (int i = 0; i < 100 && !gone(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return gone();
}

bool CPostgresTestServer::Start(std::string& error)
{
    if (m_bStarted) {
        error = "the PostgreSQL test server was started already";
        return false;
    }
    if (!Initialise(error))
        return false;
    // Another process may take the free port before the server does: a few more.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::uint16_t port = UnusedLoopbackPort();
        if (port != 0 && StartOnPort(port, error))
            return true;
        if (LogTail().find("could not bind") == std::string::npos)
            return false;
    }
    return false;
}

bool CPostgresTestServer::Halt(std::string& error)
{
    if (!m_bRunning)
        return true;
    if (!RunServerProgram("pg_ctl", {"-D", DataDir(), "-m", "fast", "-w", "stop"}, "cannot stop PostgreSQL", error))
        return false;
    m_bRunning = false;
    m_nServerPid = -1;
    return true;
}

bool CPostgresTestServer::Resume(std::string& error)
{
    if (!m_bStarted || m_bRunning) {
        error = "the PostgreSQL test server is not halted";
        return false;
    }
    return StartOnPort(m_wPort, error);
}

CPostgresTestServer::~CPostgresTestServer()
{
    if (std::string error; !Stop(error))
        std::fprintf(stderr, "PostgreSQL test server: %s\n", error.c_str());
}

bool CPostgresTestServer::Stop(std::string& error)
{
    if (m_bRunning) {
        std::string why;
        if (!RunServerProgram("pg_ctl", {"-D", DataDir(), "-m", "immediate", "-w", "stop"}, "cannot stop PostgreSQL",
                              why) &&
            !EndServerProcess()) {
            error = why + "; its server process " + std::to_string(m_nServerPid) + " still runs, on " + m_strDir;
            return false;
        }
        m_bRunning = false;
        m_nServerPid = -1;
    }
    if (!m_bStarted)
        return true;
    m_bStarted = false;
    std::error_code ec;
    std::filesystem::remove_all(m_strDir, ec);
    if (m_bOwnFolder)
        m_strDir.clear();
    return true;
}

std::string CPostgresTestServer::Url(const std::string& database) const
{
    return "postgresql://postgres@127.0.0.1:" + std::to_string(m_wPort) + "/" + database;
}

bool CPostgresTestServer::CreateDatabase(const std::string& name, std::string& error)
{
    if (!IsPlainName(name)) {
        error = "not a plain database name: " + name;
        return false;
    }
    std::string output;
    return RunClient("createdb", {name}, output, error);
}

bool CPostgresTestServer::DropDatabase(const std::string& name, std::string& error)
{
    if (!IsPlainName(name)) {
        error = "not a plain database name: " + name;
        return false;
    }
    std::string output;
    return RunClient("dropdb", {"--force", name}, output, error);
}

bool CPostgresTestServer::Query(const std::string& database, const std::string& sql, std::string& output,
                                std::string& error)
{
    if (!RunClient("psql", {"-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-d", database, "-c", sql}, output,
                   error))
        return false;
    while (!output.empty() && output.back() == '\n')
        output.pop_back();
    return true;
}

CPostgresTestServer* SharedPostgresServer(std::string& error)
{
    static std::mutex s_mutex;
    // Destroyed as the process exits, which stops the server and removes its folder.
    static std::unique_ptr<CPostgresTestServer> s_pServer;
    static std::string s_strError;
    std::lock_guard lock(s_mutex);
    if (!s_pServer && s_strError.empty()) {
        auto server = std::make_unique<CPostgresTestServer>();
        if (server->Start(s_strError))
            s_pServer = std::move(server);
    }
    error = s_strError;
    return s_pServer.get();
}
