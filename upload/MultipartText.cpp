#include "upload/MultipartText.h"

void AppendText(std::vector<unsigned char>& body, std::string_view text)
{
    body.insert(body.end(), text.begin(), text.end());
}

void AppendFormField(std::vector<unsigned char>& body, std::string_view name, std::string_view value)
{
    AppendText(body, kMultipartDelimiter);
    AppendText(body, "\r\nContent-Disposition: form-data; name=\"");
    AppendText(body, name);
    AppendText(body, "\"\r\n\r\n");
    AppendText(body, value);
    AppendText(body, "\r\n");
}
