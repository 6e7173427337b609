// Any bytes as the gallery's reply: StripMarkup and the session's reply handling, with
// any status, zero bytes and replies far over 4096 bytes included.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/support/FakeHttpTransport.h"
#include "upload/StatusLine.h"
#include "upload/StripMarkup.h"
#include "upload/UploadSession.h"

namespace {

class CNullStatusLine final : public CStatusLine {
public:
    void SetText(const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = StripMarkup(bytes);
    if (text.size() > bytes.size() || text.find('\0') != std::string::npos)
        std::abort();

    // The first two bytes choose the status; a large reply is made by repeating the rest.
    long status = size >= 2 ? 100 + (data[0] * 256 + data[1]) % 500 : 200;
    std::string body = size > 2 ? bytes.substr(2) : std::string();
    if (!body.empty() && (data[0] & 0x80))
        while (body.size() < 9000)
            body += body;
    CFakeHttpTransport transport;
    transport.Queue(CFakeHttpTransport::Answer(status, body));
    CNullStatusLine line;
    CUploadSession session(transport, line);
    std::string message;
    const bool ok = session.Upload("127.0.0.1", {'x'}, message);
    if (ok != (status >= 200 && status <= 299))
        std::abort();
    return 0;
}
