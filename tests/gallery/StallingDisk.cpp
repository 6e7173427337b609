#include "tests/gallery/StallingDisk.h"

#include <sqlite3.h>

#include <cassert>

namespace {

CStallingDisk* g_pDisk = nullptr;
sqlite3_vfs* g_pReal = nullptr;
sqlite3_vfs g_stalling{};

// The shim's file: the real one's bytes follow it.
struct CShimFile {
    sqlite3_file m_base;
    sqlite3_file* m_pReal;
};

sqlite3_file* Real(sqlite3_file* file)
{
    return reinterpret_cast<CShimFile*>(file)->m_pReal;
}

int ShimClose(sqlite3_file* f)
{
    return Real(f)->pMethods->xClose(Real(f));
}
int ShimRead(sqlite3_file* f, void* p, int n, sqlite3_int64 at)
{
    return Real(f)->pMethods->xRead(Real(f), p, n, at);
}
int ShimWrite(sqlite3_file* f, const void* p, int n, sqlite3_int64 at)
{
    return Real(f)->pMethods->xWrite(Real(f), p, n, at);
}
int ShimTruncate(sqlite3_file* f, sqlite3_int64 size)
{
    return Real(f)->pMethods->xTruncate(Real(f), size);
}
int ShimSync(sqlite3_file* f, int flags)
{
    g_pDisk->WaitWhileStalled();
    return Real(f)->pMethods->xSync(Real(f), flags);
}
int ShimFileSize(sqlite3_file* f, sqlite3_int64* size)
{
    return Real(f)->pMethods->xFileSize(Real(f), size);
}
int ShimLock(sqlite3_file* f, int level)
{
    return Real(f)->pMethods->xLock(Real(f), level);
}
int ShimUnlock(sqlite3_file* f, int level)
{
    return Real(f)->pMethods->xUnlock(Real(f), level);
}
int ShimCheckReservedLock(sqlite3_file* f, int* out)
{
    return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
}
int ShimFileControl(sqlite3_file* f, int op, void* arg)
{
    return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int ShimSectorSize(sqlite3_file* f)
{
    return Real(f)->pMethods->xSectorSize(Real(f));
}
int ShimDeviceCharacteristics(sqlite3_file* f)
{
    return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
}
int ShimShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out)
{
    return Real(f)->pMethods->xShmMap(Real(f), region, size, extend, out);
}
int ShimShmLock(sqlite3_file* f, int offset, int n, int flags)
{
    return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
}
void ShimShmBarrier(sqlite3_file* f)
{
    Real(f)->pMethods->xShmBarrier(Real(f));
}
int ShimShmUnmap(sqlite3_file* f, int deleteFlag)
{
    return Real(f)->pMethods->xShmUnmap(Real(f), deleteFlag);
}
int ShimFetch(sqlite3_file* f, sqlite3_int64 at, int n, void** out)
{
    return Real(f)->pMethods->xFetch(Real(f), at, n, out);
}
int ShimUnfetch(sqlite3_file* f, sqlite3_int64 at, void* p)
{
    return Real(f)->pMethods->xUnfetch(Real(f), at, p);
}

const sqlite3_io_methods kShimMethods = {
    3,           ShimClose,     ShimRead,       ShimWrite,    ShimTruncate,          ShimSync,
    ShimFileSize, ShimLock,     ShimUnlock,     ShimCheckReservedLock, ShimFileControl, ShimSectorSize,
    ShimDeviceCharacteristics, ShimShmMap, ShimShmLock, ShimShmBarrier, ShimShmUnmap, ShimFetch,
    ShimUnfetch,
};

int ShimOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* shim = reinterpret_cast<CShimFile*>(file);
    shim->m_base.pMethods = nullptr;
    shim->m_pReal = reinterpret_cast<sqlite3_file*>(shim + 1);
    const int rc = g_pReal->xOpen(g_pReal, name, shim->m_pReal, flags, outFlags);
    // The real file's methods decide whether it is open: without them, neither is.
    if (shim->m_pReal->pMethods)
        shim->m_base.pMethods = &kShimMethods;
    return rc;
}

} // namespace

CStallingDisk::CStallingDisk()
{
    assert(!g_pDisk);
    g_pDisk = this;
    g_pReal = sqlite3_vfs_find(nullptr);
    g_stalling = *g_pReal;
    g_stalling.zName = "stalling";
    g_stalling.szOsFile = static_cast<int>(sizeof(CShimFile)) + g_pReal->szOsFile;
    g_stalling.xOpen = ShimOpen;
    g_stalling.pNext = nullptr;
    sqlite3_vfs_register(&g_stalling, 1);
}

CStallingDisk::~CStallingDisk()
{
    Release();
    sqlite3_vfs_unregister(&g_stalling);
    sqlite3_vfs_register(g_pReal, 1);
    g_pDisk = nullptr;
}

void CStallingDisk::Stall()
{
    std::lock_guard lock(m_mutex);
    m_bStalled = true;
}

void CStallingDisk::Release()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStalled = false;
    }
    m_released.notify_all();
}

int CStallingDisk::StalledSyncs() const
{
    std::lock_guard lock(m_mutex);
    return m_nStalledSyncs;
}

void CStallingDisk::WaitWhileStalled()
{
    std::unique_lock lock(m_mutex);
    if (m_bStalled)
        ++m_nStalledSyncs;
    m_released.wait(lock, [this] { return !m_bStalled; });
}
