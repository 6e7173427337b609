#include "fileio/RemoveRegularFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool RemoveRegularFile(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISREG(st.st_mode))
        return false;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}
