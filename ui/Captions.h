#pragma once
// Window captions and titles of the desktop program.

// The main window's caption before a file is opened; "<caption> - <file title>" after.
inline constexpr char kMainCaption[] = "Zorvat Zavi 0.99 (Beta)";
// The application title: the caption of the framework's own messages.
inline constexpr char kAppTitle[] = "ZorvatTone";
