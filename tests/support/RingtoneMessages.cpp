#include "tests/support/RingtoneMessages.h"

#include "ringtone/SmartMessaging.h"

std::vector<RingtoneNote> ScaleNotes(int count)
{
    static constexpr std::uint32_t kNotes[] = {0x10, 0x30, 0x50, 0x60, 0x80, 0xA0, 0xC0};
    std::vector<RingtoneNote> notes;
    for (int i = 0; i < count; ++i)
        notes.push_back({kNotes[i % 7], 0x60, 0x00, 0x40});
    return notes;
}

std::vector<std::uint8_t> MessageOf(const std::string& name, int tempo, const std::vector<RingtoneNote>& notes)
{
    return BuildRingtoneMessage(name, tempo, static_cast<std::int32_t>(notes.size()), notes.data());
}
