#pragma once
// nginx as a child process on 127.0.0.1, configured from the deployment's own site
// file (deploy/nginx/zorvat-gallery.conf) with its listening port, upstream ports and
// static folder replaced, for the cluster drill.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class CNginxProcess {
public:
    CNginxProcess() = default;
    ~CNginxProcess(); // stops a server still running
    CNginxProcess(const CNginxProcess&) = delete;
    CNginxProcess& operator=(const CNginxProcess&) = delete;

    // Starts nginx with its files in `dir` (which must exist), listening on a free port
    // and passing requests to the gallery `upstreams`. False with the reason in `error`.
    [[nodiscard]] bool Start(const std::string& dir, const std::string& siteFile, const std::string& staticDir,
                             const std::vector<std::uint16_t>& upstreams, std::string& error);
    [[nodiscard]] std::uint16_t Port() const { return m_wPort; }
    void Stop();

    // The nginx program of this machine; empty when there is none.
    [[nodiscard]] static std::string Program();

private:
    pid_t m_pid = -1;
    std::uint16_t m_wPort = 0;
};
