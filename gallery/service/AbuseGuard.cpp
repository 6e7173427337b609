#include "gallery/service/AbuseGuard.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "gallery/store/GalleryStore.h"

namespace {

std::string AddressKey(std::string_view address)
{
    return "password-address:" + std::string(address);
}

std::string AuthorKey(std::string_view author)
{
    return "password-author:" + std::string(author);
}

// The checks of one author from one address.
std::string AuthorAtAddressKey(std::string_view author, std::string_view address)
{
    return "password-author-address:" + std::string(address) + " " + std::string(author);
}

// An address where the author's password was right: m_nBlockedUntil is when the
// trust ends, which also keeps the forgetting away from it until then.
std::string TrustedKey(std::string_view author, std::string_view address)
{
    return "password-trusted:" + std::string(address) + " " + std::string(author);
}

bool IsTrusted(const CAbuseCounter& trust, std::int64_t now)
{
    return trust.m_nCount > 0 && trust.m_nBlockedUntil > now;
}

CAbuseCounter TrustUntil(std::int64_t until, std::int64_t now)
{
    return CAbuseCounter{.m_nCount = 1, .m_nLast = now, .m_nBlockedUntil = until};
}

std::string PostKey(std::string_view address)
{
    return "post-address:" + std::string(address);
}

} // namespace

CAbuseCounter CAbuseGuard::AfterFailure(CAbuseCounter counter, int freeFailures, std::int64_t now,
                                        const CAbuseLimits& limits)
{
    if (now - counter.m_nLast >= limits.m_nForgetSeconds)
        counter = {};
    ++counter.m_nCount;
    counter.m_nLast = now;
    const std::int64_t over = counter.m_nCount - freeFailures;
    if (over > 0) {
        // 1, 2, 4, ... seconds: a mistyping author hardly notices, a guesser soon waits
        // an hour per guess.
        const std::int64_t wait = over > 12 ? limits.m_nMaxWaitSeconds
                                            : std::min<std::int64_t>(std::int64_t{1} << (over - 1),
                                                                     limits.m_nMaxWaitSeconds);
        counter.m_nBlockedUntil = now + wait;
    }
    return counter;
}

std::int64_t CAbuseGuard::WaitOf(const CAbuseCounter& counter, std::int64_t now)
{
    return std::max<std::int64_t>(0, counter.m_nBlockedUntil - now);
}

std::string CAbuseGuard::ClientBlockOf(std::string_view address)
{
    in6_addr v6{};
    const std::string text(address);
    if (text.find(':') == std::string::npos || inet_pton(AF_INET6, text.c_str(), &v6) != 1)
        return text;
    static constexpr unsigned char kMappedV4[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    char shown[INET6_ADDRSTRLEN] = {};
    if (std::memcmp(v6.s6_addr, kMappedV4, sizeof kMappedV4) == 0)
        return inet_ntop(AF_INET, v6.s6_addr + 12, shown, sizeof shown) ? std::string(shown) : text;
    std::memset(v6.s6_addr + 8, 0, 8);
    return inet_ntop(AF_INET6, &v6, shown, sizeof shown) ? std::string(shown) + "/64" : text;
}

bool CAbuseGuard::ForgetStale(std::int64_t now, std::string& error)
{
    // One thread of the process forgets; the others go on meanwhile.
    std::int64_t due = m_nNextForget.load();
    if (now < due || !m_nNextForget.compare_exchange_strong(due, now + m_limits.m_nForgetEverySeconds))
        return true;
    return m_store.ForgetCounters(now - m_limits.m_nForgetSeconds, error);
}

void CAbuseGuard::ForgetStaleOnTheWay(std::int64_t now)
{
    std::string ignored;
    (void)ForgetStale(now, ignored);
}

bool CAbuseGuard::BeginPasswordCheck(std::string_view address, std::string_view authorKey, std::int64_t now,
                                     std::int64_t& wait, std::string& error)
{
    ForgetStaleOnTheWay(now);
    const CAbuseLimits& limits = m_limits;
    const std::string client = ClientBlockOf(address);
    // Refused checks change nothing: a first look spares the counting transactions.
    CAbuseCounter pair;
    CAbuseCounter byAddress;
    CAbuseCounter byAuthor;
    CAbuseCounter trust;
    if (!m_store.ReadCounter(AuthorAtAddressKey(authorKey, client), pair, error) ||
        !m_store.ReadCounter(AddressKey(client), byAddress, error) ||
        !m_store.ReadCounter(AuthorKey(authorKey), byAuthor, error) ||
        !m_store.ReadCounter(TrustedKey(authorKey, client), trust, error))
        return false;
    const bool bTrusted = IsTrusted(trust, now);
    const auto waitOf = [&](const CAbuseCounter& atAddress, const CAbuseCounter& address,
                            const CAbuseCounter& author) {
        return std::max({WaitOf(atAddress, now), WaitOf(address, now), bTrusted ? 0 : WaitOf(author, now)});
    };
    wait = waitOf(pair, byAddress, byAuthor);
    if (wait > 0)
        return true;
    // Then all three counted in one transaction, which refuses the check when another
    // one counted meanwhile has made it wait.
    const std::string keys[] = {AuthorAtAddressKey(authorKey, client), AddressKey(client), AuthorKey(authorKey)};
    std::vector<CAbuseCounter> after;
    return m_store.UpdateCounters(
        keys,
        [&](std::span<CAbuseCounter> c) {
            wait = waitOf(c[0], c[1], c[2]);
            if (wait > 0)
                return;
            c[0] = AfterFailure(c[0], limits.m_nFreeFailuresPerAuthor, now, limits);
            c[1] = AfterFailure(c[1], limits.m_nFreeFailuresPerAddress, now, limits);
            if (!bTrusted)
                c[2] = AfterFailure(c[2], limits.m_nFreeFailuresPerAuthor, now, limits);
        },
        after, error);
}

bool CAbuseGuard::CountSuccess(std::string_view address, std::string_view authorKey, std::int64_t now,
                               std::string& error)
{
    const std::string client = ClientBlockOf(address);
    const std::string keys[] = {AuthorAtAddressKey(authorKey, client), AddressKey(client), AuthorKey(authorKey),
                                TrustedKey(authorKey, client)};
    // Every check was counted as a failure before it ran: the right one takes back its
    // own count, and no one else's.
    const auto withoutThisCheck = [](CAbuseCounter counter, int freeFailures) {
        counter.m_nCount = std::max<std::int64_t>(0, counter.m_nCount - 1);
        if (counter.m_nCount <= freeFailures)
            counter.m_nBlockedUntil = 0;
        return counter;
    };
    std::vector<CAbuseCounter> ignored;
    return m_store.UpdateCounters(
        keys,
        [&](std::span<CAbuseCounter> c) {
            const bool bAuthorCounted = !IsTrusted(c[3], now);
            c[0] = CAbuseCounter{};
            c[1] = withoutThisCheck(c[1], m_limits.m_nFreeFailuresPerAddress);
            if (bAuthorCounted)
                c[2] = withoutThisCheck(c[2], m_limits.m_nFreeFailuresPerAuthor);
            c[3] = TrustUntil(now + m_limits.m_nTrustSeconds, now);
        },
        ignored, error);
}

bool CAbuseGuard::TrustAddress(std::string_view address, std::string_view authorKey, std::int64_t now,
                               std::string& error)
{
    CAbuseCounter after;
    return m_store.UpdateCounter(
        TrustedKey(authorKey, ClientBlockOf(address)),
        [&](CAbuseCounter& trust) {
            trust = TrustUntil(now + m_limits.m_nTrustSeconds, now);
        },
        after, error);
}

bool CAbuseGuard::TakePost(std::string_view address, std::int64_t now, std::int64_t& wait, std::string& error)
{
    ForgetStaleOnTheWay(now);
    const CAbuseLimits& limits = m_limits;
    wait = 0;
    CAbuseCounter after;
    return m_store.UpdateCounter(
        PostKey(ClientBlockOf(address)),
        [&](CAbuseCounter& c) {
            // The count drains by one post per refill period since the last one counted.
            const std::int64_t refill = std::max(1, limits.m_nPostRefillSeconds);
            const std::int64_t drained = std::max<std::int64_t>(0, now - c.m_nLast) / refill;
            if (drained > 0) {
                c.m_nCount = std::max<std::int64_t>(0, c.m_nCount - drained);
                c.m_nLast += drained * refill;
            }
            if (c.m_nCount == 0)
                c.m_nLast = now;
            if (c.m_nCount >= limits.m_nPostBurst) {
                wait = std::max<std::int64_t>(1, c.m_nLast + refill - now);
                return;
            }
            ++c.m_nCount;
        },
        after, error);
}
