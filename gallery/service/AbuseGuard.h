#pragma once
// Slows down password guessing and post floods. Password checks are counted before
// they run, per client address, per author and address, and per author; past the free
// checks of a count every further check must wait, twice as long after each further
// one, up to an hour. The author's count slows only the addresses that have guessed
// at that author: the rightful author, from an address of their own, is never kept
// out by guesses from another. Posts are counted per address: a burst is free, then
// one post per refill period. Counts are forgotten an hour after the last check
// counted: the guard drops such counters from the store on the way of its checks, at
// most once a minute, so the store holds the counters of the clients of the last hour
// (and of blocks that ran into it), not of every client ever seen. The counters live
// in the store, so that every gallery process sharing it sees the same ones.

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
};

class CAbuseGuard {
public:
    CAbuseGuard(CGalleryStore& store, CAbuseLimits limits) : m_store(store), m_limits(limits) {}

    // Counts a password check for `authorKey` from `address` before it runs, in one
    // store transaction, so that checks made at once are counted one by one. `wait` 0: the check may run; else the seconds until one may, and nothing
    // is counted. False with the reason in `error`.
    [[nodiscard]] bool BeginPasswordCheck(std::string_view address, std::string_view authorKey, std::int64_t now,
                                          std::int64_t& wait, std::string& error);
    // A right password clears the counts of the address, the author and both.
    [[nodiscard]] bool CountSuccess(std::string_view address, std::string_view authorKey, std::string& error);
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

private:
    // ForgetStale on the way of a check: a store that cannot forget now still counts.
    void ForgetStaleOnTheWay(std::int64_t now);

    CGalleryStore& m_store;
    CAbuseLimits m_limits;
    std::atomic<std::int64_t> m_nNextForget{0}; // seconds since 1970
};
