#pragma once
// The song of the file-system fault drills and the sizes of the files it makes, so
// that a drill can set a limit that lets some files through and stops the next.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "convert/RingtoneConverter.h"
#include "prompt/Prompt.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "tests/support/FaultyDir.h"
#include "tests/support/TempDir.h"

// Thirty notes: a preview of a few hundred bytes, far below a page, and a longer
// preview than hex text.
inline std::string DrillSong()
{
    std::string text = "Drill:d=4,o=5,b=140:";
    const char* notes[] = {"8c5,", "8e5,", "4g5,", "8a#5,", "16f6,", "2d#5,"};
    for (int i = 0; i < 30; ++i)
        text += notes[i % 6];
    return text;
}

// What an earlier run left in a temporary directory, which a failed one must not touch.
inline const FileMap kEarlierFiles = {{"1700000000", std::string(300, 'p')}, {"notes.txt", "keep me\n"}};

struct DrillSizes {
    std::uint64_t midi = 0; // the preview
    std::uint64_t hex = 0;  // zorvat.pdu
    // The package before compression.
    [[nodiscard]] std::uint64_t Package() const { return kPackageHeaderSize + midi + hex; }
};

// The sizes for the preview program 57 and 96 ticks per quarter, what the form uses
// without a song or a chosen instrument.
inline DrillSizes MeasureDrill()
{
    CTempDir sound;
    CMemorySettingsStore settings;
    settings.SetString(kProfileSystem, kProfileTempDir, sound.Path());
    CRecordingPrompt prompt;
    CRingtoneConverter converter(DrillSong(), 96, settings, prompt);
    std::string text;
    EXPECT_TRUE(converter.Convert(text, ""));
    DrillSizes sizes;
    sizes.midi = std::filesystem::file_size(sound.File("zorvat.mid"));
    const auto& notes = converter.Notes();
    sizes.hex = HexOf(BuildRingtoneMessage(converter.ToneName(), converter.Tempo(),
                                           static_cast<std::int32_t>(notes.size()), notes.data()))
                    .size();
    EXPECT_GT(sizes.midi, sizes.hex);
    return sizes;
}
