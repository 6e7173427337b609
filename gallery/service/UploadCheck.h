#pragma once
// Everything a post must pass before anything is stored: the text fields (normalised
// by NameText.h), the category, and the package (LZW stream, "ZORVATTONE", a MIDI
// part of at most kMaxPreviewMidiBytes that the song reader loads, a hex part that is
// a valid ringing tone of at most 130 octets), and a preview the renderer plays.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "gallery/store/ToneCategory.h"
#include "gallery/service/UploadForm.h"

struct CCheckedUpload {
    std::string m_strAuthor;   // the nickname, normalised
    std::string m_strPassword;
    std::string m_strTone;     // normalised too
    ToneCategory m_category = ToneCategory::Others;
    std::vector<std::uint8_t> m_midi;    // the preview MIDI file
    std::vector<std::uint8_t> m_message; // the ringing-tone octets
};

// False with one whole sentence for the reply in `error` ("The nickname has 40
// characters; the gallery takes at most 32.").
[[nodiscard]] bool CheckUpload(const CUploadForm& form, CCheckedUpload& out, std::string& error);

// True when the song reader loads `midi` as one whole track ending with an end of
// track, with nothing after it. False with a sentence fragment in `error`.
[[nodiscard]] bool CheckPreviewMidi(std::span<const std::uint8_t> midi, std::string& error);

// True when the player and the preview renderer take the loaded `midi`: a division of
// at least 8 ticks per quarter, at most 4 hours long. False with a sentence in `error`
// ("the MIDI file plays for more than 4 hours.").
[[nodiscard]] bool CheckPreviewPlays(std::span<const std::uint8_t> midi, std::string& error);
