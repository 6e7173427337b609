#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "engine/sequencer/ChannelMeters.h"
#include "engine/sequencer/ManualClock.h"
#include "engine/sequencer/MidiEngine.h"
#include "engine/sequencer/RealtimeClock.h"
#include "tests/support/FakeMidiOutput.h"
#include "tests/support/MidiBytes.h"

namespace {

using Sent = CFakeMidiOutput::SentMessage;

// About 0.6 s of melody on channel 1 over a bass on channel 2, with a tempo change.
std::vector<CTrackBytes> ShortSong()
{
    return {CTrackBytes().Tempo(0, 500000).Tempo(480, 400000).End(),
            CTrackBytes().Program(0, 0, 73).On(0, 0, 72).Off(96, 0, 72).On(0, 0, 74).Off(96, 0, 74).On(48, 0, 76)
                .Off(192, 0, 76).On(0, 0, 79).Off(240, 0, 79).End(),
            CTrackBytes().On(0, 1, 48).Off(336, 1, 48).On(0, 1, 43).Off(288, 1, 43).End()};
}

struct Recording {
    std::vector<Sent> sent;
    std::string rtttl;
    std::vector<RingtoneNote> notes;
};

// Plays the song from its start on `clock`; `run` drives the clock until the
// song's `messages` have all been sent.
template <class Run>
Recording Record(CClockSource& clock, const CMidiSong& song, Run run)
{
    CFakeMidiOutput output;
    output.AddDevice("synth", kModSynth);
    CMidiEngine engine(output, clock);
    output.SetTickSource([&] { return engine.GetTickNumber(); });
    engine.SetChannelOn(1, false);
    std::array<std::string, 16> names;
    std::uint32_t seconds = 0;
    EXPECT_TRUE(engine.OpenDevice());
    EXPECT_EQ(engine.Prepare(song, names, seconds, false), PrepareResult::kOk);
    output.ClearMessages();
    engine.Seek(0);
    EXPECT_TRUE(engine.StartClock());
    run(engine, output);
    engine.StopClock();
    Recording r{output.Messages(), engine.GetRtttl(), engine.GetRingtoneNotes()};
    engine.CloseDevice();
    output.SetTickSource(nullptr);
    r.sent.pop_back(); // the reset of StopClock
    return r;
}

TEST(LiveClock, ALiveRecordingEqualsTheOfflineOne)
{
    CMidiSong song;
    LoadSong(song, 480, ShortSong());
    CManualClock manual;
    const Recording offline = Record(manual, song, [&](CMidiEngine& engine, CFakeMidiOutput&) {
        while (!engine.AllTracksEnded())
            manual.Step(1);
    });
    ASSERT_FALSE(offline.sent.empty());
    // The tempo change at tick 480 restarts the text: only the last note is left.
    EXPECT_EQ(offline.rtttl, "ZorvatTone:d=4,o=5,b=150:8g6,");

    CRealtimeClock real;
    const Recording live = Record(real, song, [&](CMidiEngine&, CFakeMidiOutput& output) {
        EXPECT_TRUE(output.WaitForMessages(offline.sent.size(), std::chrono::seconds(10)));
    });
    EXPECT_EQ(live.rtttl, offline.rtttl);
    EXPECT_EQ(live.notes, offline.notes);
    // The same messages on the same ticks, not merely in the same order.
    EXPECT_EQ(live.sent, offline.sent);
}

// A song long and dense enough to keep the clock busy through the storm.
std::vector<CTrackBytes> DenseSong()
{
    std::vector<CTrackBytes> tracks;
    tracks.push_back(CTrackBytes().Tempo(0, 500000));
    for (int t = 0; t < 6; ++t) {
        CTrackBytes track;
        track.Program(0, t, t * 10);
        for (int i = 0; i < 200; ++i)
            track.On(i == 0 ? 0 : 10, t, 48 + (i + t) % 40).Off(20, t, 48 + (i + t) % 40);
        tracks.push_back(track.End());
    }
    tracks[0].Tempo(3000, 450000).End();
    return tracks;
}

TEST(LiveClock, StartStopSeekAndChannelTogglesFromTwoThreadsAreRaceFree)
{
    CMidiSong song;
    LoadSong(song, 96, DenseSong());
    CFakeMidiOutput output;
    output.AddDevice("synth", kModSynth);
    CRealtimeClock clock;
    CMidiEngine engine(output, clock);
    CChannelMeters meters;
    std::atomic<bool> done{false};

    // The user interface: channel boxes, meters and the text, all while the clock plays.
    std::thread ui([&] {
        std::mt19937 rng(7);
        std::int64_t sum = 0;
        while (!done.load()) {
            const int channel = static_cast<int>(rng() % 16);
            engine.SetChannelOn(channel, !engine.IsChannelOn(channel));
            sum += meters.Get(channel) + static_cast<std::int64_t>(engine.GetTickNumber());
            sum += static_cast<std::int64_t>(engine.GetRtttl().size());
            std::this_thread::yield();
        }
        EXPECT_GE(sum, 0);
    });

    std::mt19937 rng(11);
    std::array<std::string, 16> names;
    std::uint32_t seconds = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    int rounds = 0;
    for (; rounds < 300 && std::chrono::steady_clock::now() < end; ++rounds) {
        ASSERT_TRUE(engine.OpenDevice([&](const CMidiMessage& m) {
            meters.Observe(m, engine.IsChannelOn(m.m_byStatus & 0x0F));
        }));
        ASSERT_EQ(engine.Prepare(song, names, seconds, false), PrepareResult::kOk);
        engine.Seek(rng() % 3);
        ASSERT_TRUE(engine.StartClock());
        const std::uint64_t ticks = 1 + rng() % 4;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (engine.GetTickNumber() < ticks && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        switch (rng() % 4) {
        case 0: // Stop
            engine.StopClock();
            engine.CloseDevice();
            break;
        case 1: // a slider drag while playing: the device closes under a running clock
            engine.CloseDevice();
            break;
        case 2: // Play again at once: Prepare stops the running clock itself
            ASSERT_EQ(engine.Prepare(song, names, seconds, false), PrepareResult::kOk);
            engine.CloseDevice();
            break;
        default: // a seek while the clock runs, then Stop
            engine.Seek(1);
            engine.Rewind();
            engine.CloseDevice();
            break;
        }
        EXPECT_FALSE(engine.IsClockRunning());
        EXPECT_FALSE(clock.IsRunning());
    }
    done.store(true);
    ui.join();
    EXPECT_GT(rounds, 20);
    EXPECT_FALSE(output.IsDeviceOpen(0));
}

} // namespace
