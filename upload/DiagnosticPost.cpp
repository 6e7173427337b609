#include "upload/DiagnosticPost.h"

#include <string>

#include "upload/MultipartText.h"
#include "upload/UploadBody.h"
#include "upload/UploadOptions.h"

std::vector<unsigned char> BuildDiagnosticPostBody()
{
    std::vector<unsigned char> body;
    AppendFormField(body, "submitter", kDiagnosticPostSubmitter);
    AppendFormField(body, "password", kDiagnosticPostPassword);
    AppendFormField(body, "tone", "I have done it !");
    AppendText(body, kMultipartDelimiter);
    AppendText(body, "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"C:\\autoexec.zvr\"\r\n"
                     "Content-Type: text/plain\r\n\r\n"
                     "ABC is this\r\n");
    AppendText(body, kMultipartDelimiter);
    AppendText(body, "--\r\n");
    return body;
}

bool RunDiagnosticPost(CHttpTransport& transport, CPrompt& prompt, const CDiagnosticPostTarget& target)
{
    CHttpRequest request;
    request.m_strHost = target.m_strHost;
    request.m_wPort = target.m_wPort;
    request.m_strPath = kDiagnosticPostPath;
    request.m_strUserAgent = kUploadUserAgent;
    request.m_headers.emplace_back(kUploadHeaderLine);
    request.m_body = BuildDiagnosticPostBody();
    request.m_nConnectTimeoutMs = target.m_nTimeoutMs;
    request.m_nStallTimeoutMs = target.m_nTimeoutMs;
    request.m_nMaxReplyBytes = kDiagnosticPostReplyBytes;

    CNullStepSink steps;
    CHttpReply reply;
    bool bOk = transport.Post(request, steps, reply) && reply.m_nStatus >= 200 && reply.m_nStatus <= 299;
    if (!bOk)
        prompt.Show("error", "error", PromptIcon::Stop);
    return bOk;
}
