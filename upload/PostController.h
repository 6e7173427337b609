#pragma once
// What the Post Ringtone dialog does, without its widgets: the opening checks, the
// POST checks, the upload and the states that decide which buttons are enabled.
//
// A desktop dialog keeps the transfer off its user-interface thread in three calls:
// BeginPost on the UI thread, Transfer on a worker thread (the status line is then set
// from that thread), FinishPost on the UI thread once Transfer has returned. Post does
// all three on the calling thread. State() may be read from any thread.

#include <atomic>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "prompt/Prompt.h"
#include "settings/SettingsStore.h"
#include "upload/HttpTransport.h"
#include "upload/StatusLine.h"
#include "upload/UploadOptions.h"

// Idle: both buttons enabled, status kStatusIdle. Uploading: both disabled. Posted:
// only Back enabled, for good. Failed: both enabled, POST sends the same data again.
enum class PostState { Idle, Uploading, Posted, Failed };

class CPostController {
public:
    static constexpr std::size_t kMaxPackageBytes = 2048;

    // The opening checks, in order: a nickname and an e-mail address in the profile,
    // then the package at `packagePath`: at most kMaxPackageBytes, read whole and then
    // deleted. Each failure is shown under the stop icon and gives false (the dialog is
    // not shown); the package file then stays where it is.
    [[nodiscard]] bool Open(const std::string& packagePath, const CSettingsStore& settings, CPrompt& prompt);

    // The dialog's values: the ringtone name as typed, and the 0-based position chosen in
    // the category list (-1 for none; 0 English, 1 Chinese, 2 Classical, others Others).
    void SetToneName(std::string toneName) { m_strToneName = std::move(toneName); }
    void SetCategory(int nPosition) { m_nCategory = nPosition; }

    // The POST checks (a name, a category; information icon) and the home site from the
    // profile. True when the upload may start: the state is then Uploading. False, with
    // nothing changed, after a check message or when POST is not enabled.
    [[nodiscard]] bool BeginPost(const CSettingsStore& settings, CPrompt& prompt);
    // Sends the upload; only between a true BeginPost and FinishPost, during which the
    // dialog's values must not change. Any thread; the status line is set on this thread.
    void Transfer(CHttpTransport& transport, CStatusLine& statusLine);
    // Shows the result ("Post Result" or "Upload Error") and leaves Uploading for Posted
    // or Failed. On the thread that shows messages, after Transfer has returned.
    void FinishPost(CPrompt& prompt);
    // BeginPost, Transfer and FinishPost in turn. True when the tone was posted.
    [[nodiscard]] bool Post(const CSettingsStore& settings, CHttpTransport& transport, CStatusLine& statusLine,
                            CPrompt& prompt);

    [[nodiscard]] PostState State() const { return m_state.load(); }
    [[nodiscard]] bool PostEnabled() const;
    // Back and the window's close box alike.
    [[nodiscard]] bool BackEnabled() const;

    // Port and time-outs of the upload; the gallery's defaults unless changed.
    void SetUploadOptions(const CUploadOptions& options) { m_options = options; }

    [[nodiscard]] const std::vector<unsigned char>& Data() const { return m_data; }
    [[nodiscard]] const std::string& Nickname() const { return m_strNickname; }
    [[nodiscard]] const std::string& Email() const { return m_strEmail; }
    [[nodiscard]] const std::string& Password() const { return m_strPassword; }
    [[nodiscard]] const std::string& PackagePath() const { return m_strPackagePath; }
    [[nodiscard]] const std::string& ToneName() const { return m_strToneName; }
    [[nodiscard]] int Category() const { return m_nCategory; }

private:
    std::vector<unsigned char> m_data;
    std::string m_strEmail;
    std::string m_strPackagePath;
    std::string m_strPassword;
    std::string m_strNickname;
    std::string m_strToneName;
    int m_nCategory = -1;
    std::string m_strHomeSite;
    CUploadOptions m_options;
    bool m_bOpened = false;
    bool m_bTransferOk = false;
    std::string m_strResult;
    std::atomic<PostState> m_state{PostState::Idle};
};
