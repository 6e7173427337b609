#pragma once
// The files under /static/ (gallery/static/): the page's style sheet and script,
// built into the program at build time so that it serves its pages without any file
// beside it.

#include <string_view>

struct CStaticFile {
    std::string_view m_strContentType;
    std::string_view m_strBody;
};

// The file called `name` ("gallery.css"), or nullptr.
[[nodiscard]] const CStaticFile* FindStaticFile(std::string_view name);
