#include "tests/gallery/GalleryProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kListening = "listening on http://127.0.0.1:";
// A sanitizer build of the program can take a while to come up on a loaded machine.
constexpr auto kStartLimit = std::chrono::seconds(60);

std::uintmax_t SizeOf(const std::string& path)
{
    std::error_code ec;
    std::uintmax_t size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

// The port of the first "listening" line after `offset` in the log; 0 while there is none.
std::uint16_t ListeningPortIn(const std::string& logPath, std::uintmax_t offset)
{
    std::ifstream log(logPath, std::ios::binary);
    log.seekg(static_cast<std::streamoff>(offset));
    std::string line;
    while (std::getline(log, line)) {
        std::size_t at = line.find(kListening);
        if (at != std::string::npos && !log.eof())
            return static_cast<std::uint16_t>(std::atoi(line.c_str() + at + std::string(kListening).size()));
    }
    return 0;
}

} // namespace

CGalleryProcess::CGalleryProcess(std::string program, std::string logPath)
    : m_strProgram(std::move(program)), m_strLogPath(std::move(logPath))
{
}

CGalleryProcess::~CGalleryProcess()
{
    Kill();
}

bool CGalleryProcess::Start(const std::string& dataDir, std::uint16_t port, std::string& error)
{
    if (Running()) {
        error = "the gallery is already running";
        return false;
    }
    const std::uintmax_t offset = SizeOf(m_strLogPath);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, m_strLogPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    std::vector<std::string> args = {m_strProgram, "--host", "127.0.0.1", "--port", std::to_string(port),
                                     "--password-cost", "minimum", "--post-burst", "1000000"};
    args.insert(args.end(), m_extraArgs.begin(), m_extraArgs.end());
    args.push_back(dataDir);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int rc = posix_spawn(&m_pid, m_strProgram.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        m_pid = -1;
        error = "cannot run " + m_strProgram + ": " + std::strerror(rc);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::uint16_t listening = ListeningPortIn(m_strLogPath, offset); listening != 0) {
            m_wPort = listening;
            return true;
        }
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            error = WIFEXITED(status) ? "the gallery exited on start with code " + std::to_string(WEXITSTATUS(status))
                                      : "the gallery died on start of signal " + std::to_string(WTERMSIG(status));
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Kill();
    error = "the gallery printed no \"listening\" line in time";
    return false;
}

void CGalleryProcess::Kill()
{
    if (!Running())
        return;
    kill(m_pid, SIGKILL);
    Wait();
}

void CGalleryProcess::AskToStop()
{
    if (Running())
        kill(m_pid, SIGTERM);
}

int CGalleryProcess::Stop()
{
    if (!Running())
        return -1;
    kill(m_pid, SIGTERM);
    return Wait();
}

int CGalleryProcess::Wait()
{
    int status = 0;
    pid_t pid = m_pid;
    m_pid = -1;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::uint16_t UnusedLoopbackPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    std::uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

int ConnectFromLoopback(const std::string& source, std::uint16_t port, bool bNonBlocking)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (bNonBlocking ? SOCK_NONBLOCK : 0), 0);
    if (fd < 0)
        return -1;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::inet_pton(AF_INET, source.c_str(), &from.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && !(bNonBlocking && errno == EINPROGRESS))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ReadStoredTones(const std::string& dataDir, std::vector<CToneRecord>& tones, std::string& error)
{
    CSqliteGalleryStore store;
    std::vector<CToneRecord> listed;
    if (!store.Open(dataDir, error) || !store.ListTones(listed, error))
        return false;
    tones.clear();
    for (const CToneRecord& entry : listed) {
        bool found = false;
        if (!store.GetTone(entry.m_nId, tones.emplace_back(), found, error))
            return false;
        if (!found) {
            error = "ringtone " + std::to_string(entry.m_nId) + " is listed but cannot be read";
            return false;
        }
    }
    std::sort(tones.begin(), tones.end(), [](const CToneRecord& a, const CToneRecord& b) { return a.m_nId < b.m_nId; });
    return true;
}
