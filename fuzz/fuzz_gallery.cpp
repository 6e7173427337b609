// Any bytes through the gallery's two parsers: the multipart form (with the program's
// Content-type line) and the Smart Messaging decoder, whose RTTTL text must convert
// back without a fault. The first byte picks which one runs.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "ringtone/RingtoneMessageDecoder.h"
#include "gallery/web/RtttlText.h"
#include "gallery/service/UploadForm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::span<const std::uint8_t> rest(data + 1, size - 1);
    std::string error;
    if (data[0] & 1) {
        CUploadForm form;
        (void)ParseUploadForm("multipart/form-data; boundary=---------------------------7cf2e411b8c", rest, form,
                              error);
    } else {
        CDecodedRingtone tone;
        if (DecodeRingtoneMessage(rest, tone, error)) {
            const std::string text = RtttlTextOf(tone);
            if (text.empty())
                std::abort();
        }
    }
    return 0;
}
