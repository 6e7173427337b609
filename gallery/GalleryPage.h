#pragma once
// The gallery page "/": every ringtone under its category (English Song, Chinese
// Song, Classical Music, Others), newest first, with its name, author, date, the RTTTL
// text decoded from the stored message, an audio player of the preview and the
// downloads, and a delete form. One self-contained HTML document: the style sheet is
// inline, nothing is fetched from elsewhere, and it reads on a phone screen.
//
// Links of ringtone ID: "/tone/ID.wav" (the preview as WAV), "/tone/ID.mid",
// "/tone/ID.ott" (the binary ringing tone), "/tone/ID.txt" (its hex text); the delete
// form posts "password" to "/tone/ID/delete".

#include <string>
#include <vector>

#include "gallery/GalleryStore.h"

// `tones` newest first, as CGalleryStore::ListTones gives them.
[[nodiscard]] std::string RenderGalleryPage(const std::vector<CToneRecord>& tones);
