#pragma once
// The real HTTP transport, on libcurl. Each Post opens one fresh connection and closes
// it before returning. A proxy named by the environment (http_proxy, all_proxy,
// no_proxy, as libcurl reads them) is used; the user agent, the headers and the body
// are sent as the request gives them, with no "Accept" and no "Expect" header added.

#include "upload/HttpTransport.h"

class CCurlHttpTransport final : public CHttpTransport {
public:
    CCurlHttpTransport();

    // Steps, as libcurl shows them: Resolving before the transfer starts; Resolved when
    // the first socket is made for an address; Connecting when that socket is set up;
    // Connected and Sending when the connection is ready for the request; Sent when the
    // whole body has left and Receiving right after it, while the server is awaited (or
    // at the first reply line, should that come first); Received when the body is
    // complete; Closing and Closed around closing the connection (also after a failure
    // once a socket was made). Stall time-outs count only from the connection on, with
    // a resolution of about one second.
    [[nodiscard]] bool Post(const CHttpRequest& request, CHttpStepSink& steps, CHttpReply& reply) override;
};
