#pragma once
// The MIDI channels as every part of the program counts them: 16, numbered 0-15
// inside the program (1-16 where the user sees them), the channel of a channel
// message in the low four bits of its status byte.

#include <cstdint>

inline constexpr int kMidiChannels = 16;
// General MIDI plays channel 10 (9 here) on drums.
inline constexpr int kPercussionChannel = 9;

// The channel (0-15) of a channel message's status byte.
[[nodiscard]] constexpr int ChannelOfStatus(std::uint8_t status)
{
    return status & 0x0F;
}
