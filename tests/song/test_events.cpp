#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "song/GmNames.h"
#include "song/MidiChannelEvent.h"
#include "song/MidiMessage.h"
#include "song/MidiMetaEvent.h"
#include "song/MidiSysexEvent.h"
#include "song/MidiTrack.h"
#include "song/MidiTrackList.h"
#include "tests/support/MidiBytes.h"

namespace {

std::unique_ptr<CMidiMetaEvent> Meta(std::uint8_t type, std::initializer_list<std::uint8_t> data)
{
    auto e = std::make_unique<CMidiMetaEvent>(0, 0xFF);
    e->m_byMetaType = type;
    e->m_dwDataLength = static_cast<std::uint32_t>(data.size());
    if (data.size()) {
        e->m_pData = std::make_unique<std::uint8_t[]>(data.size());
        std::copy(data.begin(), data.end(), e->m_pData.get());
    }
    return e;
}

TEST(MetaEvent, ValuesFollowTheMetaType)
{
    EXPECT_EQ(Meta(0x51, {0x07, 0xA1, 0x20})->GetValue(), 500000);
    EXPECT_EQ(static_cast<std::uint32_t>(Meta(0x58, {0x04, 0x02, 0x18, 0x08})->GetValue()), 0x08180404u);
    EXPECT_EQ(Meta(0x59, {0xFE, 0x01})->GetValue(), 0xFE01);
    EXPECT_EQ(Meta(0x03, {'a', 'b'})->GetValue(), 0);
}

TEST(MetaEvent, ValuesOfDataTooShortForTheFormulaAreZero)
{
    EXPECT_EQ(Meta(0x51, {0x07, 0xA1})->GetValue(), 0);
    EXPECT_EQ(Meta(0x58, {0x04, 0x02, 0x18})->GetValue(), 0);
    EXPECT_EQ(Meta(0x59, {0xFE})->GetValue(), 0);
    EXPECT_EQ(Meta(0x51, {})->GetValue(), 0);
}

TEST(MetaEvent, TimeSignatureDenominatorKeepsItsLowEightBits)
{
    // 2^7 = 128 still fits; 2^8 and beyond (and absurd powers) leave 0, never a bad shift.
    EXPECT_EQ((Meta(0x58, {3, 7, 0, 0})->GetValue() >> 8) & 0xFF, 128);
    EXPECT_EQ((Meta(0x58, {3, 8, 0, 0})->GetValue() >> 8) & 0xFF, 0);
    EXPECT_EQ((Meta(0x58, {3, 200, 0, 0})->GetValue() >> 8) & 0xFF, 0);
}

TEST(MetaEvent, NamesAndCategoriesComeFromTheTypeTable)
{
    struct Row {
        std::uint8_t type;
        const char* name;
        std::int32_t category;
    } rows[] = {
        {0x00, "Sequence number", 0}, {0x01, "General text   ", 1}, {0x07, "Cue point      ", 1},
        {0x2F, "End of track   ", 0}, {0x51, "Set tempo      ", 2}, {0x58, "Time signature ", 3},
        {0x59, "Key signature  ", 4}, {0x7F, "Sequencer      ", 0}, {0x0A, "Unknown        ", 0},
    };
    for (const Row& r : rows) {
        auto e = Meta(r.type, {});
        EXPECT_EQ(e->GetName(), r.name) << int(r.type);
        EXPECT_EQ(e->GetName().size(), 15u);
        EXPECT_EQ(e->GetCategory(), r.category) << int(r.type);
    }
}

TEST(MetaEvent, TextIsCutAt255Characters)
{
    auto e = std::make_unique<CMidiMetaEvent>(0, 0xFF);
    e->m_byMetaType = 0x01;
    e->m_dwDataLength = 300;
    e->m_pData = std::make_unique<std::uint8_t[]>(300);
    for (int i = 0; i < 300; ++i)
        e->m_pData[i] = static_cast<std::uint8_t>('a' + i % 26);
    std::string text = e->GetText();
    ASSERT_EQ(text.size(), 255u);
    EXPECT_EQ(text.substr(0, 3), "abc");
    EXPECT_EQ(Meta(0x01, {})->GetText(), "");
}

TEST(ChannelEvent, NamesAndDataLengthsFollowTheStatusNibble)
{
    const char* names[] = {"Note off       ", "Note on        ", "Poly aftertouch", "Control change ",
                           "Program change ", "Aftertouch     ", "Pitch bend     "};
    const int lengths[] = {2, 2, 2, 2, 1, 1, 2};
    for (int n = 0; n < 7; ++n) {
        CMidiChannelEvent e(0, static_cast<std::uint8_t>(0x80 + n * 0x10 + 5));
        EXPECT_EQ(e.GetName(), names[n]);
        EXPECT_EQ(e.DataLength(), lengths[n]);
        EXPECT_EQ(e.GetValue(), 0);
        EXPECT_EQ(e.GetCategory(), 0);
    }
    EXPECT_EQ(CMidiChannelEvent::DataLengthOf(0xF0), 0);
}

TEST(EventSnapshot, EachKindFillsItsPartOfTheMessage)
{
    CMidiMessage msg;
    CMidiChannelEvent ch(480, 0x93);
    ch.m_byData[0] = 60;
    ch.m_byData[1] = 100;
    ch.GetMessage(msg);
    EXPECT_EQ(msg.m_nKind, CMidiMessage::kChannel);
    EXPECT_EQ(msg.m_dwDelta, 480u);
    EXPECT_EQ(msg.m_byStatus, 0x93);
    EXPECT_EQ(msg.m_byData1, 60);
    EXPECT_EQ(msg.m_byData2, 100);

    Meta(0x51, {0x07, 0xA1, 0x20})->GetMessage(msg);
    EXPECT_EQ(msg.m_nKind, CMidiMessage::kMeta);
    EXPECT_EQ(msg.m_byMetaType, 0x51);
    ASSERT_EQ(msg.m_dwDataLength, 3u);
    EXPECT_EQ(msg.m_pData[2], 0x20);
    EXPECT_EQ(msg.m_byData1, 0) << "the previous fill is cleared";

    CMidiSysexEvent sx(0, 0xF0);
    sx.GetMessage(msg);
    EXPECT_EQ(msg.m_nKind, CMidiMessage::kSysex);
    EXPECT_EQ(msg.m_dwDataLength, 0u);
    EXPECT_EQ(msg.m_pData, nullptr);

    CMidiListHead head;
    head.GetMessage(msg);
    EXPECT_EQ(msg.m_nKind, CMidiMessage::kEndOfList);
}

TEST(EventSnapshot, CopiesOwnTheirData)
{
    CMidiMessage a;
    Meta(0x01, {'x', 'y'})->GetMessage(a);
    CMidiMessage b = a;
    a.Clear();
    ASSERT_EQ(b.m_dwDataLength, 2u);
    EXPECT_EQ(b.m_pData[1], 'y');
    EXPECT_EQ(a.m_pData, nullptr);
}

TEST(EventList, InsertAfterAndUnlinkKeepBothDirections)
{
    CMidiListHead head;
    CMidiChannelEvent a(0, 0x90), b(0, 0x90), c(0, 0x90);
    a.InsertAfter(&head);
    c.InsertAfter(&a);
    b.InsertAfter(&a); // between a and c
    EXPECT_EQ(head.GetNext(), &a);
    EXPECT_EQ(a.GetNext(), &b);
    EXPECT_EQ(b.GetNext(), &c);
    EXPECT_EQ(c.GetNext(), nullptr);
    EXPECT_EQ(c.GetPrev(), &b);
    EXPECT_EQ(a.GetPrev(), &head);

    b.Unlink();
    EXPECT_FALSE(b.IsLinked());
    EXPECT_EQ(b.GetNext(), nullptr);
    EXPECT_EQ(a.GetNext(), &c);
    EXPECT_EQ(c.GetPrev(), &a);
    b.Unlink(); // twice is harmless

    c.InsertAfter(&head); // moving a linked element unlinks it first
    EXPECT_EQ(head.GetNext(), &c);
    EXPECT_EQ(c.GetNext(), &a);
    EXPECT_EQ(a.GetNext(), nullptr);

    b.InsertAfter(nullptr);
    EXPECT_FALSE(b.IsLinked());
    a.Unlink();
    c.Unlink();
}

// A loaded track's head lies in the track, far from its events' block: the links
// between them go through slots, and still hold both ways when the first event moves.
// An event from elsewhere is refused rather than linked wrongly.
TEST(EventList, ALoadedTrackKeepsBothDirectionsAndRefusesAFarEvent)
{
    CMidiSong song;
    LoadSong(song, 96, {CTrackBytes().On(0, 0, 60).Off(96, 0, 60)});
    CMidiListHead* head = song.GetTrackList().GetFirstTrack()->GetEventList();
    CMidiEvent* on = head->GetNext();
    CMidiEvent* off = on->GetNext();
    EXPECT_EQ(on->GetPrev(), head);

    on->InsertAfter(off);
    EXPECT_EQ(head->GetNext(), off);
    EXPECT_EQ(off->GetPrev(), head);
    EXPECT_EQ(off->GetNext(), on);
    EXPECT_EQ(on->GetPrev(), off);

    CMidiChannelEvent stray(0, 0x90); // on the stack, terabytes from the heap
    EXPECT_THROW(stray.InsertAfter(on), std::length_error);
    EXPECT_FALSE(stray.IsLinked());
    EXPECT_EQ(on->GetNext(), nullptr);
}

TEST(TrackList, IteratesInOrderAndClears)
{
    CMidiTrackList list;
    EXPECT_EQ(list.GetTrackCount(), 0);
    list.ResetIterator();
    EXPECT_EQ(list.NextTrack(), nullptr);
    list.Clear();
    EXPECT_EQ(list.GetTrackCount(), 0);
}

TEST(GmNames, TableEntriesAndLabels)
{
    EXPECT_STREQ(GmProgramName(0), "PIANO/Acoustic Grand");
    EXPECT_STREQ(GmProgramName(21), "ORGAN/Accoridan");
    EXPECT_STREQ(GmProgramName(47), "STRINGS/Timpani");
    EXPECT_STREQ(GmProgramName(77), "PIPE/Skakuhachi");
    EXPECT_STREQ(GmProgramName(124), "SOUND EFFECTS/Telephone Zavi");
    EXPECT_STREQ(GmInstrumentName(127), "Gunshot");
    EXPECT_STREQ(GmInstrumentName(7), "Clav");
    EXPECT_EQ(GmChannelLabel(0, 0), "#01 PIANO/Acoustic Grand");
    EXPECT_EQ(GmChannelLabel(15, 127), "#16 SOUND EFFECTS/Gunshot");
    EXPECT_EQ(GmUnknownChannelLabel(8), "#09 Unknown");
    // The categories come in blocks of eight.
    const char* blocks[] = {"PIANO/", "PERCUSSION/", "ORGAN/", "GUITAR/", "BASS/", "STRINGS/", "ENSEMBLE/", "BRASS/",
                            "REED/", "PIPE/", "SYNTH LEAD/", "SYNTH PAD/", "SYNTH EFFECTS/", "ETHNIC/", "PERCUSSIVE/",
                            "SOUND EFFECTS/"};
    for (int p = 0; p < 128; ++p)
        EXPECT_EQ(std::string(GmProgramName(static_cast<std::uint8_t>(p))).rfind(blocks[p / 8], 0), 0u) << p;
}

} // namespace
