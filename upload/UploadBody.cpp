#include "upload/UploadBody.h"

#include "upload/MultipartText.h"

std::string_view UploadCategoryWord(int position)
{
    switch (position) {
    case 0:
        return "ENGLISH";
    case 1:
        return "CHINESE";
    case 2:
        return "CLASSICAL";
    default:
        return "OTHERS";
    }
}

std::vector<unsigned char> BuildUploadBody(std::string_view submitter, std::string_view password,
                                           std::string_view tone, std::string_view category,
                                           std::span<const unsigned char> data)
{
    // Sized once from the values, so a profile edited outside Setup with longer values
    // than its dialog allows still gives the whole body instead of a cut or an overrun.
    std::vector<unsigned char> body;
    body.reserve(kUploadBodyFixedBytes + submitter.size() + password.size() + tone.size() + category.size() +
                 data.size());
    AppendFormField(body, "submitter", submitter);
    AppendFormField(body, "password", password);
    AppendFormField(body, "tone", tone);
    AppendFormField(body, "category", category);
    AppendText(body, kMultipartDelimiter);
    AppendText(body, "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"C:\\dummy.zvr\"\r\n"
                     "Content-Type: application/octet-stream\r\n\r\n");
    body.insert(body.end(), data.begin(), data.end());
    AppendText(body, kMultipartDelimiter);
    AppendText(body, "--\r\n");
    body.push_back(0);
    return body;
}
