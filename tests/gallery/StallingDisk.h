#pragma once
// A disk that stops, for the tests: a SQLite VFS over the default one, made the default
// while it lives, whose syncs wait while the disk is stalled, as on a frozen or dying
// disk. Reads and writes that the page cache takes go on; only making them durable
// waits. One at a time in a process.

#include <condition_variable>
#include <mutex>

struct sqlite3_vfs;

class CStallingDisk {
public:
    CStallingDisk();
    ~CStallingDisk();
    CStallingDisk(const CStallingDisk&) = delete;
    CStallingDisk& operator=(const CStallingDisk&) = delete;

    void Stall();
    void Release();
    // Syncs that waited so far.
    [[nodiscard]] int StalledSyncs() const;

    // For the VFS: returns once the disk is not stalled.
    void WaitWhileStalled();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_bStalled = false;
    int m_nStalledSyncs = 0;
};
