#pragma once
// What the Setup dialog offers on its first run for an empty Path and Media Player.

#include <QString>
#include <QStringList>
#include <string>

// The file name of the project's own preview player.
inline constexpr char kPlayerProgram[] = "zorvattone-play";

// The system's temporary directory ($TMPDIR, else /tmp), without a trailing separator.
[[nodiscard]] std::string DefaultTempDirectory();
// The preview player: the executable beside this program's own, else the first one
// found in `searchPaths` (the PATH when the list is empty); empty when there is none.
[[nodiscard]] std::string FindMediaPlayer(const QString& programDir, const QStringList& searchPaths = {});
// FindMediaPlayer for the running program.
[[nodiscard]] std::string DefaultMediaPlayer();
