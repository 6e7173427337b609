#include "upload/PostController.h"

#include <optional>
#include <utility>

#include "fileio/ReadWholeFile.h"
#include "fileio/RemoveRegularFile.h"
#include "settings/ProfileKeys.h"
#include "upload/HostAddress.h"
#include "upload/UploadBody.h"
#include "upload/UploadSession.h"
#include "upload/UploadStatusText.h"

bool CPostController::Open(const std::string& packagePath, const CSettingsStore& settings, CPrompt& prompt)
{
    m_strNickname = settings.GetString(kProfileIdentity, kProfileNickname);
    if (m_strNickname.empty()) {
        prompt.Show("You have not yet setup your nickname.", "Nickname Error", PromptIcon::Stop);
        return false;
    }
    m_strEmail = settings.GetString(kProfileIdentity, kProfileEmail);
    if (m_strEmail.empty()) {
        prompt.Show("You have not yet setup your email address.", "Email Error", PromptIcon::Stop);
        return false;
    }
    m_strPassword = settings.GetString(kProfileIdentity, kProfilePassword);
    m_strPackagePath = packagePath;
    m_strToneName.clear();

    // An oversized file is known from its size, or from one byte past the limit should
    // it grow, without reading or allocating more, however large it is.
    std::vector<unsigned char> data;
    if (FileError error; !ReadWholeFile(packagePath, kMaxPackageBytes, data, error)) {
        if (error.fault == FileFault::kTooLarge)
            prompt.Show("Upload data exceeded size limit.", "Upload Error", PromptIcon::Stop);
        else
            prompt.Show("Cannot read the ringtone package " + packagePath + " (" + error.strReason + ").",
                        "Upload Error", PromptIcon::Stop);
        return false;
    }
    m_data = std::move(data);
    // The data is in memory now; a package that cannot be deleted only leaves a stray
    // file in the temporary directory, which is no reason to refuse the post.
    RemoveRegularFile(packagePath);
    m_bOpened = true;
    m_state = PostState::Idle;
    return true;
}

bool CPostController::BeginPost(const CSettingsStore& settings, CPrompt& prompt)
{
    if (!m_bOpened || !PostEnabled())
        return false;
    if (m_strToneName.empty()) {
        prompt.Show("Please key in Ringtone name before post.", "Name Require", PromptIcon::Information);
        return false;
    }
    if (m_nCategory < 0) {
        prompt.Show("Please select a category before you post.", "Category Require", PromptIcon::Information);
        return false;
    }
    m_strHomeSite = settings.GetString(kProfileSystem, kProfileHomeSite);
    m_state = PostState::Uploading;
    return true;
}

void CPostController::Transfer(CHttpTransport& transport, CStatusLine& statusLine)
{
    if (m_state != PostState::Uploading)
        return;
    // The home site may name its port ("gallery.example:8080"); without one, the
    // options' port.
    std::string host;
    std::optional<std::uint16_t> port;
    if (!ParseHostAddress(m_strHomeSite, host, port)) {
        m_bTransferOk = false;
        m_strResult = "The home site \"" + m_strHomeSite +
                      "\" is not a host name or HOST:PORT (a port from 1 to 65535): correct it in Setup.";
        statusLine.SetText(std::string(kStatusFailed));
        return;
    }
    CUploadOptions options = m_options;
    options.m_wPort = port.value_or(options.m_wPort);
    CUploadSession session(transport, statusLine, options);
    m_bTransferOk = session.Upload(
        host,
        BuildUploadBody(m_strNickname, m_strPassword, m_strToneName, UploadCategoryWord(m_nCategory), m_data),
        m_strResult);
}

void CPostController::FinishPost(CPrompt& prompt)
{
    if (m_state != PostState::Uploading)
        return;
    if (m_bTransferOk)
        prompt.Show(m_strResult, "Post Result", PromptIcon::Information);
    else
        prompt.Show(m_strResult, "Upload Error", PromptIcon::Stop);
    m_state = m_bTransferOk ? PostState::Posted : PostState::Failed;
}

bool CPostController::Post(const CSettingsStore& settings, CHttpTransport& transport, CStatusLine& statusLine,
                           CPrompt& prompt)
{
    if (!BeginPost(settings, prompt))
        return false;
    Transfer(transport, statusLine);
    FinishPost(prompt);
    return State() == PostState::Posted;
}

bool CPostController::PostEnabled() const
{
    PostState state = State();
    return state == PostState::Idle || state == PostState::Failed;
}

bool CPostController::BackEnabled() const
{
    return State() != PostState::Uploading;
}
