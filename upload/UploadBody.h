#pragma once
// The gallery upload's request body: a multipart form of submitter, password, tone
// name, category and the ringtone package, byte for byte as the gallery server reads it.

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

// The one extra request header of an upload, without a trailing CR LF. The lower-case
// "t" and the 27 hyphens of the boundary are what the server expects.
inline constexpr std::string_view kUploadHeaderLine =
    "Content-type: multipart/form-data; boundary=---------------------------7cf2e411b8c";

// Bytes of the body that do not depend on the values, the final zero byte included.
inline constexpr std::size_t kUploadBodyFixedBytes = 576;

// The category word of a position in the Post dialog's list (0-based): 0 "ENGLISH",
// 1 "CHINESE", 2 "CLASSICAL", any other position "OTHERS".
[[nodiscard]] std::string_view UploadCategoryWord(int position);

// The whole body to send: the eight pieces in order, the last one a single zero byte
// that the server counts as part of the body. Its size is the Content-Length, always
// kUploadBodyFixedBytes plus the lengths of the five values. Text values are copied
// byte for byte (no escaping); data may hold zero bytes. Values of any length fit.
[[nodiscard]] std::vector<unsigned char> BuildUploadBody(std::string_view submitter, std::string_view password,
                                                         std::string_view tone, std::string_view category,
                                                         std::span<const unsigned char> data);
