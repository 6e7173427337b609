#pragma once
// While alive, files this process (and what it starts) writes are limited to
// `bytes` bytes; a write past the limit stores what fits, then fails with EFBIG
// instead of raising SIGXFSZ.

#include <signal.h>
#include <sys/resource.h>

#include <cstdint>

class CFileSizeLimit {
public:
    explicit CFileSizeLimit(std::uint64_t bytes)
    {
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        m_bSet = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~CFileSizeLimit()
    {
        if (m_bSet)
            ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldHandler);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

    [[nodiscard]] bool IsSet() const { return m_bSet; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_bSet = false;
};
