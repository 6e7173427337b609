#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "song/ByteOrder.h"
#include "song/MidiArchive.h"
#include "song/MidiChannelEvent.h"
#include "song/MidiMetaEvent.h"
#include "tests/support/MidiBytes.h"
#include "tests/support/TempDir.h"

namespace {

const CMidiTrack* Track(const CMidiSong& song, int index)
{
    const CMidiTrack* t = song.GetTrackList().GetFirstTrack();
    for (int i = 0; t && i < index; ++i)
        t = t->m_pNext;
    return t;
}

std::uint32_t ReadQuantity(const Bytes& bytes, std::uint32_t& consumed, bool& failed)
{
    CMidiArchive ar(bytes.data(), bytes.size());
    std::uint32_t value = 0;
    consumed = ReadVarLen(ar, value, failed);
    return value;
}

TEST(VarLen, ReadsUpToFourBytes)
{
    struct Row {
        Bytes bytes;
        std::uint32_t value;
        std::uint32_t consumed;
    } rows[] = {
        {{0x00}, 0, 1},
        {{0x7F}, 0x7F, 1},
        {{0x81, 0x00}, 0x80, 2},
        {{0x8F, 0x00}, 1920, 2},
        {{0xFF, 0xFF, 0xFF, 0x7F}, 0x0FFFFFFF, 4},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, 0x0FFFFFFF, 4}, // a fifth byte is never taken
    };
    for (const Row& r : rows) {
        std::uint32_t consumed = 0;
        bool failed = true;
        EXPECT_EQ(ReadQuantity(r.bytes, consumed, failed), r.value);
        EXPECT_EQ(consumed, r.consumed);
        EXPECT_FALSE(failed);
    }
}

TEST(VarLen, AShortReadFails)
{
    std::uint32_t consumed = 0;
    bool failed = false;
    ReadQuantity({0x81, 0x80}, consumed, failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(consumed, 2u);
}

TEST(VarLen, WritesTheShortestForm)
{
    struct Row {
        std::uint32_t value;
        Bytes bytes;
    } rows[] = {
        {0, {0x00}},
        {0x7F, {0x7F}},
        {0x80, {0x81, 0x00}},
        {1920, {0x8F, 0x00}},
        {0x3FFF, {0xFF, 0x7F}},
        {0x4000, {0x81, 0x80, 0x00}},
        {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const Row& r : rows) {
        CMidiArchive ar;
        ASSERT_TRUE(WriteVarLen(ar, r.value));
        EXPECT_EQ(ar.Bytes(), r.bytes) << r.value;
    }
}

TEST(ByteOrder, SwapsReverseTheBytes)
{
    EXPECT_EQ(SwapLong(0x11223344u), 0x44332211u);
    EXPECT_EQ(SwapShort(0x1122), 0x2211);
}

TEST(HeaderChunk, ExtraBytesOfALongerHeaderAreSkipped)
{
    Bytes header = Chunk("MThd", {0, 1, 0, 2, 0x01, 0xE0, 0xAA, 0xBB});
    Bytes track = Chunk("MTrk", {0, 0xFF, 0x2F, 0});
    CMidiSong song;
    LoadSong(song, Cat({header, track}));
    EXPECT_EQ(song.GetFormat(), 1);
    EXPECT_EQ(song.GetHeader().m_wNumTracks, 2);
    EXPECT_EQ(song.GetDivision(), 480);
    EXPECT_EQ(song.GetHeader().m_dwConsumed, 8u);
    EXPECT_EQ(song.GetHeader().m_dwComputedLength, 6u);
    EXPECT_EQ(song.GetTrackList().GetTrackCount(), 1);
}

TEST(TrackChunk, RunningStatusEventsTakeThePreviousStatusAndCostNothing)
{
    CMidiSong song;
    LoadSong(song, Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0x90, 0x3C, 0x64, 0, 0x3E, 0x64})}));
    const CMidiTrack* t = Track(song, 0);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->CountEvents(), 2u);
    EXPECT_EQ(t->GetFirstEvent()->GetStatus(), 0x90);
    EXPECT_EQ(t->GetFirstEvent()->GetNext()->GetStatus(), 0x90);
    EXPECT_EQ(t->m_dwComputedLength, 7u);
    EXPECT_EQ(t->m_dwConsumed, 7u);
}

TEST(TrackChunk, ARepeatedExplicitStatusIsWrittenBackAsRunningStatus)
{
    CMidiSong song;
    LoadSong(song, Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0x90, 0x3C, 0x64, 0, 0x90, 0x3E, 0x64})}));
    EXPECT_EQ(Track(song, 0)->m_dwComputedLength, 7u);
    EXPECT_EQ(Track(song, 0)->m_dwConsumed, 8u);
    Bytes stored = StoreSong(song);
    EXPECT_EQ(stored, Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0x90, 0x3C, 0x64, 0, 0x3E, 0x64})}));
}

TEST(TrackChunk, AZeroLengthMetaEventHasNoData)
{
    CMidiSong song;
    LoadSong(song, Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0xFF, 0x2F, 0})}));
    const auto* meta = dynamic_cast<const CMidiMetaEvent*>(Track(song, 0)->GetFirstEvent());
    ASSERT_NE(meta, nullptr);
    EXPECT_EQ(meta->m_dwDataLength, 0u);
    EXPECT_EQ(meta->m_pData, nullptr);
}

TEST(TrackChunk, SysexKeepsItsStatusOutsideTheData)
{
    CMidiSong song;
    Bytes body = {0, 0xF0, 3, 0x7E, 0x7F, 0xF7, 0, 0xF7, 1, 0x42};
    LoadSong(song, Cat({Header(0, 1, 96), Chunk("MTrk", body)}));
    EXPECT_EQ(DumpOf(song), "1 0 F0 3 7E 7F F7\n1 0 F7 1 42\n");
    EXPECT_EQ(StoreSong(song), Cat({Header(0, 1, 96), Chunk("MTrk", body)}));
}

TEST(SongLoad, TheDeclaredTrackCountIsNotConsulted)
{
    Bytes t = Chunk("MTrk", {0, 0xFF, 0x2F, 0});
    CMidiSong song;
    LoadSong(song, Cat({Header(1, 3, 96), t, t}));
    EXPECT_EQ(song.GetTrackList().GetTrackCount(), 2);
    EXPECT_EQ(song.GetHeader().m_wNumTracks, 3);
    song.GetTrackList().ResetIterator();
    EXPECT_EQ(song.GetTrackList().NextTrack()->GetNumber(), 1);
    EXPECT_EQ(song.GetTrackList().NextTrack()->GetNumber(), 2);
    EXPECT_EQ(song.GetTrackList().NextTrack(), nullptr);
}

TEST(SongLoad, AnUnknownChunkEndsLoadingAndKeepsTheTracksBeforeIt)
{
    Bytes t = Chunk("MTrk", {0, 0xFF, 0x2F, 0});
    CMidiSong song;
    LoadSong(song, Cat({Header(1, 2, 96), Chunk("XFIH", {1, 2, 3})}));
    EXPECT_EQ(song.GetTrackList().GetTrackCount(), 0);
    LoadSong(song, Cat({Header(1, 3, 96), t, Chunk("XFIH", {1, 2, 3}), t}));
    EXPECT_EQ(song.GetTrackList().GetTrackCount(), 1);
}

TEST(SongLoad, AnEmptyTrackHasNoEvents)
{
    CMidiSong song;
    LoadSong(song, Cat({Header(0, 1, 96), Chunk("MTrk", {})}));
    ASSERT_EQ(song.GetTrackList().GetTrackCount(), 1);
    EXPECT_EQ(Track(song, 0)->GetEventList()->GetNext(), nullptr);
}

TEST(SongLoad, ADamagedHeaderStillLetsTheTracksLoad)
{
    Bytes t = Chunk("MTrk", {0, 0xFF, 0x2F, 0});
    CMidiSong song;
    LoadSong(song, Cat({Chunk("MThd", {0, 1, 0}, 3), t}));
    // The header took "MThd", its length, and three bytes of a short body: 6 wanted.
    EXPECT_EQ(song.GetTrackList().GetTrackCount(), 0);
    // Without "MThd" the header step still takes the first chunk's id and length,
    // so that chunk's events are lost (the document never opens such a file).
    LoadSong(song, Cat({t, t}));
    EXPECT_EQ(song.GetTrackList().GetTrackCount(), 0);
}

// Where a file is cut decides what survives: inside a delta or a status, the track
// being read is dropped; inside an event body, the track keeps its earlier events.
TEST(SongLoad, TruncatedFilesKeepWhatCouldBeRead)
{
    Bytes first = Chunk("MTrk", {0, 0xC0, 5, 0, 0xFF, 0x2F, 0});
    Bytes second = {0, 0x90, 60, 64, 0x83, 0x60, 0x80, 60, 0, 0, 0xFF, 0x03, 4, 'a', 'b', 'c', 'd'};
    Bytes file = Cat({Header(1, 2, 96), first, Chunk("MTrk", second)});
    const std::size_t secondBody = file.size() - second.size();

    struct Row {
        const char* what;
        std::size_t cut; // bytes of the second track's body kept
        int tracks;
        std::uint32_t eventsOfSecond;
    } rows[] = {
        {"cut inside the chunk id", 0, 1, 0},
        {"cut after the first event, where a delta belongs", 4, 1, 0},
        {"cut inside a two-byte delta", 5, 1, 0},
        {"cut just before a status byte", 6, 1, 0},
        {"cut inside a channel event body", 8, 2, 1},
        {"cut inside a meta text body", 15, 2, 2},
        {"whole file", second.size(), 2, 3},
    };
    for (const Row& r : rows) {
        std::size_t keep = r.cut == 0 ? secondBody - 6 : secondBody + r.cut;
        Bytes cut(file.begin(), file.begin() + static_cast<long>(keep));
        CMidiSong song;
        LoadSong(song, cut);
        EXPECT_EQ(song.GetTrackList().GetTrackCount(), r.tracks) << r.what;
        if (r.tracks == 2) {
            EXPECT_EQ(Track(song, 1)->CountEvents(), r.eventsOfSecond) << r.what;
        }
    }
}

TEST(SongLoad, ADamagedEventDoesNotCorruptTheStoredLength)
{
    // The second event is cut inside its body: storing the track writes only the
    // first event, and the chunk length says exactly that.
    Bytes file = Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0x90, 60, 64, 0, 0xFF, 0x03, 5, 'a'}, 20)});
    CMidiSong song;
    LoadSong(song, file);
    ASSERT_EQ(Track(song, 0)->CountEvents(), 1u);
    EXPECT_EQ(StoreSong(song), Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0x90, 60, 64})}));
}

TEST(SongLoad, ALengthBeyondTheFileFailsTheEventWithoutAllocatingIt)
{
    // 0x0FFFFFFF bytes of meta data declared in a 30-byte file.
    Bytes body = {0, 0x90, 60, 64, 0, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x7F, 'x'};
    CMidiSong song;
    LoadSong(song, Cat({Header(0, 1, 96), Chunk("MTrk", body, 0xFFFFFFFF)}));
    ASSERT_EQ(song.GetTrackList().GetTrackCount(), 1);
    EXPECT_EQ(Track(song, 0)->CountEvents(), 1u);

    // The same for system exclusive data.
    body = {0, 0xF0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2};
    LoadSong(song, Cat({Header(0, 1, 96), Chunk("MTrk", body)}));
    EXPECT_EQ(Track(song, 0)->CountEvents(), 0u);
}

TEST(SongLoad, ALengthBeyondItsChunkFailsTheEvent)
{
    // The text claims 10 bytes; its chunk holds 2 more, though the file has plenty.
    Bytes body = {0, 0xFF, 0x01, 10, 'a', 'b'};
    Bytes next = Chunk("MTrk", {0, 0xFF, 0x2F, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    CMidiSong song;
    LoadSong(song, Cat({Header(0, 1, 96), Chunk("MTrk", body), next}));
    ASSERT_GE(song.GetTrackList().GetTrackCount(), 1);
    EXPECT_EQ(Track(song, 0)->CountEvents(), 0u);
}

TEST(SongLoad, ADataByteWhereTheFirstStatusBelongsEndsTheTrack)
{
    CMidiSong song;
    LoadSong(song, Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0x3C, 0x64, 0, 0x90, 0x3C, 0x64})}));
    ASSERT_EQ(song.GetTrackList().GetTrackCount(), 1);
    EXPECT_EQ(Track(song, 0)->CountEvents(), 0u);
    EXPECT_EQ(Track(song, 0)->m_dwComputedLength, 0u);
}

TEST(SongLoad, QuantitiesSpelledLongerThanNeededStoreInTheirShortestForm)
{
    // Delta 0 as 80 00 and a text length 2 as 80 02: both stored in one byte, and the
    // chunk length says so.
    CMidiSong song;
    LoadSong(song, Cat({Header(0, 1, 96), Chunk("MTrk", {0x80, 0x00, 0x90, 60, 64, 0, 0xFF, 0x01, 0x80, 0x02, 'h', 'i'})}));
    ASSERT_EQ(Track(song, 0)->CountEvents(), 2u);
    EXPECT_EQ(StoreSong(song), Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0x90, 60, 64, 0, 0xFF, 0x01, 2, 'h', 'i'})}));
}

TEST(SongLoad, AChannelDataByteWithBitSevenSetEndsTheTrack)
{
    // Program change "C2 C2": the second C2 is a status, not a program number.
    CMidiSong song;
    LoadSong(song, Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0x90, 60, 64, 0, 0xC2, 0xC2, 0, 0xC2, 5})}));
    ASSERT_EQ(Track(song, 0)->CountEvents(), 1u);
    EXPECT_EQ(StoreSong(song), Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0x90, 60, 64})}));
}

TEST(SongLoad, RunningStatusAfterAMetaEventStoresAConsistentLength)
{
    // A data byte after a meta event runs on 0xFF; the writer spells the 0xFF out,
    // so the stored chunk length must count it.
    CMidiSong song;
    LoadSong(song, Cat({Header(0, 1, 96), Chunk("MTrk", {0, 0xFF, 0x01, 1, 'a', 0, 0x01, 1, 'b'})}));
    ASSERT_EQ(Track(song, 0)->CountEvents(), 2u);
    Bytes stored = StoreSong(song);
    CMidiSong again;
    LoadSong(again, stored);
    EXPECT_EQ(DumpOf(again), DumpOf(song));
    EXPECT_EQ(Track(again, 0)->m_dwConsumed, Track(song, 0)->m_dwComputedLength);
}

TEST(SongStore, ASongNeverLoadedStoresAValidEmptyFile)
{
    CMidiSong song;
    Bytes stored = StoreSong(song);
    EXPECT_EQ(stored, Header(0, 0, 0));
    CMidiSong back;
    LoadSong(back, stored);
    EXPECT_EQ(back.GetHeader().m_nKind, CMidiChunk::kHeader);
    EXPECT_EQ(back.GetTrackList().GetTrackCount(), 0);
}

TEST(SongStore, LoadingAgainAfterClearDoesNotGrowTheHeader)
{
    Bytes file = Cat({Header(1, 1, 96), Chunk("MTrk", {0, 0xFF, 0x2F, 0})});
    CMidiSong song;
    LoadSong(song, file);
    song.Clear();
    LoadSong(song, file);
    EXPECT_EQ(StoreSong(song), file);
}

TEST(FileArchive, LoadsAndStoresThroughFiles)
{
    CTempDir dir;
    Bytes file = Cat({Header(1, 1, 96), Chunk("MTrk", {0, 0x90, 60, 64, 0x60, 60, 0, 0, 0xFF, 0x2F, 0})});
    std::string in = dir.File("in.mid"), out = dir.File("out.mid");
    {
        CMidiArchive ar;
        ASSERT_TRUE(ar.Write(file.data(), file.size()));
        std::FILE* f = std::fopen(in.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(ar.Bytes().data(), 1, ar.Bytes().size(), f);
        std::fclose(f);
    }
    CMidiSong song;
    {
        CMidiArchive ar(in, CMidiArchive::Mode::Load);
        ASSERT_TRUE(ar.IsOpen());
        song.Serialize(ar);
    }
    {
        CMidiArchive ar(out, CMidiArchive::Mode::Store);
        song.Serialize(ar);
        ASSERT_TRUE(ar.Close());
    }
    EXPECT_EQ(std::filesystem::file_size(out), file.size());
    CMidiArchive missing(dir.File("missing.mid"), CMidiArchive::Mode::Load);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_FALSE(missing.LastError().empty());
}

} // namespace
