#pragma once
// Pieces shared by the upload body and the diagnostic body.

#include <string_view>
#include <vector>

// A delimiter line without its CR LF: two hyphens more than the header's boundary.
inline constexpr std::string_view kMultipartDelimiter = "-----------------------------7cf2e411b8c";

void AppendText(std::vector<unsigned char>& body, std::string_view text);
// The delimiter line, the Content-Disposition of field `name`, an empty line, `value`, CR LF.
void AppendFormField(std::vector<unsigned char>& body, std::string_view name, std::string_view value);
