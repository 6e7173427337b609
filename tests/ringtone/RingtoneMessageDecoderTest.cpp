#include <gtest/gtest.h>

#include <random>

#include "ringtone/RingtoneMessageDecoder.h"
#include "ringtone/SmartMessaging.h"
#include "tests/support/RingtoneMessages.h"

namespace {

// A message written field by field, for faults the program's encoder never makes.
class CMessageBits {
public:
    CMessageBits& Put(std::uint32_t value, unsigned count)
    {
        for (unsigned n = count; n > 0;) {
            unsigned take = std::min(n, 8u);
            n -= take;
            auto byte = static_cast<std::uint8_t>(((value >> n) & ((1u << take) - 1)) << (8 - take));
            m_pos = PutBits(m_bytes, m_pos, byte, take);
        }
        return *this;
    }
    // Command, sound, basic song, title, one pattern and its header with `count`.
    CMessageBits& Start(const std::string& title, std::uint32_t count)
    {
        Put(0x02, 8).Put(0x25, 7).Put(0, 1).Put(0x1D, 7).Put(1, 3).Put(static_cast<std::uint32_t>(title.size()), 4);
        for (char c : title)
            Put(static_cast<std::uint8_t>(c), 8);
        return Put(1, 8).Put(0, 3).Put(0, 2).Put(0, 4).Put(count, 8);
    }
    CMessageBits& Note(std::uint32_t note, std::uint32_t duration, std::uint32_t specifier = 0)
    {
        return Put(1, 3).Put(note, 4).Put(duration, 3).Put(specifier, 2);
    }
    std::vector<std::uint8_t> End()
    {
        m_pos = PadToOctet(m_bytes, m_pos);
        Put(0x00, 8);
        return m_bytes;
    }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
};

bool Decode(const std::vector<std::uint8_t>& octets, CDecodedRingtone& out, std::string& error)
{
    return DecodeRingtoneMessage(octets, out, error);
}

TEST(RingtoneMessageDecoder, ReadsTheSeventeenOctetsOfAnEmptyTone)
{
    const std::vector<std::uint8_t> octets = {0x02, 0x4A, 0x3A, 0x59, 0x35, 0xE5, 0x51, 0xBD, 0xB9,
                                              0x94, 0x04, 0x00, 0x06, 0xC8, 0xE4, 0x80, 0x00};
    CDecodedRingtone tone;
    std::string error;
    ASSERT_TRUE(Decode(octets, tone, error)) << error;
    EXPECT_EQ(tone.m_strTitle, "MyTone");
    EXPECT_EQ(tone.m_byTempoCode, 14);
    EXPECT_EQ(tone.m_nTempo, 125);
    EXPECT_EQ(tone.m_nInstructions, 3u);
    EXPECT_TRUE(tone.m_notes.empty());
}

// The encoder's records, as the decoder gives them back.
CDecodedNote Expected(const RingtoneNote& note)
{
    return {static_cast<std::uint8_t>(note.dwNote >> 4), static_cast<std::uint8_t>(note.dwDuration >> 5),
            static_cast<std::uint8_t>(note.dwSpecifier >> 6), static_cast<std::uint8_t>(note.dwScale >> 6)};
}

TEST(RingtoneMessageDecoder, GivesBackEveryNoteOfRandomTonesTheEncoderWrote)
{
    std::mt19937 random(20261208);
    int checked = 0;
    for (int round = 0; round < 500; ++round) {
        std::vector<RingtoneNote> notes(random() % 80);
        for (RingtoneNote& n : notes) {
            n.dwNote = (random() % 13) << 4;
            n.dwDuration = (random() % 6) << 5;
            n.dwSpecifier = (random() % 4) << 6;
            n.dwScale = n.dwNote == 0 ? 0 : (random() % 4) << 6;
        }
        std::string name(random() % 12, static_cast<char>('a' + random() % 26));
        int tempo = static_cast<int>(random() % 1000);
        std::vector<std::uint8_t> octets = MessageOf(name, tempo, notes);
        if (octets.size() > kMaxRingtoneOctets)
            continue;
        CDecodedRingtone tone;
        std::string error;
        ASSERT_TRUE(Decode(octets, tone, error)) << error << " in round " << round;
        EXPECT_EQ(tone.m_strTitle, name.substr(0, 10));
        EXPECT_EQ(tone.m_byTempoCode, TempoCode(tempo));
        ASSERT_EQ(tone.m_notes.size(), notes.size());
        for (std::size_t i = 0; i < notes.size(); ++i)
            EXPECT_EQ(tone.m_notes[i], Expected(notes[i])) << "note " << i << " in round " << round;
        ++checked;
    }
    EXPECT_GT(checked, 200);
}

TEST(RingtoneMessageDecoder, TakesTheDefaultTempoWithoutATempoInstruction)
{
    CDecodedRingtone tone;
    std::string error;
    ASSERT_TRUE(Decode(CMessageBits().Start("", 1).Note(1, 2).End(), tone, error)) << error;
    EXPECT_EQ(tone.m_nTempo, 63);
    ASSERT_EQ(tone.m_notes.size(), 1u);
    EXPECT_EQ(tone.m_notes[0], (CDecodedNote{1, 2, 0, 1}));
}

TEST(RingtoneMessageDecoder, CountsWhatOneListOfNotesCannotSay)
{
    // A looped pattern, a second tempo, the staccato style and a volume.
    CDecodedRingtone tone;
    std::string error;
    std::vector<std::uint8_t> octets = CMessageBits()
                                           .Put(0x02, 8).Put(0x25, 7).Put(0, 1).Put(0x1D, 7).Put(1, 3).Put(0, 4)
                                           .Put(1, 8).Put(0, 3).Put(0, 2).Put(2, 4).Put(6, 8)
                                           .Put(4, 3).Put(14, 5).Put(3, 3).Put(2, 2).Put(5, 3).Put(9, 4)
                                           .Note(1, 2).Put(4, 3).Put(16, 5).Note(3, 2)
                                           .End();
    ASSERT_TRUE(Decode(octets, tone, error)) << error;
    EXPECT_EQ(tone.m_nTempo, 125);
    EXPECT_EQ(tone.m_notes.size(), 2u);
    EXPECT_EQ(tone.m_nLoopedPatterns, 1u);
    EXPECT_EQ(tone.m_nTempoChanges, 1u);
    EXPECT_EQ(tone.m_nOtherStyles, 1u);
    EXPECT_EQ(tone.m_nVolumes, 1u);
}

struct CFaultCase {
    const char* m_szName;
    friend void PrintTo(const CFaultCase& c, std::ostream* os) { *os << c.m_szName; }
    std::vector<std::uint8_t> m_octets;
    std::string m_strError;
};

class RingtoneMessageDecoderRefuses : public testing::TestWithParam<CFaultCase> {};

TEST_P(RingtoneMessageDecoderRefuses, TheMessage)
{
    CDecodedRingtone tone;
    std::string error;
    EXPECT_FALSE(Decode(GetParam().m_octets, tone, error));
    EXPECT_NE(error.find(GetParam().m_strError), std::string::npos) << error;
}

std::vector<std::uint8_t> WithLast(std::vector<std::uint8_t> octets, std::uint8_t extra)
{
    octets.push_back(extra);
    return octets;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RingtoneMessageDecoderRefuses,
    testing::Values(
        CFaultCase{"an_empty_message", {}, "ends inside the command length"},
        CFaultCase{"another_command_length", {0x03, 0x4A}, "command length is 3 instead of 2"},
        CFaultCase{"a_song_type_other_than_basic",
                   CMessageBits().Put(0x02, 8).Put(0x25, 7).Put(0, 1).Put(0x1D, 7).Put(2, 3).End(),
                   "song type is 2 instead of 1"},
        CFaultCase{"a_title_longer_than_the_message", CMessageBits().Put(0x02, 8).Put(0x25, 7).Put(0, 1)
                                                          .Put(0x1D, 7).Put(1, 3).Put(15, 4).Put(0x41, 8).End(),
                   "ends inside the title"},
        CFaultCase{"a_song_without_pattern",
                   CMessageBits().Put(0x02, 8).Put(0x25, 7).Put(0, 1).Put(0x1D, 7).Put(1, 3).Put(0, 4).Put(0, 8)
                       .End(),
                   "has no pattern"},
        CFaultCase{"a_note_beyond_b", CMessageBits().Start("", 1).Note(13, 2).End(), "value 13"},
        CFaultCase{"a_duration_beyond_a_thirty_second", CMessageBits().Start("", 1).Note(1, 6).End(),
                   "duration code 6"},
        CFaultCase{"an_unknown_instruction", CMessageBits().Start("", 1).Put(6, 3).Put(0, 6).End(),
                   "unknown id 6"},
        CFaultCase{"the_reserved_style", CMessageBits().Start("", 1).Put(3, 3).Put(3, 2).End(), "reserved style"},
        // What an encoder that declares 2n + 3 for n notes in one octave writes: three
        // notes declare 9 and hold 6 (style, tempo, scale, three notes).
        CFaultCase{"a_count_larger_than_the_instructions_written",
                   CMessageBits().Start("T", 9).Put(3, 3).Put(0, 2).Put(4, 3).Put(14, 5).Put(2, 3).Put(1, 2)
                       .Note(1, 3).Note(3, 3).Note(5, 3).End(),
                   "instruction 7 of the 9"},
        CFaultCase{"a_filler_that_is_not_zero", CMessageBits().Start("", 1).Note(1, 2).Put(0x0F, 4).Put(0, 8).End(),
                   "filler after the song is not zero bits"},
        CFaultCase{"a_missing_command_end",
                   []() {
                       auto v = CMessageBits().Start("", 0).End();
                       v.pop_back();
                       return v;
                   }(),
                   "ends inside the command end"},
        CFaultCase{"octets_after_the_command_end", WithLast(CMessageBits().Start("", 0).End(), 0x00),
                   "1 octets follow the command end"}),
    [](const testing::TestParamInfo<CFaultCase>& info) { return std::string(info.param.m_szName); });

TEST(RingtoneMessageDecoder, RefusesEveryCutOfAGoodMessage)
{
    std::vector<std::uint8_t> octets = MessageOf("Cut", 120, ScaleNotes(20));
    for (std::size_t size = 0; size < octets.size(); ++size) {
        std::vector<std::uint8_t> cut(octets.begin(), octets.begin() + static_cast<std::ptrdiff_t>(size));
        CDecodedRingtone tone;
        std::string error;
        EXPECT_FALSE(Decode(cut, tone, error)) << "cut to " << size << " octets";
    }
}

} // namespace
