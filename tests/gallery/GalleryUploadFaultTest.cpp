// The Post dialog's upload (CPostController over the real libcurl transport) against the
// real zorvat-gallery program when the network or the gallery fails: the gallery not
// running yet, killed or stopped while a post is on its way, or refusing a damaged post.
// Whatever happens, the dialog ends in a state the user can act on, the gallery keeps a
// ringtone whole or not at all, and the data the user made stays in the dialog for the
// next press of POST.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>
#include <utility>

#include "prompt/Prompt.h"
#include "ringtone/RingtonePackage.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "tests/gallery/GalleryProcess.h"
#include "tests/gallery/GalleryTestData.h"
#include "tests/gallery/GalleryTestServer.h"
#include "upload/CurlHttpTransport.h"
#include "upload/PostController.h"
#include "upload/StatusLine.h"
#include "upload/UploadStatusText.h"

namespace {

const std::string kGallery = std::string(ZT_BINARY_DIR) + "/bin/zorvat-gallery";
const std::string kTune = "Fault:d=4,o=5,b=140:c,e,g,c6,g,e,c";
const std::string kSending(UploadStatusText(HttpStep::Sending));
const std::string kSent(UploadStatusText(HttpStep::Sent));

// Calls `atText` the first time the status line shows `trigger`, on the thread of the
// transfer, which then goes on from that very point of the exchange.
class CTriggerStatusLine final : public CStatusLine {
public:
    CTriggerStatusLine(std::string trigger, std::function<void()> atText)
        : m_strTrigger(std::move(trigger)), m_atText(std::move(atText))
    {
    }
    void SetText(const std::string& text) override
    {
        m_recorded.SetText(text);
        if (text == m_strTrigger && m_atText)
            std::exchange(m_atText, nullptr)();
    }
    [[nodiscard]] std::string Last() const { return m_recorded.Last(); }
    [[nodiscard]] bool Fired() const { return !m_atText; }

private:
    std::string m_strTrigger;
    std::function<void()> m_atText;
    CRecordingStatusLine m_recorded;
};

// Stands between the uploader and the gallery for one connection: passes the request on
// as it comes and, at the first byte of the gallery's answer, calls `atReply` and closes
// the uploader's side instead of passing the answer on. The gallery has then taken the
// post (it answers only once the post is on disk); the uploader never hears so.
class CReplyLosingRelay {
public:
    CReplyLosingRelay(std::uint16_t galleryPort, std::function<void()> atReply)
        : m_wGalleryPort(galleryPort), m_atReply(std::move(atReply))
    {
    }
    ~CReplyLosingRelay()
    {
        Join();
        CloseFd(m_listener);
    }
    CReplyLosingRelay(const CReplyLosingRelay&) = delete;
    CReplyLosingRelay& operator=(const CReplyLosingRelay&) = delete;

    [[nodiscard]] bool Start()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 1) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return false;
        m_wPort = ntohs(address.sin_port);
        m_thread = std::thread([this] { Relay(); });
        return true;
    }
    [[nodiscard]] std::uint16_t Port() const { return m_wPort; }
    // After Join: whether the gallery began to answer.
    [[nodiscard]] bool ReplyStarted() const { return m_bReplyStarted; }
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    static constexpr int kWaitMs = 30000; // bounds every wait: a broken test must not hang

    static sockaddr_in Loopback(std::uint16_t port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }
    static void CloseFd(int& fd)
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    static bool WriteAll(int fd, const char* data, std::size_t size)
    {
        while (size > 0) {
            ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    void Relay()
    {
        pollfd listening{m_listener, POLLIN, 0};
        if (::poll(&listening, 1, kWaitMs) != 1)
            return;
        int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        int gallery = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(m_wGalleryPort);
        if (client >= 0 && gallery >= 0 &&
            ::connect(gallery, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            Pass(client, gallery);
        CloseFd(client);
        CloseFd(gallery);
    }

    void Pass(int client, int gallery)
    {
        char buffer[4096];
        pollfd fds[2] = {{client, POLLIN, 0}, {gallery, POLLIN, 0}};
        while (::poll(fds, 2, kWaitMs) > 0) {
            if (fds[1].revents != 0) {
                m_bReplyStarted = ::recv(gallery, buffer, sizeof buffer, 0) > 0;
                if (m_bReplyStarted)
                    m_atReply();
                return;
            }
            if (fds[0].revents != 0) {
                ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n <= 0 || !WriteAll(gallery, buffer, static_cast<std::size_t>(n)))
                    return;
            }
        }
    }

    std::uint16_t m_wGalleryPort;
    std::function<void()> m_atReply;
    int m_listener = -1;
    std::uint16_t m_wPort = 0;
    std::atomic<bool> m_bReplyStarted{false};
    std::thread m_thread;
};

class GalleryUploadFault : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_package.empty());
        std::string error;
        ASSERT_TRUE(ReadRingtonePackage(m_package.data(), m_package.size(), m_parts, error)) << error;
        m_settings.SetString(kProfileIdentity, kProfileNickname, "faulty");
        m_settings.SetString(kProfileIdentity, kProfileEmail, "faulty@example.org");
        m_settings.SetString(kProfileIdentity, kProfilePassword, "pw");
        m_settings.SetString(kProfileSystem, kProfileHomeSite, "127.0.0.1");
    }

    void StartGallery(std::uint16_t port = 0)
    {
        std::string error;
        ASSERT_TRUE(m_gallery.Start(m_data.Path(), port, error)) << error;
    }

    // The Post dialog opened on `package`, its values filled in, posting to `port`.
    void OpenDialog(std::uint16_t port, const std::vector<std::uint8_t>& package)
    {
        const std::string path = m_temp.File("1765180800");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(package.data()), static_cast<std::streamsize>(package.size()));
        ASSERT_TRUE(m_controller.Open(path, m_settings, m_prompt));
        m_controller.SetToneName("Fault line");
        m_controller.SetCategory(3);
        CUploadOptions options;
        options.m_wPort = port;
        options.m_nConnectTimeoutMs = 10000;
        options.m_nStallTimeoutMs = 30000;
        m_controller.SetUploadOptions(options);
    }

    bool PressPost(CStatusLine& status) { return m_controller.Post(m_settings, m_transport, status, m_prompt); }

    void ExpectFailedAndReadyToRetry(const std::string& statusText)
    {
        EXPECT_EQ(m_controller.State(), PostState::Failed);
        EXPECT_TRUE(m_controller.PostEnabled());
        EXPECT_TRUE(m_controller.BackEnabled());
        EXPECT_EQ(statusText, kStatusFailed);
        ASSERT_FALSE(m_prompt.Entries().empty());
        EXPECT_EQ(m_prompt.Entries().back().caption, "Upload Error");
        EXPECT_EQ(m_prompt.Entries().back().icon, PromptIcon::Stop);
        EXPECT_EQ(std::vector<std::uint8_t>(m_controller.Data().begin(), m_controller.Data().end()), m_package)
            << "the package the user made is still there to post again";
    }

    void ExpectPostedForGood(const std::string& statusText)
    {
        EXPECT_EQ(m_controller.State(), PostState::Posted);
        EXPECT_FALSE(m_controller.PostEnabled());
        EXPECT_TRUE(m_controller.BackEnabled());
        EXPECT_EQ(statusText, kStatusPosted);
        ASSERT_FALSE(m_prompt.Entries().empty());
        EXPECT_EQ(m_prompt.Entries().back().caption, "Post Result");
        EXPECT_EQ(m_prompt.Entries().back().text.rfind("Ringtone stored\n", 0), 0u) << m_prompt.Entries().back().text;

        // A second press after success sends nothing and shows nothing.
        const std::size_t shown = m_prompt.Entries().size();
        CRecordingStatusLine again;
        EXPECT_FALSE(PressPost(again));
        EXPECT_EQ(m_prompt.Entries().size(), shown);
        EXPECT_TRUE(again.Texts().empty());
        EXPECT_EQ(m_controller.State(), PostState::Posted);
    }

    // The ringtones of the stopped gallery, each checked to be the whole post.
    std::vector<CToneRecord> WholeStoredTones()
    {
        EXPECT_FALSE(m_gallery.Running()) << "the store is read while the gallery is down";
        std::vector<CToneRecord> tones;
        std::string error;
        EXPECT_TRUE(ReadStoredTones(m_data.Path(), tones, error)) << error;
        for (const CToneRecord& tone : tones) {
            EXPECT_EQ(tone.m_strAuthor, "faulty");
            EXPECT_EQ(tone.m_strName, "Fault line");
            EXPECT_EQ(tone.m_category, ToneCategory::Others);
            EXPECT_EQ(tone.m_midi, m_parts.midi) << "ringtone " << tone.m_nId;
            EXPECT_EQ(tone.m_message, m_parts.message) << "ringtone " << tone.m_nId;
        }
        return tones;
    }

    CTempDir m_data;
    CTempDir m_temp;
    CGalleryProcess m_gallery{kGallery, m_temp.File("gallery.log")};
    std::vector<std::uint8_t> m_package = PackageFromRtttl(kTune, m_temp.Path());
    RingtonePackageParts m_parts;
    CMemorySettingsStore m_settings;
    CRecordingPrompt m_prompt;
    CPostController m_controller;
    CCurlHttpTransport m_transport;
};

TEST_F(GalleryUploadFault, RefusedUntilTheGalleryRunsThenStoredExactlyOnce)
{
    const std::uint16_t port = UnusedLoopbackPort();
    ASSERT_NE(port, 0);
    OpenDialog(port, m_package);

    CRecordingStatusLine refused;
    EXPECT_FALSE(PressPost(refused));
    ExpectFailedAndReadyToRetry(refused.Last());
    EXPECT_NE(m_prompt.Entries().back().text.find("Could not connect to the home site 127.0.0.1:"), std::string::npos)
        << m_prompt.Entries().back().text;

    StartGallery(port);
    CRecordingStatusLine posted;
    EXPECT_TRUE(PressPost(posted));
    ExpectPostedForGood(posted.Last());
    EXPECT_EQ(TonesOnPage(port), 1);

    EXPECT_EQ(m_gallery.Stop(), 0);
    EXPECT_EQ(WholeStoredTones().size(), 1u);
}

TEST_F(GalleryUploadFault, KilledAsTheRequestGoesOutStoresNothingAndTheRetryStoresIt)
{
    StartGallery();
    const std::uint16_t port = m_gallery.Port();
    OpenDialog(port, m_package);

    // Connected, the request not sent yet: the gallery dies before it can know anything
    // of the post.
    CTriggerStatusLine killed(kSending, [this] { m_gallery.Kill(); });
    EXPECT_FALSE(PressPost(killed));
    ASSERT_TRUE(killed.Fired());
    ExpectFailedAndReadyToRetry(killed.Last());
    const std::string& shown = m_prompt.Entries().back().text;
    EXPECT_TRUE(shown.find("broke off") != std::string::npos ||
                shown.find("closed the connection without an answer") != std::string::npos)
        << shown;
    EXPECT_TRUE(WholeStoredTones().empty());

    StartGallery(port);
    CRecordingStatusLine retried;
    EXPECT_TRUE(PressPost(retried));
    ExpectPostedForGood(retried.Last());
    m_gallery.Kill();
    EXPECT_EQ(WholeStoredTones().size(), 1u);
}

TEST_F(GalleryUploadFault, KilledAfterStoringButBeforeTheAnswerArrivesKeepsTheWholeRingtone)
{
    StartGallery();
    const std::uint16_t port = m_gallery.Port();
    CReplyLosingRelay relay(port, [this] { m_gallery.Kill(); });
    ASSERT_TRUE(relay.Start());
    OpenDialog(relay.Port(), m_package);

    CRecordingStatusLine lost;
    EXPECT_FALSE(PressPost(lost));
    relay.Join();
    ASSERT_TRUE(relay.ReplyStarted());
    ExpectFailedAndReadyToRetry(lost.Last());
    // The answer was lost, not the post: it is on disk whole.
    EXPECT_EQ(WholeStoredTones().size(), 1u);

    StartGallery(port);
    CUploadOptions direct;
    direct.m_wPort = port;
    m_controller.SetUploadOptions(direct);
    CRecordingStatusLine retried;
    EXPECT_TRUE(PressPost(retried));
    ExpectPostedForGood(retried.Last());
    m_gallery.Kill();
    // The gallery cannot tell a retry from a second post of the same ringtone: the user
    // who saw an error and pressed POST again has it twice, both whole.
    EXPECT_EQ(WholeStoredTones().size(), 2u);
}

TEST_F(GalleryUploadFault, StoppedWhileAPostIsOnItsWayEitherStoresItAndSaysSoOrStoresNothing)
{
    StartGallery();
    const std::uint16_t port = m_gallery.Port();
    OpenDialog(port, m_package);

    // SIGTERM as the body leaves: the stop races the request; whichever wins, what the
    // user is told must match what the gallery kept.
    CTriggerStatusLine stopping(kSent, [this] { m_gallery.AskToStop(); });
    const bool bPosted = PressPost(stopping);
    ASSERT_TRUE(stopping.Fired());
    EXPECT_EQ(m_gallery.Stop(), 0) << "a stop during a post is still a clean stop";
    const std::size_t stored = WholeStoredTones().size();
    if (bPosted) {
        ExpectPostedForGood(stopping.Last());
        EXPECT_EQ(stored, 1u);
        return;
    }
    ExpectFailedAndReadyToRetry(stopping.Last());
    EXPECT_EQ(stored, 0u) << "a clean stop answers every post it stored";
    StartGallery(port);
    CRecordingStatusLine retried;
    EXPECT_TRUE(PressPost(retried));
    ExpectPostedForGood(retried.Last());
    EXPECT_EQ(m_gallery.Stop(), 0);
    EXPECT_EQ(WholeStoredTones().size(), 1u);
}

TEST_F(GalleryUploadFault, ADamagedPostShowsTheGallerysReasonAndCanBePostedAgain)
{
    StartGallery();
    std::vector<std::uint8_t> damaged = m_package;
    damaged.resize(damaged.size() - 3);
    m_package = damaged; // what the dialog must keep is what it was given
    OpenDialog(m_gallery.Port(), damaged);

    for (int press = 0; press < 2; ++press) {
        CRecordingStatusLine refused;
        EXPECT_FALSE(PressPost(refused));
        ExpectFailedAndReadyToRetry(refused.Last());
        const std::string& shown = m_prompt.Entries().back().text;
        EXPECT_EQ(shown.rfind("Ringtone not stored\nThe ringtone package is damaged: ", 0), 0u) << shown;
        EXPECT_EQ(shown.find('<'), std::string::npos) << "the page's text, without its markup: " << shown;
    }
    EXPECT_EQ(TonesOnPage(m_gallery.Port()), 0);
}

} // namespace
