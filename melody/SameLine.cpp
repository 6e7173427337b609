#include "melody/SameLine.h"

#include <cstdint>
#include <vector>

#include "song/SongNotes.h"

namespace {

struct TopNote {
    std::uint64_t tick;
    int pitchClass;
};

// The highest note of each onset of the channel (Notes() lists a chord's highest first).
std::vector<TopNote> TopLine(const CSongNotes& notes, int channel)
{
    std::vector<TopNote> line;
    for (const SongNote& n : notes.Notes())
        if (n.byChannel == channel && (line.empty() || line.back().tick != n.qwStart))
            line.push_back(TopNote{n.qwStart, n.byPitch % 12});
    return line;
}

// The two lines matched one to one in time order within the tolerance; counts the
// matches at the same pitch class.
std::size_t SamePitchMatches(const std::vector<TopNote>& a, const std::vector<TopNote>& b, std::uint64_t tolerance)
{
    std::size_t next = 0;
    std::size_t same = 0;
    for (const TopNote& x : a) {
        while (next < b.size() && b[next].tick + tolerance < x.tick)
            ++next;
        if (next < b.size() && b[next].tick <= x.tick + tolerance) {
            same += b[next].pitchClass == x.pitchClass ? 1 : 0;
            ++next;
        }
    }
    return same;
}

} // namespace

double SameLineShare(const CSongNotes& notes, int channelA, int channelB)
{
    const std::vector<TopNote> a = TopLine(notes, channelA);
    const std::vector<TopNote> b = TopLine(notes, channelB);
    if (a.empty() || b.empty())
        return 0;
    const std::uint64_t thirtySecond = notes.Division() / 8;
    return 2.0 * static_cast<double>(SamePitchMatches(a, b, thirtySecond)) / static_cast<double>(a.size() + b.size());
}

bool PlaySameLine(const CSongNotes& notes, int channelA, int channelB)
{
    return SameLineShare(notes, channelA, channelB) >= kSameLineShare;
}
