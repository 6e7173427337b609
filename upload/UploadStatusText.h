#pragma once
// The texts of the Post dialog's status line.

#include <string_view>

#include "upload/HttpStep.h"

inline constexpr std::string_view kStatusIdle = "Press POST to upload now !";
inline constexpr std::string_view kStatusPosted = "Ringtone upload successful !";
inline constexpr std::string_view kStatusFailed = "Ringtone upload error !";

// The text shown while the transfer passes `step`.
[[nodiscard]] std::string_view UploadStatusText(HttpStep step);
