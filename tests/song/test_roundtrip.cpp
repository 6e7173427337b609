#include <gtest/gtest.h>

#include <random>

#include "song/MidiArchive.h"
#include "tests/support/MidiBytes.h"

namespace {

// A random but valid track body: channel events with and without running status,
// meta and sysex events of random lengths, ending with an end-of-track event.
Bytes RandomTrackBody(std::mt19937& rng, int events, bool useRunningStatus)
{
    std::uniform_int_distribution<int> kind(0, 9), byte(0, 127), small(0, 40);
    std::uniform_int_distribution<std::uint32_t> delta(0, 70000);
    Bytes body;
    std::uint8_t running = 0;
    for (int i = 0; i < events; ++i) {
        AppendVarLen(body, delta(rng) % (i % 3 == 0 ? 70000 : 200));
        int k = kind(rng);
        if (k < 7) {
            static constexpr std::uint8_t kStatuses[] = {0x80, 0x90, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0};
            std::uint8_t status = static_cast<std::uint8_t>(kStatuses[byte(rng) % 7] | (byte(rng) & 0x0F));
            if (byte(rng) < 64 && running >= 0x80)
                status = running; // repeat the status more often than chance would
            if (!(useRunningStatus && status == running))
                body.push_back(status);
            running = status;
            body.push_back(static_cast<std::uint8_t>(byte(rng)));
            if ((status & 0xF0) != 0xC0 && (status & 0xF0) != 0xD0)
                body.push_back(static_cast<std::uint8_t>(byte(rng)));
        } else {
            bool meta = k < 9;
            body.push_back(meta ? 0xFF : (k == 9 && byte(rng) < 64 ? 0xF7 : 0xF0));
            if (meta)
                body.push_back(static_cast<std::uint8_t>(byte(rng)));
            int n = small(rng) * (byte(rng) < 8 ? 100 : 1);
            AppendVarLen(body, static_cast<std::uint32_t>(n));
            for (int j = 0; j < n; ++j)
                body.push_back(static_cast<std::uint8_t>(byte(rng) * 2));
            running = 0; // system events cancel running status in what we generate
        }
    }
    body.insert(body.end(), {0, 0xFF, 0x2F, 0});
    return body;
}

Bytes RandomFile(std::mt19937& rng, bool useRunningStatus)
{
    std::uniform_int_distribution<int> tracks(1, 6), events(0, 300);
    int n = tracks(rng);
    Bytes file = Header(1, static_cast<std::uint16_t>(n), 480);
    for (int t = 0; t < n; ++t) {
        Bytes c = Chunk("MTrk", RandomTrackBody(rng, events(rng), useRunningStatus));
        file.insert(file.end(), c.begin(), c.end());
    }
    return file;
}

TEST(RoundTrip, GeneratedSongsSurviveLoadStoreLoadUnchanged)
{
    std::mt19937 rng(20261208);
    for (int i = 0; i < 200; ++i) {
        Bytes file = RandomFile(rng, i % 2 == 0);
        CMidiSong first;
        LoadSong(first, file);
        Bytes stored = StoreSong(first);
        CMidiSong second;
        LoadSong(second, stored);
        ASSERT_EQ(second.GetTrackList().GetTrackCount(), first.GetTrackList().GetTrackCount()) << "song " << i;
        ASSERT_EQ(DumpOf(second), DumpOf(first)) << "song " << i;
        EXPECT_EQ(StoreSong(second), stored) << "storing is stable, song " << i;
    }
}

TEST(RoundTrip, AFileWrittenWithRunningStatusIsStoredBackByteForByte)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 100; ++i) {
        Bytes file = RandomFile(rng, true);
        CMidiSong song;
        LoadSong(song, file);
        ASSERT_EQ(StoreSong(song), file) << "song " << i;
    }
}

TEST(RoundTrip, AFileWithoutRunningStatusShrinksToItsRunningStatusForm)
{
    std::mt19937 rng(11);
    std::mt19937 same(11);
    Bytes spelled = RandomFile(rng, false);
    Bytes compact = RandomFile(same, true);
    CMidiSong song;
    LoadSong(song, spelled);
    EXPECT_EQ(StoreSong(song), compact);
}

TEST(RoundTrip, TheDemoSongReadsAsFourTracksAndStoresBackUnchanged)
{
    CMidiSong song;
    CMidiArchive ar(std::string(ZT_SOURCE_DIR) + "/data/demo.mid", CMidiArchive::Mode::Load);
    ASSERT_TRUE(ar.IsOpen());
    song.Serialize(ar);
    EXPECT_EQ(song.GetFormat(), 1);
    EXPECT_EQ(song.GetTrackList().GetTrackCount(), 4);
    CMidiArchive again(std::string(ZT_SOURCE_DIR) + "/data/demo.mid", CMidiArchive::Mode::Load);
    Bytes original(again.BytesLeft());
    ASSERT_EQ(again.Read(original.data(), original.size()), original.size());
    EXPECT_EQ(StoreSong(song), original);
}

} // namespace
