#pragma once
// Slows down password guessing and post floods. Password checks are counted before
// they run, per client address, per author and address, and per author; past the free
// checks of a count every further check must wait, twice as long after each further
// one, up to an hour.
//
// The author's count holds for every address, so that adding addresses does not add
// guesses: a thousand addresses with one guess each get the author's few free checks
// and then wait like one. So that guessers cannot keep the rightful author out that
// way, an address where the author's password was once right is trusted for that
// author for m_nTrustSeconds: it is slowed only by its own counts, and its wrong
// passwords do not spend the author's. A right password clears only the count of that
// author at that address, and takes back its own check from the others: neither the
// author's own post nor a guesser's success with an account of its own wipes the
// counts of the guessing. IPv6 addresses are counted
// by their /64 network, which one client holds whole.
//
// Posts are counted per address: a burst is free, then one post per refill period.
// Counts are forgotten an hour after the last check counted: the guard drops such
// counters from the store on the way of its checks, at most once a minute, so the
// store holds the counters of the clients of the last hour (and of blocks and trust
// that last longer), not of every client ever seen. The counters live in the store,
// so that every gallery process sharing it sees the same ones.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "gallery/store/GalleryStore.h"

struct CAbuseLimits {
    int m_nFreeFailuresPerAuthor = 5;
    int m_nFreeFailuresPerAddress = 20;
    int m_nPostBurst = 30;          // posts an address may make at once
    int m_nPostRefillSeconds = 20;  // then one more for each such period
    int m_nMaxWaitSeconds = 3600;
    int m_nForgetSeconds = 3600;
    int m_nForgetEverySeconds = 60;  // how often stale counters are dropped, at most
    int m_nTrustSeconds = 30 * 24 * 3600; // an address the author's password was right from
};

class CAbuseGuard {
public:
    CAbuseGuard(CGalleryStore& store, CAbuseLimits limits) : m_store(store), m_limits(limits) {}

    // Counts a password check for `authorKey` from `address` before it runs, in one
    // store transaction, so that checks made at once are counted one by one. `wait` 0: the check may run; else the seconds until one may, and nothing
    // is counted. False with the reason in `error`.
    [[nodiscard]] bool BeginPasswordCheck(std::string_view address, std::string_view authorKey, std::int64_t now,
                                          std::int64_t& wait, std::string& error);
    // A right password clears the count of the author at the address, takes back the
    // count of its own check from the address and the author, and makes the address one
    // the author is trusted at.
    [[nodiscard]] bool CountSuccess(std::string_view address, std::string_view authorKey, std::int64_t now,
                                    std::string& error);
    // The address a nickname was registered from is trusted for it, as after a right
    // password.
    [[nodiscard]] bool TrustAddress(std::string_view address, std::string_view authorKey, std::int64_t now,
                                    std::string& error);
    // Takes one post from the address's allowance: wait 0 when the post may go on,
    // else the seconds until it may.
    [[nodiscard]] bool TakePost(std::string_view address, std::int64_t now, std::int64_t& wait, std::string& error);

    // Drops the counters of clients quiet for m_nForgetSeconds, unless that was done
    // less than m_nForgetEverySeconds ago. The checks above call it on their way.
    [[nodiscard]] bool ForgetStale(std::int64_t now, std::string& error);

    // The rules, on one counter; public for the tests.
    [[nodiscard]] static CAbuseCounter AfterFailure(CAbuseCounter counter, int freeFailures, std::int64_t now,
                                                    const CAbuseLimits& limits);
    [[nodiscard]] static std::int64_t WaitOf(const CAbuseCounter& counter, std::int64_t now);
    // The part of an address that one client holds: an IPv4 address, an IPv6 /64.
    [[nodiscard]] static std::string ClientBlockOf(std::string_view address);

private:
    // ForgetStale on the way of a check: a store that cannot forget now still counts.
    void ForgetStaleOnTheWay(std::int64_t now);

    CGalleryStore& m_store;
    CAbuseLimits m_limits;
    std::atomic<std::int64_t> m_nNextForget{0}; // seconds since 1970
};
