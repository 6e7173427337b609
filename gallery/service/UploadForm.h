#pragma once
// The multipart form of one ringtone post, read exactly as the program writes it:
//   "--" boundary CR LF, a Content-Disposition line naming the field, an empty line,
//   the value, CR LF; for submitter, password, tone and category in turn; then the
//   file part, whose data runs straight into the closing line "--" boundary "--" CR LF,
//   and one zero byte.
// The fields may come in any order as long as the file comes last; the zero byte and
// the final CR LF may be missing.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct CUploadForm {
    std::string m_strSubmitter;
    std::string m_strPassword;
    std::string m_strTone;
    std::string m_strCategory;
    std::vector<std::uint8_t> m_data; // the compressed ringtone package, as sent
};

// The boundary named by a Content-Type value "multipart/form-data; boundary=...".
// False with the reason in `error` for another media type or a missing boundary.
[[nodiscard]] bool MultipartBoundaryOf(std::string_view contentType, std::string& boundary, std::string& error);

// Splits a whole request body into the five fields. False with the first fault in
// `error` (a sentence fragment such as "the body does not start with the boundary
// line"); `form` is then unspecified. Values are taken byte for byte; checking them
// is CheckUpload's work.
[[nodiscard]] bool ParseUploadForm(std::string_view contentType, std::span<const std::uint8_t> body,
                                   CUploadForm& form, std::string& error);
