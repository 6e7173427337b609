#include "gallery/service/AbuseGuard.h"

#include <algorithm>

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
    // Refused checks change nothing: a first look spares the counting transactions.
    CAbuseCounter pair;
    CAbuseCounter byAddress;
    CAbuseCounter byAuthor;
    if (!m_store.ReadCounter(AuthorAtAddressKey(authorKey, address), pair, error) ||
        !m_store.ReadCounter(AddressKey(address), byAddress, error) ||
        !m_store.ReadCounter(AuthorKey(authorKey), byAuthor, error))
        return false;
    const auto authorWait = [&](const CAbuseCounter& author, const CAbuseCounter& guessed) {
        return guessed.m_nCount > 0 ? WaitOf(author, now) : 0;
    };
    wait = std::max({WaitOf(pair, now), WaitOf(byAddress, now), authorWait(byAuthor, pair)});
    if (wait > 0)
        return true;
    // Then all three counted in one transaction, which refuses the check when another
    // one counted meanwhile has made it wait.
    const std::string keys[] = {AuthorAtAddressKey(authorKey, address), AddressKey(address), AuthorKey(authorKey)};
    std::vector<CAbuseCounter> after;
    return m_store.UpdateCounters(
        keys,
        [&](std::span<CAbuseCounter> c) {
            wait = std::max({WaitOf(c[0], now), WaitOf(c[1], now), authorWait(c[2], c[0])});
            if (wait > 0)
                return;
            c[0] = AfterFailure(c[0], limits.m_nFreeFailuresPerAuthor, now, limits);
            c[1] = AfterFailure(c[1], limits.m_nFreeFailuresPerAddress, now, limits);
            c[2] = AfterFailure(c[2], limits.m_nFreeFailuresPerAuthor, now, limits);
        },
        after, error);
}

bool CAbuseGuard::CountSuccess(std::string_view address, std::string_view authorKey, std::string& error)
{
    const std::string keys[] = {AuthorAtAddressKey(authorKey, address), AddressKey(address), AuthorKey(authorKey)};
    std::vector<CAbuseCounter> ignored;
    return m_store.UpdateCounters(
        keys, [](std::span<CAbuseCounter> counters) { std::fill(counters.begin(), counters.end(), CAbuseCounter{}); },
        ignored, error);
}

bool CAbuseGuard::TakePost(std::string_view address, std::int64_t now, std::int64_t& wait, std::string& error)
{
    ForgetStaleOnTheWay(now);
    const CAbuseLimits& limits = m_limits;
    wait = 0;
    CAbuseCounter after;
    return m_store.UpdateCounter(
        PostKey(address),
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
