#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ringtone/SmartMessaging.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace {

// Octets from a string of '0'/'1' (blanks ignored), zero-padded to a whole octet.
std::vector<std::uint8_t> Bits(const std::string& text)
{
    std::vector<std::uint8_t> out;
    int n = 0;
    for (char c : text) {
        if (c != '0' && c != '1')
            continue;
        if (n % 8 == 0)
            out.push_back(0);
        if (c == '1')
            out.back() = static_cast<std::uint8_t>(out.back() | (0x80 >> (n % 8)));
        ++n;
    }
    return out;
}

unsigned BitsAt(const std::vector<std::uint8_t>& m, std::size_t pos, unsigned n)
{
    unsigned v = 0;
    for (unsigned i = 0; i < n; ++i, ++pos)
        v = (v << 1) | ((m[pos / 8] >> (7 - pos % 8)) & 1u);
    return v;
}

// The declared instruction count follows the title.
unsigned DeclaredCount(const std::vector<std::uint8_t>& m, std::size_t titleLength)
{
    return BitsAt(m, 8 + 8 + 7 + 3 + 4 + 8 * titleLength + 8 + 9, 8);
}

RingtoneNote Note(std::uint16_t semitone, std::uint16_t octave, std::uint16_t duration = 2, std::uint32_t dots = 0)
{
    RtttlNote n;
    n.wNote = static_cast<std::uint16_t>(semitone + 12 * octave);
    n.wDuration = duration;
    n.wScale = static_cast<std::uint16_t>(octave - 4);
    n.dwDots = dots;
    return RingtoneNoteOf(n);
}

RingtoneNote Pause(std::uint16_t duration)
{
    RtttlNote n;
    n.wNote = kRtttlPause;
    n.wDuration = duration;
    return RingtoneNoteOf(n);
}

TEST(SmartMessaging, MyToneWithoutNotesIsTheSeventeenOctetMessage)
{
    auto m = BuildRingtoneMessage("MyTone", 120, 0, nullptr);
    EXPECT_EQ(m, Hex("02 4A 3A 59 35 E5 51 BD B9 94 04 00 06 C8 E4 80 00"));
    EXPECT_EQ(HexOf(m), "024A3A5935E551BDB994040006C8E48000");
}

TEST(SmartMessaging, EncodeWritesTheHexFileWithoutSeparatorOrNewline)
{
    CTempDir dir;
    EXPECT_TRUE(EncodeRingtone(dir.File("zorvat.pdu"), "MyTone", 120, 0, nullptr, true));
    EXPECT_EQ(ReadFile(dir.File("zorvat.pdu")), "024A3A5935E551BDB994040006C8E48000");
    EXPECT_TRUE(EncodeRingtone(dir.File("not-written.pdu"), "MyTone", 120, 0, nullptr, false));
    EXPECT_FALSE(Exists(dir.File("not-written.pdu")));
    // A file that cannot be made does not change the verdict.
    EXPECT_TRUE(EncodeRingtone(dir.File("missing/zorvat.pdu"), "MyTone", 120, 0, nullptr, true));
}

TEST(SmartMessaging, NotesWithAPauseInAnotherOctaveMatchTheBitLayout)
{
    std::vector<RingtoneNote> notes = {Note(0, 5), Pause(3), Note(2, 5)};
    auto m = BuildRingtoneMessage("MyTone", 120, 3, notes.data());
    std::string title = "01001101 01111001 01010100 01101111 01101110 01100101";
    EXPECT_EQ(m, Bits("00000010 0100101 0 0011101 001 0110" + title + "00000001 000 00 0000 00001000" // 8 declared
                      "011 00 100 01110 010 01"
                      "001 0001 011 00"  // 8c5
                      "010 00 001 0000 010 00" // scale 00, 4p
                      "010 01 001 0011 011 00" // scale 01, 8d5
                      "0 00000000"));
}

TEST(SmartMessaging, DeclaredCountIsTheNumberOfInstructionsWritten)
{
    struct Case {
        const char* name;
        std::vector<RingtoneNote> notes;
        unsigned declared;
    };
    const std::vector<Case> cases = {
        {"no notes declare style, tempo and scale", {}, 3},
        {"three notes in octave 5 declare six", {Note(0, 5), Note(2, 5), Note(4, 5)}, 6},
        {"a pause between two notes brings two scale changes", {Note(0, 5), Pause(3), Note(2, 5)}, 8},
        {"every scale change counts, from octave 5 on", {Note(0, 4), Note(0, 5), Note(0, 6), Note(0, 7)}, 3 + 4 + 4},
    };
    for (const Case& c : cases) {
        auto m = BuildRingtoneMessage("MyTone", 120, static_cast<int>(c.notes.size()), c.notes.data());
        EXPECT_EQ(DeclaredCount(m, 6), c.declared) << c.name;
    }
}

TEST(SmartMessaging, SizeGrowsTwelveBitsPerNoteAndFivePerScaleChange)
{
    EXPECT_EQ(BuildRingtoneMessage("0123456789", 120, 0, nullptr).size(), 21u);
    EXPECT_EQ(BuildRingtoneMessage("0123456789ABC", 120, 0, nullptr), BuildRingtoneMessage("0123456789", 120, 0, nullptr));
    std::vector<RingtoneNote> sameOctave(8, Note(0, 5));
    // 121 bits of header and 8 * 12 bits of notes, padded, then the end octet.
    EXPECT_EQ(BuildRingtoneMessage("MyTone", 120, 8, sameOctave.data()).size(), (121 + 96 + 7) / 8 + 1);
    std::vector<RingtoneNote> alternating = {Note(0, 4), Note(0, 5), Note(0, 4), Note(0, 5)};
    EXPECT_EQ(BuildRingtoneMessage("MyTone", 120, 4, alternating.data()).size(), (121 + 48 + 20 + 7) / 8 + 1);
}

TEST(SmartMessaging, VerdictTurnsAtTheHundredThirtyFirstOctet)
{
    std::vector<RingtoneNote> notes(300, Note(0, 5));
    // 121 + 75 * 12 + 5 bits (one scale change) make exactly 130 octets with the end.
    std::fill(notes.begin() + 74, notes.end(), Note(0, 6));
    EXPECT_EQ(BuildRingtoneMessage("MyTone", 120, 75, notes.data()).size(), 130u);
    EXPECT_TRUE(EncodeRingtone("", "MyTone", 120, 75, notes.data(), false));
    EXPECT_EQ(BuildRingtoneMessage("MyTone", 120, 76, notes.data()).size(), 131u);
    EXPECT_FALSE(EncodeRingtone("", "MyTone", 120, 76, notes.data(), false));
    // The count is held to 0..255.
    EXPECT_EQ(BuildRingtoneMessage("MyTone", 120, 300, notes.data()), BuildRingtoneMessage("MyTone", 120, 255, notes.data()));
    EXPECT_EQ(BuildRingtoneMessage("MyTone", 120, -4, notes.data()), BuildRingtoneMessage("MyTone", 120, 0, nullptr));
}

TEST(SmartMessaging, TempoCodeTakesTheFirstEntryAtOrAboveTheTempo)
{
    const std::vector<std::pair<int, int>> cases = {
        {120, 14}, {125, 14}, {100, 12}, {1, 0}, {25, 0}, {26, 1}, {0, 0}, {-40, 0}, {800, 30}, {801, 31}, {900, 31},
        {901, 31}, {100000, 31},
    };
    for (auto [bpm, code] : cases)
        EXPECT_EQ(TempoCode(bpm), code) << bpm << " bpm";
    EXPECT_EQ(TempoOfCode(14), 125);
    EXPECT_EQ(TempoOfCode(31), 900);
}

TEST(SmartMessaging, NoteCodesFollowTheTables)
{
    EXPECT_EQ(Note(0, 4), (RingtoneNote{0x10, 0x60, 0x00, 0x00}));
    EXPECT_EQ(Note(11, 7, 5), (RingtoneNote{0xC0, 0x00, 0x00, 0xC0}));
    EXPECT_EQ(Note(9, 6, 0), (RingtoneNote{0xA0, 0xA0, 0x00, 0x80}));
    EXPECT_EQ(Pause(4), (RingtoneNote{0x00, 0x20, 0x00, 0x00}));
    const std::uint32_t specifiers[] = {0x00, 0x40, 0x80, 0xC0, 0x00};
    for (std::uint32_t dots = 0; dots < 5; ++dots)
        EXPECT_EQ(Note(0, 5, 2, dots).dwSpecifier, specifiers[dots]) << dots << " dots";
}

TEST(SmartMessaging, PutBitsFillsFromTheMostSignificantBitAcrossOctets)
{
    std::vector<std::uint8_t> buf;
    std::size_t pos = PutBits(buf, 0, 0xA0, 3); // 101
    pos = PutBits(buf, pos, 0xFF, 7);
    EXPECT_EQ(pos, 10u);
    EXPECT_EQ(PadToOctet(buf, pos), 16u);
    EXPECT_EQ(PadToOctet(buf, 16), 16u);
    const std::uint8_t text[] = {0x12, 0x34};
    pos = PutBits(buf, 16, text, 12);
    EXPECT_EQ(pos, 28u);
    EXPECT_EQ(buf, (std::vector<std::uint8_t>{0xBF, 0xC0, 0x12, 0x30}));
}

} // namespace
