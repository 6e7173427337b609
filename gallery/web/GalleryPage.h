#pragma once
// The gallery's pages. Every page has the same header: the title, each category
// (English Song, Chinese Song, Classical Music, Others) with its count and a link to
// its pages, and a search box by ringtone name or nickname, optionally in one
// category.
//   "/"  the front page: each category's newest ringtones (kFrontPageTones) with a
//        link to the category's pages; it stays small however large the gallery.
//   a listing (ToneListing.h): a category's page, a search's or an author's, newest
//        first, kTonesPerPage a page, with links to the previous and next pages.
// A ringtone shows its name, its author (a link to the author's page), its date, the
// RTTTL text decoded from the stored message, an audio player of "/tone/ID.ogg", the
// downloads "/tone/ID.mid", ".ott" (the binary ringing tone) and ".txt" (its hex
// text), a link to its files for devices ("/tone/ID/devices"), and a delete form that
// posts "password" to "/tone/ID/delete".
//
// The pages hold no style or script of their own (the server's Content-Security-Policy
// would refuse them): they load /static/gallery.css and /static/gallery.js, nothing
// from elsewhere, and read on a phone screen.

#include <string>

#include "gallery/web/ToneListing.h"

[[nodiscard]] std::string RenderFrontPage(const CFrontPage& front);
[[nodiscard]] std::string RenderListingPage(const CToneListing& listing);
// "/tone/ID/devices": the tone's file for each device target, each marked as posted
// or fitted with the changes the fitting made.
[[nodiscard]] std::string RenderDevicesPage(const CToneRecord& tone);
