#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include <httplib.h>

#include "tests/gallery/GalleryTestData.h"
#include "tests/gallery/GalleryTestServer.h"

extern char** environ;

namespace {

const std::string kGallery = std::string(ZT_BINARY_DIR) + "/bin/zorvat-gallery";
const std::string kCli = std::string(ZT_BINARY_DIR) + "/bin/zorvattone-cli";

// A program run with its standard output on a pipe (standard error is left alone).
class CChild {
public:
    CChild() = default;
    ~CChild() { Kill(SIGKILL); }
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    bool Start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {})
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // The extra entries replace those of the same name: a program's getenv takes the first.
        std::vector<std::string> env = extraEnv;
        auto overridden = [&](const std::string& entry) {
            for (const std::string& extra : extraEnv)
                if (entry.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0)
                    return true;
            return false;
        };
        for (char** e = environ; *e; ++e)
            if (!overridden(*e))
                env.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        int rc = posix_spawn(&m_pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        m_fd = fds[0];
        if (rc != 0) {
            m_pid = -1;
            return false;
        }
        return true;
    }

    // The next line of output, waiting at most `timeout`; false at the end or on time-out.
    bool ReadLine(std::string& line, std::chrono::milliseconds timeout = std::chrono::seconds(30))
    {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            std::size_t eol = m_strBuffer.find('\n');
            if (eol != std::string::npos) {
                line = m_strBuffer.substr(0, eol);
                m_strBuffer.erase(0, eol + 1);
                return true;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd pfd{m_fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
                return false;
            char buffer[4096];
            ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            m_strBuffer.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // Everything until the program closes its output, then its exit code.
    int Finish(std::string& out)
    {
        std::string line;
        while (ReadLine(line))
            out += line + "\n";
        out += m_strBuffer;
        return Wait();
    }

    void Signal(int signal)
    {
        if (m_pid > 0)
            kill(m_pid, signal);
    }

    void Kill(int signal)
    {
        if (m_pid > 0) {
            kill(m_pid, signal);
            Wait();
        }
    }

    int Wait()
    {
        int status = 0;
        if (m_pid > 0 && waitpid(m_pid, &status, 0) == m_pid) {
            m_pid = -1;
            if (m_fd >= 0)
                close(m_fd);
            m_fd = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
    int m_fd = -1;
    std::string m_strBuffer;
};

// Starts zorvat-gallery on a free port of 127.0.0.1 and reads the port it took.
bool StartGallery(CChild& child, const std::string& dataDir, std::uint16_t& port)
{
    if (!child.Start({kGallery, "--host", "127.0.0.1", "--port", "0", "--password-cost", "minimum", dataDir}))
        return false;
    const std::string kListening = "listening on http://127.0.0.1:";
    std::string line;
    if (!child.ReadLine(line) || line.find(kListening) == std::string::npos)
        return false;
    port = static_cast<std::uint16_t>(std::atoi(line.c_str() + line.find(kListening) + kListening.size()));
    return port != 0;
}

TEST(GalleryProgram, ListsItsOptionsAndRefusesBadOnes)
{
    CChild help;
    ASSERT_TRUE(help.Start({kGallery, "--help"}));
    std::string out;
    EXPECT_EQ(help.Finish(out), 0);
    for (const char* option : {"Usage: zorvat-gallery [OPTIONS] DATA_DIR", "--port N", "default 9011", "--host",
                               "--threads", "--password-cost", "--soundfont"})
        EXPECT_NE(out.find(option), std::string::npos) << option;

    for (std::vector<std::string> bad : {std::vector<std::string>{kGallery, "--port", "70000", "dir"},
                                         std::vector<std::string>{kGallery, "--bogus", "dir"},
                                         std::vector<std::string>{kGallery}}) {
        CChild child;
        ASSERT_TRUE(child.Start(bad));
        std::string ignored;
        EXPECT_EQ(child.Finish(ignored), 2) << bad.back();
    }
}

TEST(GalleryProgram, StopsCleanlyOnSigterm)
{
    CTempDir data;
    CChild child;
    std::uint16_t port = 0;
    ASSERT_TRUE(StartGallery(child, data.File("gallery"), port));
    EXPECT_EQ(TonesOnPage(port), 0);
    child.Signal(SIGTERM);
    std::string out;
    EXPECT_EQ(child.Finish(out), 0);
    EXPECT_NE(out.find("zorvat-gallery: stopped"), std::string::npos) << out;
    EXPECT_TRUE(std::filesystem::exists(data.File("gallery/gallery.db")));
}

TEST(GalleryProgram, LosesNoAcknowledgedPostWhenKilled)
{
    CTempDir data;
    CTempDir temp;
    std::vector<std::uint8_t> package = PackageFromRtttl("Kill:d=4,o=5,b=120:c,d,e", temp.Path());
    std::uint16_t port = 0;
    {
        CChild child;
        ASSERT_TRUE(StartGallery(child, data.Path(), port));
        for (int i = 0; i < 5; ++i) {
            CProgramPost post = PostLikeTheProgram(port, "nick", "pw", "Tone " + std::to_string(i), i % 4, package);
            ASSERT_TRUE(post.m_bPosted) << post.m_strShown;
        }
        child.Kill(SIGKILL); // no clean stop: what was acknowledged must be on disk already
    }
    CChild again;
    ASSERT_TRUE(StartGallery(again, data.Path(), port));
    EXPECT_EQ(TonesOnPage(port), 5);
    EXPECT_FALSE(PostLikeTheProgram(port, "nick", "other", "x", 0, package).m_bPosted);
}

bool CliHas(const std::string& command)
{
    if (!std::filesystem::exists(kCli))
        return false;
    CChild child;
    if (!child.Start({kCli, command, "--help"}))
        return false;
    std::string out;
    return child.Finish(out) == 0;
}

TEST(GalleryProgram, ShowsWhatTheCommandLineToolRecordedAndPosted)
{
    if (!CliHas("record") || !CliHas("post"))
        GTEST_SKIP() << "zorvattone-cli record or post is not built yet";
    CTempDir home;
    CTempDir data;
    CChild gallery;
    std::uint16_t port = 0;
    ASSERT_TRUE(StartGallery(gallery, data.Path(), port));

    // The profile the tool reads: identity, home site and temporary directory.
    std::filesystem::create_directories(home.File("config/Zorvat Zavi 1.0"));
    std::filesystem::create_directories(home.File("temp"));
    std::ofstream(home.File("config/Zorvat Zavi 1.0/ZorvatTone.ini"))
        << "[IDENTITY]\nNICKNAME=cli\nEMAIL=cli@example.org\nPASSWD=pw\n[SYSTEM]\nEMAIL=127.0.0.1\nTEMP="
        << home.File("temp") << "\n";
    const std::vector<std::string> env = {"HOME=" + home.Path(), "XDG_CONFIG_HOME=" + home.File("config")};

    CChild record;
    ASSERT_TRUE(record.Start({kCli, "record", std::string(ZT_SOURCE_DIR) + "/data/demo.mid", "--channel", "1"}, env));
    std::string rtttl;
    ASSERT_EQ(record.Finish(rtttl), 0);
    ASSERT_FALSE(rtttl.empty());
    std::ofstream(home.File("ode.rtttl")) << rtttl;

    CChild post;
    ASSERT_TRUE(post.Start({kCli, "post", "--name", "Ode from the CLI", "--category", "classical", "--truncate",
                            "--host", "127.0.0.1:" + std::to_string(port), home.File("ode.rtttl")},
                           env));
    std::string shown;
    ASSERT_EQ(post.Finish(shown), 0) << shown;
    EXPECT_NE(shown.find("Ringtone stored"), std::string::npos) << shown;

    httplib::Client client("127.0.0.1", port);
    auto page = client.Get("/");
    ASSERT_TRUE(page);
    std::size_t classical = page->body.find("<h2>Classical Music</h2>");
    std::size_t entry = page->body.find("<h3>Ode from the CLI</h3>");
    EXPECT_LT(classical, entry);
    EXPECT_LT(entry, page->body.find("<h2>Others</h2>"));
    EXPECT_NE(page->body.find("by <a class=\"author\" href=\"/author/cli\">cli</a>"), std::string::npos);
}

} // namespace
