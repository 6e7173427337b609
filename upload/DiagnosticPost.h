#pragma once
// The diagnostic test post behind the main form's hidden "x" button: a fixed four-part
// body to the developers' test server, to see whether uploads get through at all.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "prompt/Prompt.h"
#include "upload/HttpTransport.h"

inline constexpr std::string_view kDiagnosticPostHost = "localhost";
inline constexpr std::uint16_t kDiagnosticPostPort = 9010;
inline constexpr std::string_view kDiagnosticPostPath = "/servlet/zvtoneload";
inline constexpr std::string_view kDiagnosticPostSubmitter = "zvdev";
inline constexpr std::string_view kDiagnosticPostPassword = "probe";
inline constexpr long kDiagnosticPostTimeoutMs = 5000;
// The reply is read up to this many bytes and dropped.
inline constexpr std::size_t kDiagnosticPostReplyBytes = 10240;

// Submitter, password, the tone "I have done it !" and a text file "C:\autoexec.zvr"
// holding "ABC is this" and CR LF, then the closing delimiter; no trailing zero byte.
[[nodiscard]] std::vector<unsigned char> BuildDiagnosticPostBody();

struct CDiagnosticPostTarget {
    std::string m_strHost = std::string(kDiagnosticPostHost);
    std::uint16_t m_wPort = kDiagnosticPostPort;
    long m_nTimeoutMs = kDiagnosticPostTimeoutMs; // connect, and the longest stall once connected
};

// Sends the diagnostic post. Nothing is shown on success; a failed transfer or a status
// outside 2xx shows "error" under "error" (stop icon) and gives false.
[[nodiscard]] bool RunDiagnosticPost(CHttpTransport& transport, CPrompt& prompt,
                                     const CDiagnosticPostTarget& target = {});
