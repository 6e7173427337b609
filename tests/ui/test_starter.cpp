// The real program starter: no shell, the arguments as given, no zombie left, and
// only its own programs ended.

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>

#include "tests/support/Files.h"
#include "ui/SpawnProgramStarter.h"

namespace {

class SpawnStarterTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)).toStdString(); }
    std::string Script(const char* name, const std::string& body, mode_t mode = 0755) const
    {
        const std::string path = Path(name);
        EXPECT_TRUE(WriteFile(path, body));
        EXPECT_EQ(::chmod(path.c_str(), mode), 0);
        return path;
    }
    // Waits for the outside program: it runs on its own, with nothing to step.
    static bool WaitUntil(const std::function<bool()>& done)
    {
        QDeadlineTimer deadline(20000);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    // Gone from the process table, or a zombie left to a parent that is not this
    // program (a container's first process may never reap).
    static bool Ended(long nPid)
    {
        std::ifstream stat("/proc/" + std::to_string(nPid) + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            return true;
        const std::size_t close = line.rfind(')');
        return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
    }
    static bool Reaped(long nPid) { return !QFile::exists(QStringLiteral("/proc/%1").arg(nPid)); }

    QTemporaryDir m_dir;
    CSpawnProgramStarter m_starter;
};

} // namespace

TEST_F(SpawnStarterTest, PathsThatCannotBeStartedAreInvalidPrograms)
{
    const struct {
        const char* name;
        std::string program;
    } cases[] = {
        {"a missing file", Path("missing")},
        {"a file that is not executable", Script("plain", "#!/bin/sh\nexit 0\n", 0644)},
        {"a directory", m_dir.path().toStdString()},
        {"a script whose interpreter is missing", Script("orphan", "#!/no/such/interpreter\n")},
        {"a bare name not on the PATH", "zorvattone-no-such-program"},
        {"an empty path", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CProgramStartResult result = m_starter.Start(c.program, {"x"});
        EXPECT_EQ(result.m_result, ProgramStart::kInvalidProgram);
        EXPECT_NE(result.m_nError, 0);
    }
}

TEST_F(SpawnStarterTest, TheArgumentReachesTheProgramUntouchedAndTheChildIsReaped)
{
    const std::string out = Path("out.txt");
    const std::string program = Script("player", "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" '" +
                                                     out + "'\n");
    const std::string argument = "/tmp/dir with space/$(touch pwned);zorvat.mid";
    const CProgramStartResult result = m_starter.Start(program, {argument});
    ASSERT_EQ(result.m_result, ProgramStart::kStarted);
    ASSERT_GT(result.m_nPid, 0);
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(QString::fromStdString(out)); }));
    EXPECT_EQ(ReadFile(out), "1|" + argument);
    EXPECT_FALSE(QFile::exists(QStringLiteral("pwned")));
    // Reaped: the process leaves the table instead of staying a zombie.
    const QString proc = QStringLiteral("/proc/%1").arg(result.m_nPid);
    EXPECT_TRUE(WaitUntil([&] { return !QFile::exists(proc); }));
}

TEST_F(SpawnStarterTest, ABareNameIsLookedUpOnThePath)
{
    const CProgramStartResult result = m_starter.Start("true", {});
    EXPECT_EQ(result.m_result, ProgramStart::kStarted);
}

TEST_F(SpawnStarterTest, StopEndsItsOwnRunningProgramWithWhatItRunsAndNothingElse)
{
    const CProgramStartResult sleeper = m_starter.Start("sleep", {"30"});
    ASSERT_EQ(sleeper.m_result, ProgramStart::kStarted);
    EXPECT_FALSE(Ended(sleeper.m_nPid));
    EXPECT_TRUE(m_starter.IsRunning(sleeper.m_nPid));
    EXPECT_TRUE(m_starter.Stop(sleeper.m_nPid));
    EXPECT_TRUE(WaitUntil([&] { return !m_starter.IsRunning(sleeper.m_nPid); }));
    EXPECT_TRUE(WaitUntil([&] { return Reaped(sleeper.m_nPid); }));
    EXPECT_FALSE(m_starter.Stop(sleeper.m_nPid)) << "an ended program is not signalled again";

    // A player that is a script: the program it runs ends with it.
    const std::string pidFile = Path("child.pid");
    const std::string player = Script("player", "#!/bin/sh\nsleep 30 &\necho $! > '" + pidFile + ".tmp' && mv '" +
                                                    pidFile + ".tmp' '" + pidFile + "'\nwait\n");
    const CProgramStartResult script = m_starter.Start(player, {"zorvat.mid"});
    ASSERT_EQ(script.m_result, ProgramStart::kStarted);
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(QString::fromStdString(pidFile)); }));
    long child = 0;
    std::ifstream(pidFile) >> child;
    ASSERT_GT(child, 0);
    EXPECT_TRUE(m_starter.Stop(script.m_nPid));
    EXPECT_TRUE(WaitUntil([&] { return Reaped(script.m_nPid) && Ended(child); }));

    // Started by another starter: not this one's to end.
    CSpawnProgramStarter other;
    const CProgramStartResult stranger = other.Start("sleep", {"30"});
    ASSERT_EQ(stranger.m_result, ProgramStart::kStarted);
    EXPECT_FALSE(m_starter.Stop(stranger.m_nPid));
    EXPECT_FALSE(m_starter.Stop(0));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(Ended(stranger.m_nPid));
    EXPECT_TRUE(other.Stop(stranger.m_nPid));
    EXPECT_TRUE(WaitUntil([&] { return Reaped(stranger.m_nPid); }));
}
