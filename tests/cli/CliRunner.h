#pragma once
// Runs zorvattone-cli from the build tree and captures what it printed.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string SlurpFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A scratch directory removed at the end of the test.
class CScratchDir {
public:
    CScratchDir()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "zt-test-XXXXXX").string();
        m_path = ::mkdtemp(templ.data());
    }
    ~CScratchDir() { std::filesystem::remove_all(m_path); }
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;
    [[nodiscard]] const std::filesystem::path& Path() const { return m_path; }
    [[nodiscard]] std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// stdinText, when given, is fed to the command's standard input.
inline CliResult RunCli(const std::vector<std::string>& args, const std::string* stdinText = nullptr,
                        const std::string& env = "")
{
    CScratchDir io;
    std::string cmd = env + " " + ShellQuote(std::string(ZT_BINARY_DIR) + "/bin/zorvattone-cli");
    for (const std::string& a : args)
        cmd += " " + ShellQuote(a);
    if (stdinText) {
        std::ofstream(io / "in", std::ios::binary) << *stdinText;
        cmd += " < " + ShellQuote(io / "in");
    } else {
        cmd += " < /dev/null";
    }
    cmd += " > " + ShellQuote(io / "out") + " 2> " + ShellQuote(io / "err");
    int status = std::system(cmd.c_str());
    CliResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = SlurpFile(io / "out");
    r.err = SlurpFile(io / "err");
    return r;
}
