#include "tests/gallery/NginxProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/gallery/GalleryProcess.h"

extern char** environ;

namespace {

bool Accepts(std::uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool bAccepts = connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    close(fd);
    return bAccepts;
}

// The deployment's site with this run's ports and folder in place of the real ones.
std::string SiteFor(std::string site, std::uint16_t port, const std::string& staticDir,
                    const std::vector<std::uint16_t>& upstreams)
{
    std::string servers;
    for (std::uint16_t upstream : upstreams)
        servers += "    server 127.0.0.1:" + std::to_string(upstream) + " max_fails=1 fail_timeout=2s;\n";
    site = std::regex_replace(site, std::regex(R"(( *server 127\.0\.0\.1:\d+[^\n]*\n)+)"), servers);
    site = std::regex_replace(site, std::regex(R"(listen 80;)"), "listen 127.0.0.1:" + std::to_string(port) + ";");
    site = std::regex_replace(site, std::regex(R"( *listen \[::\]:80;\n)"), "");
    return std::regex_replace(site, std::regex(R"(alias /usr/share/zorvat-gallery/static/;)"),
                              "alias " + staticDir + "/;");
}

} // namespace

std::string CNginxProcess::Program()
{
    for (const char* path : {"/usr/sbin/nginx", "/usr/bin/nginx"})
        if (access(path, X_OK) == 0)
            return path;
    return {};
}

CNginxProcess::~CNginxProcess()
{
    Stop();
}

bool CNginxProcess::Start(const std::string& dir, const std::string& siteFile, const std::string& staticDir,
                          const std::vector<std::uint16_t>& upstreams, std::string& error)
{
    const std::string program = Program();
    if (program.empty()) {
        error = "nginx is not installed";
        return false;
    }
    std::ifstream in(siteFile);
    std::stringstream site;
    site << in.rdbuf();
    if (!in) {
        error = "cannot read " + siteFile;
        return false;
    }
    m_wPort = UnusedLoopbackPort();
    // As root nginx would hand its workers to "nobody", who cannot enter the drill's
    // private folder.
    const std::string user = geteuid() == 0 ? "user root root;\n" : "";
    std::ofstream(dir + "/nginx.conf") << user << "worker_processes 1;\nerror_log " << dir
                                       << "/error.log;\npid " << dir << "/nginx.pid;\n"
                                       << "events { worker_connections 1024; }\nhttp {\n    access_log off;\n"
                                       << "    client_body_temp_path " << dir << "/body;\n    proxy_temp_path " << dir
                                       << "/proxy;\n    fastcgi_temp_path " << dir << "/fastcgi;\n    uwsgi_temp_path "
                                       << dir << "/uwsgi;\n    scgi_temp_path " << dir << "/scgi;\n"
                                       << SiteFor(site.str(), m_wPort, staticDir, upstreams) << "}\n";
    std::vector<std::string> args = {program, "-p", dir, "-c", dir + "/nginx.conf", "-g", "daemon off;"};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (int rc = posix_spawn(&m_pid, program.c_str(), nullptr, nullptr, argv.data(), environ); rc != 0) {
        m_pid = -1;
        error = "cannot run nginx: " + std::string(std::strerror(rc));
        return false;
    }
    for (int i = 0; i < 500; ++i) {
        if (Accepts(m_wPort))
            return true;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            std::ifstream log(dir + "/error.log");
            std::stringstream text;
            text << log.rdbuf();
            error = "nginx exited on start: " + text.str();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Stop();
    error = "nginx did not listen within 5 s";
    return false;
}

void CNginxProcess::Stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGQUIT);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}
