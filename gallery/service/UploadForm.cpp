#include "gallery/service/UploadForm.h"

#include <array>
#include <cctype>
#include <optional>

namespace {

constexpr std::size_t kMaxBoundaryChars = 70;    // the longest boundary multipart allows
constexpr std::size_t kMaxPartHeaderBytes = 1024; // headers of one part, all lines together

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The parameter `key` of a header value "type; key=value; key2="quoted"", or nothing.
std::optional<std::string> ParameterOf(std::string_view value, std::string_view key)
{
    std::size_t pos = value.find(';');
    while (pos != std::string_view::npos) {
        std::string_view rest = value.substr(pos + 1);
        std::size_t next = std::string_view::npos;
        bool bQuoted = false;
        // A quoted value may hold ";", so the end of this parameter is found by hand.
        for (std::size_t i = 0; i < rest.size(); ++i) {
            if (rest[i] == '"')
                bQuoted = !bQuoted;
            else if (rest[i] == ';' && !bQuoted) {
                next = i;
                break;
            }
        }
        std::string_view param = Trim(rest.substr(0, next));
        std::size_t eq = param.find('=');
        if (eq != std::string_view::npos && Lower(Trim(param.substr(0, eq))) == key) {
            std::string_view v = Trim(param.substr(eq + 1));
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
                v = v.substr(1, v.size() - 2);
            return std::string(v);
        }
        pos = next == std::string_view::npos ? next : pos + 1 + next;
    }
    return std::nullopt;
}

struct CPartHeader {
    std::string m_strName;
    bool m_bFile = false; // a filename parameter was given
};

class CFormReader {
public:
    CFormReader(std::string_view body, std::string boundary) : m_body(body), m_strDash("--" + std::move(boundary)) {}

    bool Read(CUploadForm& form, std::string& error);

private:
    bool ReadPartHeader(CPartHeader& header, std::string& error);
    bool Store(const CPartHeader& header, std::string_view value, CUploadForm& form, std::string& error);
    bool Expect(std::string_view text)
    {
        if (m_body.substr(m_pos, text.size()) != text)
            return false;
        m_pos += text.size();
        return true;
    }

    std::string_view m_body;
    std::string m_strDash;   // "--" and the boundary
    std::size_t m_pos = 0;
    std::size_t m_end = 0;   // where the closing line starts
    std::array<bool, 5> m_seen{};
};

constexpr std::array<std::string_view, 5> kFieldNames = {"submitter", "password", "tone", "category", "file"};
constexpr std::size_t kFileField = 4;

bool CFormReader::Read(CUploadForm& form, std::string& error)
{
    // The end is known first: the file's data has no terminator of its own and may
    // hold any byte, so it runs up to the closing line, which must end the body.
    std::string_view body = m_body;
    if (!body.empty() && body.back() == '\0')
        body.remove_suffix(1);
    if (body.size() >= 2 && body.substr(body.size() - 2) == "\r\n")
        body.remove_suffix(2);
    std::string closing = m_strDash + "--";
    if (body.size() < closing.size() || body.substr(body.size() - closing.size()) != closing) {
        error = "the body does not end with the closing boundary line";
        return false;
    }
    m_end = body.size() - closing.size();

    if (!Expect(m_strDash + "\r\n")) {
        error = "the body does not start with the boundary line";
        return false;
    }
    for (;;) {
        CPartHeader header;
        if (!ReadPartHeader(header, error))
            return false;
        if (header.m_bFile) {
            if (m_pos > m_end) {
                error = "the file part has no data before the closing boundary line";
                return false;
            }
            if (!Store(header, m_body.substr(m_pos, m_end - m_pos), form, error))
                return false;
            break;
        }
        // A text value ends at the first CR LF; a boundary line must follow it.
        std::size_t eol = m_body.find("\r\n", m_pos);
        if (eol == std::string_view::npos || eol > m_end) {
            error = "the value of the field \"" + header.m_strName + "\" is not followed by a boundary line";
            return false;
        }
        if (!Store(header, m_body.substr(m_pos, eol - m_pos), form, error))
            return false;
        m_pos = eol + 2;
        if (m_pos == m_end)
            break;
        if (!Expect(m_strDash + "\r\n")) {
            error = "the value of the field \"" + header.m_strName + "\" is not followed by a boundary line";
            return false;
        }
    }
    for (std::size_t i = 0; i < kFieldNames.size(); ++i)
        if (!m_seen[i]) {
            error = "the form has no field \"" + std::string(kFieldNames[i]) + "\"";
            return false;
        }
    return true;
}

bool CFormReader::ReadPartHeader(CPartHeader& header, std::string& error)
{
    std::size_t blank = m_body.find("\r\n\r\n", m_pos);
    if (blank == std::string_view::npos || blank > m_end || blank - m_pos > kMaxPartHeaderBytes) {
        error = "a part of the form has no complete header";
        return false;
    }
    std::string_view lines = m_body.substr(m_pos, blank + 2 - m_pos);
    m_pos = blank + 4;
    bool bDisposition = false;
    while (!lines.empty()) {
        std::size_t eol = lines.find("\r\n");
        std::string_view line = lines.substr(0, eol);
        lines.remove_prefix(eol + 2);
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            error = "a part header line has no colon";
            return false;
        }
        if (Lower(Trim(line.substr(0, colon))) != "content-disposition")
            continue; // Content-Type and the like say nothing the gallery needs
        std::string_view value = Trim(line.substr(colon + 1));
        if (Lower(Trim(value.substr(0, value.find(';')))) != "form-data") {
            error = "a part is not \"form-data\"";
            return false;
        }
        std::optional<std::string> name = ParameterOf(value, "name");
        if (!name || name->empty()) {
            error = "a part of the form has no field name";
            return false;
        }
        header.m_strName = *name;
        header.m_bFile = ParameterOf(value, "filename").has_value();
        bDisposition = true;
    }
    if (!bDisposition) {
        error = "a part of the form has no Content-Disposition line";
        return false;
    }
    // Told before the value is looked for: a file's data and a text value end differently.
    bool bFileField = header.m_strName == kFieldNames[kFileField];
    if (bFileField != header.m_bFile) {
        error = bFileField ? "the field \"file\" has no file name"
                           : "the field \"" + header.m_strName.substr(0, 40) + "\" is sent as a file";
        return false;
    }
    return true;
}

bool CFormReader::Store(const CPartHeader& header, std::string_view value, CUploadForm& form, std::string& error)
{
    std::size_t index = 0;
    while (index < kFieldNames.size() && kFieldNames[index] != header.m_strName)
        ++index;
    if (index == kFieldNames.size()) {
        error = "the form has a field \"" + header.m_strName.substr(0, 40) + "\" the gallery does not know";
        return false;
    }
    if (m_seen[index]) {
        error = "the form has the field \"" + header.m_strName + "\" twice";
        return false;
    }
    m_seen[index] = true;
    switch (index) {
    case 0:
        form.m_strSubmitter = value;
        break;
    case 1:
        form.m_strPassword = value;
        break;
    case 2:
        form.m_strTone = value;
        break;
    case 3:
        form.m_strCategory = value;
        break;
    default:
        form.m_data.assign(value.begin(), value.end());
        break;
    }
    return true;
}

} // namespace

bool MultipartBoundaryOf(std::string_view contentType, std::string& boundary, std::string& error)
{
    if (Lower(Trim(contentType.substr(0, contentType.find(';')))) != "multipart/form-data") {
        error = "the request is not a multipart form (its Content-Type is \"" +
                std::string(contentType.substr(0, 60)) + "\")";
        return false;
    }
    std::optional<std::string> value = ParameterOf(contentType, "boundary");
    if (!value || value->empty() || value->size() > kMaxBoundaryChars) {
        error = "the Content-Type names no usable boundary";
        return false;
    }
    boundary = *value;
    return true;
}

bool ParseUploadForm(std::string_view contentType, std::span<const std::uint8_t> body, CUploadForm& form,
                     std::string& error)
{
    std::string boundary;
    if (!MultipartBoundaryOf(contentType, boundary, error))
        return false;
    form = {};
    std::string_view text(reinterpret_cast<const char*>(body.data()), body.size());
    CFormReader reader(text, std::move(boundary));
    return reader.Read(form, error);
}
