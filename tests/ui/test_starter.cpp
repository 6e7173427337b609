// The real program starter: no shell, the arguments as given, and no zombie left.

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

#include "ui/SpawnProgramStarter.h"

namespace {

class SpawnStarterTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)).toStdString(); }
    std::string Script(const char* name, const std::string& body, mode_t mode = 0755) const
    {
        const std::string path = Path(name);
        std::ofstream(path) << body;
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
    std::ifstream in(out);
    std::string seen((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(seen, "1|" + argument);
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
