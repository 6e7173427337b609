#pragma once
// Which request goes where:
//   POST /examples/servlet/zvtoneload  a ringtone post, exactly as the program sends it
//   GET  /                             the gallery page: the front page, a category's
//        /?category=WORD&page=N        pages, a search (ToneListing.h)
//        /?q=WORDS&category=WORD
//   GET  /author/NICKNAME              an author's ringtones (the nickname percent-encoded)
//   GET  /api/tones?category=&q=&author=&page=   the same listings as JSON
//   GET  /static/gallery.css, .js      the page's style sheet and script
//   GET  /tone/ID.mid .ott .txt .ogg   the downloads and the audio preview
//   GET  /tone/ID.wav                  301 to /tone/ID.ogg, for links from when it was a WAV
//   POST /tone/ID/delete               deletion, with the form field "password" in the body
// Anything else is 404, or 405 for a known path asked with the wrong method.

#include "gallery/http/GalleryAnswer.h"
#include "gallery/http/GalleryRequest.h"

class CGalleryService;

[[nodiscard]] CGalleryAnswer RouteGalleryRequest(CGalleryService& service, const CGalleryRequest& request);
