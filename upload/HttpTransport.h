#pragma once
// The network seam of the upload: one synchronous HTTP POST. The real one runs on
// libcurl (CCurlHttpTransport); tests use CFakeHttpTransport.

#include "upload/HttpReply.h"
#include "upload/HttpRequest.h"
#include "upload/HttpStep.h"

class CHttpTransport {
public:
    virtual ~CHttpTransport() = default;
    // Sends `request` and reads the reply into `reply`, reporting the steps to `steps`
    // on the calling thread as they happen. True when a whole reply came back, whatever
    // its status code; false with reply.m_strError (a one-line text) when the host could
    // not be reached, a time-out ended the exchange or the reply was cut. May run on any
    // thread; one call at a time per object.
    [[nodiscard]] virtual bool Post(const CHttpRequest& request, CHttpStepSink& steps, CHttpReply& reply) = 0;
};
