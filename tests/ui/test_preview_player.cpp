// Listen's media player, one at a time, on the fake starter.

#include <algorithm>
#include <cerrno>
#include <gtest/gtest.h>

#include "tests/support/FakeProgramStarter.h"
#include "ui/PreviewPlayer.h"

namespace {

constexpr char kPlayer[] = "/usr/bin/zorvattone-play";
constexpr char kPreview[] = "/tmp/zv/zorvat.mid";

} // namespace

TEST(PreviewPlayer, EachStartEndsThePlayerStartedBeforeAndOnlyThatOne)
{
    CFakeProgramStarter programs;
    CPreviewPlayer preview(programs);
    const CProgramStartResult first = preview.Start(kPlayer, kPreview);
    ASSERT_EQ(first.m_result, ProgramStart::kStarted);
    EXPECT_TRUE(programs.Stops().empty()) << "nothing to end before the first preview";
    // The desktop's file opener, started by others through the same starter.
    const long viewer = programs.Start("xdg-open", {"/work/ZvTone.nok"}).m_nPid;

    const CProgramStartResult second = preview.Start(kPlayer, kPreview);
    ASSERT_EQ(programs.Calls().size(), 3u);
    EXPECT_EQ(programs.Calls()[2].program, kPlayer);
    EXPECT_EQ(programs.Calls()[2].arguments, std::vector<std::string>{kPreview});
    EXPECT_EQ(programs.Stops(), std::vector<long>{first.m_nPid});

    (void)preview.Start(kPlayer, kPreview);
    EXPECT_EQ(programs.Stops(), (std::vector<long>{first.m_nPid, second.m_nPid}));
    EXPECT_EQ(std::count(programs.Stops().begin(), programs.Stops().end(), viewer), 0);
}

TEST(PreviewPlayer, TheLastPlayerEndsWithThePreviewAndIsEndedOnlyOnce)
{
    CFakeProgramStarter programs;
    long last = 0;
    {
        CPreviewPlayer preview(programs);
        (void)preview.Start(kPlayer, kPreview);
        last = preview.Start(kPlayer, kPreview).m_nPid;
        preview.Stop();
        ASSERT_EQ(programs.Stops().size(), 2u);
        EXPECT_EQ(programs.Stops().back(), last);
        last = preview.Start(kPlayer, kPreview).m_nPid;
        EXPECT_EQ(programs.Stops().size(), 2u) << "a stopped player is not ended again";
    }
    ASSERT_EQ(programs.Stops().size(), 3u);
    EXPECT_EQ(programs.Stops().back(), last);
}

TEST(PreviewPlayer, APlayerThatDidNotStartLeavesNothingToEnd)
{
    CFakeProgramStarter programs;
    {
        CPreviewPlayer preview(programs);
        const long first = preview.Start(kPlayer, kPreview).m_nPid;
        programs.SetResult(ProgramStart::kInvalidProgram, ENOENT);
        const CProgramStartResult failed = preview.Start("/no/such/player", kPreview);
        EXPECT_EQ(failed.m_result, ProgramStart::kInvalidProgram);
        EXPECT_EQ(failed.m_nError, ENOENT);
        EXPECT_EQ(programs.Stops(), std::vector<long>{first}) << "the old player ends even so";
    }
    EXPECT_EQ(programs.Stops().size(), 1u);
}
