#include "ringtone/LzwFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ringtone/LzwEncoder.h"
#include "ringtone/StdFile.h"

namespace {

constexpr std::size_t kBlock = 1024;
constexpr std::size_t kFlushAbove = 1020;

bool CopyLeading(CStdFile& in, CStdFile& out, std::uint64_t count)
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

bool Fail(FileError& error, const CStdFile& file)
{
    error = {file.Path(), file.ErrorText()};
    return false;
}

} // namespace

bool LzwCompress(CStdFile& in, CStdFile& out)
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
            if (!out.Write(pending))
                return false;
            pending.clear();
        }
    }
    if (in.Failed())
        return false;
    encoder.Finish();
    encoder.TakeOutput(pending);
    return out.Write(pending);
}

bool CompressFileInPlace(const std::string& path, std::uint64_t leadingBytes, FileError& error)
{
    CStdFile in;
    if (!in.Open(path, CStdFile::Mode::Read))
        return Fail(error, in);
    std::string tmpPath = path + ".tmp";
    CStdFile out;
    if (!out.Open(tmpPath, CStdFile::Mode::Write))
        return Fail(error, out);
    bool ok = CopyLeading(in, out, leadingBytes) && LzwCompress(in, out);
    if (ok && !out.Close())
        ok = false;
    if (!ok) {
        error = in.Failed() ? FileError{in.Path(), in.ErrorText()} : FileError{out.Path(), out.ErrorText()};
        (void)out.Close();
        RemoveOwnFile(tmpPath);
        return false;
    }
    (void)in.Close(); // a read-only file loses nothing on close
    // rename() puts the new file in place in one step, so the name never points to
    // nothing or to half a file.
    errno = 0;
    if (std::rename(tmpPath.c_str(), path.c_str()) != 0) {
        error = {path, std::strerror(errno)};
        RemoveOwnFile(tmpPath);
        return false;
    }
    return true;
}

bool CompressFileInPlace(const std::string& path, std::uint64_t leadingBytes)
{
    FileError ignored;
    return CompressFileInPlace(path, leadingBytes, ignored);
}
