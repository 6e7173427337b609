#pragma once
// A transport that sends nothing: it records each request, reports a scripted list of
// steps and returns a scripted reply. Scripts are queued, one per Post; once the queue
// is empty the last one is repeated (at first a 200 "OK" through every step).

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "upload/HttpTransport.h"

class CFakeHttpTransport final : public CHttpTransport {
public:
    struct CScript {
        bool m_bOk = true;
        CHttpReply m_reply;
        std::vector<HttpStep> m_steps;
    };

    // A whole exchange that passes every step and returns `status` with `body`.
    static CScript Answer(long status, std::string body)
    {
        CScript script;
        script.m_reply.m_nStatus = status;
        script.m_reply.m_strStatusLine = "HTTP/1.1 " + std::to_string(status);
        script.m_reply.m_strBody = std::move(body);
        script.m_steps = AllSteps();
        return script;
    }

    // A failure after `steps` with the transport message `error`.
    static CScript Fail(std::string error, std::vector<HttpStep> steps)
    {
        CScript script;
        script.m_bOk = false;
        script.m_reply.m_strError = std::move(error);
        script.m_steps = std::move(steps);
        return script;
    }

    static std::vector<HttpStep> AllSteps()
    {
        return {HttpStep::Resolving, HttpStep::Resolved, HttpStep::Connecting, HttpStep::Connected,
                HttpStep::Sending,   HttpStep::Sent,     HttpStep::Receiving,  HttpStep::Received,
                HttpStep::Closing,   HttpStep::Closed};
    }

    void Queue(CScript script) { m_scripts.push_back(std::move(script)); }

    [[nodiscard]] bool Post(const CHttpRequest& request, CHttpStepSink& steps, CHttpReply& reply) override
    {
        m_requests.push_back(request);
        if (!m_scripts.empty()) {
            m_last = std::move(m_scripts.front());
            m_scripts.pop_front();
        }
        for (HttpStep step : m_last.m_steps)
            steps.OnStep(step);
        reply = m_last.m_reply;
        return m_last.m_bOk;
    }

    [[nodiscard]] const std::vector<CHttpRequest>& Requests() const { return m_requests; }

private:
    std::deque<CScript> m_scripts;
    CScript m_last = Answer(200, "OK");
    std::vector<CHttpRequest> m_requests;
};
