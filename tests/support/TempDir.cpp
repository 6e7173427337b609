#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

CTempDir::CTempDir()
{
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "zt-test-XXXXXX").string();
    if (!ec && ::mkdtemp(pattern.data()))
        m_strPath = pattern;
}

CTempDir::~CTempDir()
{
    std::error_code ec;
    if (!m_strPath.empty())
        std::filesystem::remove_all(m_strPath, ec);
}
