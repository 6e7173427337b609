#include "ringtone/LzwFile.h"

#include <algorithm>
#include <vector>

#include "fileio/FileReplacer.h"
#include "fileio/StdFile.h"
#include "ringtone/LzwEncoder.h"

namespace {

constexpr std::size_t kBlock = 1024;
constexpr std::size_t kFlushAbove = 1020;

bool CopyLeading(CStdFile& in, CFileReplacer& out, std::uint64_t count)
{
    std::uint8_t block[kBlock];
    while (count > 0) {
        std::size_t got = in.Read(block, static_cast<std::size_t>(std::min<std::uint64_t>(count, kBlock)));
        if (got == 0)
            return !in.Failed();
        if (!out.Write(block, got))
            return false;
        count -= got;
    }
    return true;
}

} // namespace

bool LzwCompress(CStdFile& in, CFileReplacer& out)
{
    CLzwEncoder encoder;
    std::uint8_t block[kBlock];
    std::vector<std::uint8_t> pending;
    pending.reserve(2 * kBlock);
    for (;;) {
        std::size_t got = in.Read(block, kBlock);
        if (got == 0)
            break;
        encoder.Put(block, got);
        if (encoder.PendingBytes() > kFlushAbove) {
            encoder.TakeOutput(pending);
            if (!out.Write(pending.data(), pending.size()))
                return false;
            pending.clear();
        }
    }
    if (in.Failed())
        return false;
    encoder.Finish();
    encoder.TakeOutput(pending);
    return out.Write(pending.data(), pending.size());
}

bool CompressFileInPlace(const std::string& path, std::uint64_t leadingBytes, FileError& error)
{
    CStdFile in;
    if (!in.Open(path, CStdFile::Mode::Read)) {
        error = {path, in.ErrorText(), FileFault::kOpen};
        return false;
    }
    CFileReplacer out;
    if (!out.Open(path, error))
        return false;
    const bool bCoded = CopyLeading(in, out, leadingBytes) && LzwCompress(in, out);
    if (!bCoded && in.Failed()) {
        error = {path, in.ErrorText(), FileFault::kRead};
        return false; // the replacer deletes what it wrote
    }
    (void)in.Close(); // a file only read loses nothing on close
    // A failed write is Commit's to report.
    return out.Commit(error);
}

bool CompressFileInPlace(const std::string& path, std::uint64_t leadingBytes)
{
    FileError ignored;
    return CompressFileInPlace(path, leadingBytes, ignored);
}
