#include "melody/SameLine.h"

#include <cstdint>
#include <vector>

#include "song/SongNotes.h"

namespace {

struct TopNote {
    std::uint64_t tick;
    int pitchClass;
};

// The highest note of each onset of every channel (Notes() lists a chord's highest first).
std::array<std::vector<TopNote>, kMidiChannels> TopLines(const CSongNotes& notes)
{
    std::array<std::vector<TopNote>, kMidiChannels> lines;
    for (const SongNote& n : notes.Notes()) {
        std::vector<TopNote>& line = lines[n.byChannel & 15];
        if (line.empty() || line.back().tick != n.qwStart)
            line.push_back(TopNote{n.qwStart, n.byPitch % 12});
    }
    return lines;
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

std::array<bool, kMidiChannels> ChannelsPlayingAlong(const CSongNotes& notes, int channel)
{
    const std::array<std::vector<TopNote>, kMidiChannels> lines = TopLines(notes);
    const std::vector<TopNote>& line = lines[channel & 15];
    const std::uint64_t thirtySecond = notes.Division() / 8;
    std::array<bool, kMidiChannels> along{};
    for (int c = 0; c < kMidiChannels; ++c) {
        const std::vector<TopNote>& other = lines[c];
        if (c == channel || line.empty() || other.empty())
            continue;
        const double share = 2.0 * static_cast<double>(SamePitchMatches(line, other, thirtySecond)) /
                             static_cast<double>(line.size() + other.size());
        along[c] = share >= kSameLineShare;
    }
    return along;
}
