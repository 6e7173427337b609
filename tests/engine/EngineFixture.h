#pragma once
// An engine on the recording fake device and the manual clock.

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "engine/sequencer/ManualClock.h"
#include "engine/sequencer/MidiEngine.h"
#include "song/MidiSong.h"
#include "tests/support/FakeMidiOutput.h"
#include "tests/support/MidiBytes.h"

// Packed short message as the device receives it.
constexpr std::uint32_t Msg(int status, int data1 = 0, int data2 = 0)
{
    return static_cast<std::uint32_t>(status) | static_cast<std::uint32_t>(data1) << 8 |
           static_cast<std::uint32_t>(data2) << 16;
}

class EngineTest : public ::testing::Test {
protected:
    EngineTest()
    {
        m_output.AddDevice("Test synthesizer", kModSynth);
        m_output.SetTickSource([this] { return m_engine.GetTickNumber(); });
    }
    ~EngineTest() override { m_output.SetTickSource(nullptr); }

    // Loads the song, opens the device and prepares it, keeping the cursors.
    void Start(const std::vector<CTrackBytes>& tracks, std::uint16_t division = 480)
    {
        LoadSong(m_song, division, tracks);
        ASSERT_TRUE(m_engine.OpenDevice());
        ASSERT_EQ(m_engine.Prepare(m_song, m_names, m_seconds, false), PrepareResult::kOk);
    }
    // Seek, first tick and clock start, as Play does; the reset of OpenDevice is forgotten.
    void Play(std::uint32_t fromSecond = 0)
    {
        m_output.ClearMessages();
        m_engine.Seek(fromSecond);
        ASSERT_TRUE(m_engine.StartClock());
    }
    // Steps until every track has ended (at most `limit` ticks).
    std::uint64_t RunToEnd(std::uint64_t limit = 200000)
    {
        std::uint64_t n = 0;
        while (!m_engine.AllTracksEnded() && n < limit)
            n += m_clock.Step(1);
        return n;
    }

    // The song outlives the engine: stopping a running engine rewinds its cursors.
    CFakeMidiOutput m_output;
    CManualClock m_clock;
    CMidiSong m_song;
    CMidiEngine m_engine{m_output, m_clock};
    std::array<std::string, CMidiEngine::kChannels> m_names;
    std::uint32_t m_seconds = 0;
};
