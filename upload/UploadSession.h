#pragma once
// One gallery upload: sends a body built by BuildUploadBody to the home site, keeps the
// status line current and turns the server's reply into the text to show.

#include <string>
#include <vector>

#include "upload/HttpTransport.h"
#include "upload/StatusLine.h"
#include "upload/UploadOptions.h"

class CUploadSession final : private CHttpStepSink {
public:
    // Both are borrowed for the session's life.
    CUploadSession(CHttpTransport& transport, CStatusLine& statusLine, CUploadOptions options = {});

    // Posts `body` to `host` on the calling thread, which is also the thread that sets the
    // status line: a step text as each step is passed, then kStatusPosted or kStatusFailed.
    // True when the server took the upload (a 2xx status); `message` is then the reply
    // without markup. False when the transfer failed or the server answered with another
    // status; `message` then says why: the transport's message (at most 1024 characters),
    // or the reply's text, or its status line when the reply has no text.
    [[nodiscard]] bool Upload(const std::string& host, std::vector<unsigned char> body, std::string& message);

private:
    void OnStep(HttpStep step) override;

    CHttpTransport& m_transport;
    CStatusLine& m_statusLine;
    CUploadOptions m_options;
};
