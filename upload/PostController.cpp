#include "upload/PostController.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "settings/ProfileKeys.h"
#include "upload/UploadBody.h"
#include "upload/UploadSession.h"

namespace {

enum class PackageRead { Ok, TooLarge, Unreadable };

struct CFileCloser {
    void operator()(std::FILE* pFile) const { std::fclose(pFile); }
};

// Reads one byte more than allowed, so an oversized file is known without reading or
// allocating more than the limit, however large it is or grows.
PackageRead ReadPackage(const std::string& path, std::vector<unsigned char>& data, std::string& reason)
{
    errno = 0;
    std::unique_ptr<std::FILE, CFileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        reason = std::generic_category().message(errno);
        return PackageRead::Unreadable;
    }
    std::vector<unsigned char> buffer(CPostController::kMaxPackageBytes + 1);
    errno = 0;
    std::size_t nRead = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (std::ferror(file.get())) {
        reason = std::generic_category().message(errno);
        return PackageRead::Unreadable;
    }
    if (nRead > CPostController::kMaxPackageBytes)
        return PackageRead::TooLarge;
    buffer.resize(nRead);
    data = std::move(buffer);
    return PackageRead::Ok;
}

} // namespace

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

    std::string reason;
    switch (ReadPackage(packagePath, m_data, reason)) {
    case PackageRead::TooLarge:
        prompt.Show("Upload data exceeded size limit.", "Upload Error", PromptIcon::Stop);
        return false;
    case PackageRead::Unreadable:
        prompt.Show("Cannot read the ringtone package " + packagePath + " (" + reason + ").", "Upload Error",
                    PromptIcon::Stop);
        return false;
    case PackageRead::Ok:
        break;
    }
    // The data is in memory now; a package that cannot be deleted only leaves a stray
    // file in the temporary directory, which is no reason to refuse the post.
    std::error_code ec;
    std::filesystem::remove(packagePath, ec);
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
    CUploadSession session(transport, statusLine, m_options);
    m_bTransferOk = session.Upload(
        m_strHomeSite,
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
