#include <gtest/gtest.h>

#include <httplib.h>

#include <functional>
#include <set>
#include <thread>

#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"
#include "tests/gallery/GalleryTestData.h"
#include "tests/gallery/GalleryTestServer.h"
#include "tonefile/DeviceFiles.h"
#include "tonefile/OttFile.h"

namespace {

const std::string kUpload = "/examples/servlet/zvtoneload";
const std::string kOde = "Ode:d=4,o=5,b=160:e,e,f,g,g,f,e,d,c,c,d,e,e.,8d,2d";

class GalleryHttpTest : public testing::Test {
protected:
    void SetUp() override { StartServer(); }

    void StartServer()
    {
        m_pServer = std::make_unique<CGalleryTestServer>(m_dir.Path());
        std::string error;
        ASSERT_TRUE(m_pServer->Start(error)) << error;
    }

    [[nodiscard]] std::uint16_t Port() const { return m_pServer->Port(); }
    [[nodiscard]] httplib::Client Client() const { return httplib::Client("127.0.0.1", Port()); }

    httplib::Result PostBody(const std::string& body, const std::string& contentType = kUploadContentType)
    {
        return Client().Post(kUpload.c_str(), body, contentType.c_str());
    }

    CProgramPost Post(const std::string& nickname, const std::string& password, const std::string& tone = "Ode",
                      int category = 2)
    {
        return PostLikeTheProgram(Port(), nickname, password, tone, category, m_package);
    }

    httplib::Result Delete(int id, const std::string& password)
    {
        return Client().Post(("/tone/" + std::to_string(id) + "/delete").c_str(), httplib::Params{{"password", password}});
    }

    CTempDir m_dir;
    CTempDir m_temp;
    std::unique_ptr<CGalleryTestServer> m_pServer;
    std::vector<std::uint8_t> m_package = PackageFromRtttl(kOde, m_temp.Path());
};

TEST_F(GalleryHttpTest, TheProgramPostsARealPackageAndThePageListsIt)
{
    ASSERT_FALSE(m_package.empty());
    CProgramPost post = Post("nick", "secret", "Ode to Joy", 2);
    ASSERT_TRUE(post.m_bPosted) << post.m_strShown;
    EXPECT_EQ(post.m_strCaption, "Post Result");
    EXPECT_EQ(post.m_strShown,
              "Ringtone stored\n\"Ode to Joy\" by nick is now in the Zorvat Ringtone Gallery under Classical Music "
              "(number 1, posted 2025-12-08 08:00 UTC).\nThe nickname nick is now registered with this password: "
              "later posts and deletions under it need the same password.\n");

    auto page = Client().Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    std::size_t classical = page->body.find("<h2>Classical Music</h2>");
    std::size_t entry = page->body.find("<h3>Ode to Joy</h3>");
    EXPECT_LT(classical, entry);
    EXPECT_LT(entry, page->body.find("<h2>Others</h2>"));
    EXPECT_NE(page->body.find("Ode:d=4,o=5,b=160:4e5,4e5,4f5,4g5,4g5,4f5,4e5,4d5,4c5,4c5,4d5,4e5,4e.5,8d5,2d5,"),
              std::string::npos);

    RingtonePackageParts parts;
    std::string error;
    ASSERT_TRUE(ReadRingtonePackage(m_package.data(), m_package.size(), parts, error)) << error;
    auto midi = Client().Get("/tone/1.mid");
    ASSERT_TRUE(midi);
    EXPECT_EQ(midi->status, 200);
    EXPECT_EQ(midi->get_header_value("Content-Type"), "audio/midi");
    EXPECT_EQ(midi->get_header_value("Content-Disposition"), "attachment; filename=\"Ode to Joy.mid\"");
    EXPECT_EQ(midi->body, std::string(parts.midi.begin(), parts.midi.end()));
    auto ott = Client().Get("/tone/1.ott");
    ASSERT_TRUE(ott);
    EXPECT_EQ(ott->body, std::string(parts.message.begin(), parts.message.end()));
    auto hex = Client().Get("/tone/1.txt");
    ASSERT_TRUE(hex);
    EXPECT_EQ(hex->body, parts.strHex);

    // For each device, as export --target writes it; the page says where it plays as
    // posted.
    CToneMelody melody;
    std::vector<ToneLoss> losses;
    ASSERT_TRUE(ReadOttFile(parts.message, melody, losses, error)) << error;
    EXPECT_NE(page->body.find("<a href=\"/tone/1/devices\">For devices</a>"), std::string::npos);
    auto devices = Client().Get("/tone/1/devices");
    ASSERT_TRUE(devices);
    EXPECT_EQ(devices->status, 200);
    for (const char* device : {"flipper.fmf", "bluejay.bin", "meshtastic.rtttl"}) {
        const std::string name(device);
        const ToneTarget* target = ToneTargetNamed(name.substr(0, name.find('.')));
        ASSERT_NE(target, nullptr);
        std::string bytes;
        CTargetFit fit;
        ASSERT_TRUE(ExportToTarget(melody, *target, TargetFormForPath(*target, name), bytes, losses, fit, error));
        auto file = Client().Get("/tone/1/" + name);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->status, 200) << name;
        EXPECT_EQ(file->body, bytes) << name;
        EXPECT_NE(devices->body.find("href=\"/tone/1/" + name + "\""), std::string::npos) << name;
    }
    for (const char* missing : {"/tone/1/flipper.ott", "/tone/1/pager.rtttl", "/tone/1/flipper.", "/tone/9/esphome.rtttl"})
        EXPECT_EQ(Client().Get(missing)->status, 404) << missing;
}

TEST_F(GalleryHttpTest, RendersEachPreviewOnceAndKeepsIt)
{
    ASSERT_TRUE(Post("nick", "pw").m_bPosted);
    for (int i = 0; i < 2; ++i) {
        auto ogg = Client().Get("/tone/1.ogg");
        ASSERT_TRUE(ogg);
        EXPECT_EQ(ogg->status, 200);
        EXPECT_EQ(ogg->get_header_value("Content-Type"), "audio/ogg");
        EXPECT_EQ(ogg->body.substr(0, 4), "OggS");
    }
    EXPECT_EQ(m_pServer->Renderer().Calls(), 1);

    ASSERT_TRUE(Post("nick", "pw").m_bPosted);
    m_pServer->Renderer().SetFail(true);
    auto failed = Client().Get("/tone/2.ogg");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 503);
    EXPECT_NE(failed->body.find("The preview could not be rendered: the fake renderer was told to fail."),
              std::string::npos);
}

TEST_F(GalleryHttpTest, PreviewsBeingRenderedNeverHoldThePagesUp)
{
    // More renders than the gallery has threads for its pages (8), all held: a page
    // that waited for one would never be answered.
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(Post("nick", "pw").m_bPosted);
    m_pServer->Renderer().Hold();
    std::vector<std::thread> listeners;
    std::atomic<int> answered{0};
    for (int id = 1; id <= 10; ++id)
        listeners.emplace_back([&, id] {
            if (auto ogg = Client().Get("/tone/" + std::to_string(id) + ".ogg"); ogg && ogg->status == 200)
                ++answered;
        });
    for (int wait = 0; wait < 200 && m_pServer->Renderer().Calls() == 0; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the other requests arrive
    auto page = Client().Get("/");
    m_pServer->Renderer().Release();
    for (std::thread& listener : listeners)
        listener.join();
    ASSERT_TRUE(page) << "the page waited for renders";
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(answered.load(), 10);
}

TEST_F(GalleryHttpTest, KeptPreviewsAreServedDuringARenderFloodThatTakesOnlyItsShare)
{
    for (int i = 0; i < 41; ++i)
        ASSERT_TRUE(Post("nick", "pw").m_bPosted);
    ASSERT_EQ(Client().Get("/tone/41.ogg")->status, 200);
    // No render ends while the flood comes in, however slowly its threads start.
    m_pServer->Renderer().Hold();
    std::vector<std::thread> flood;
    std::atomic<int> refusedForTheAddress{0};
    for (int id = 1; id <= 40; ++id)
        flood.emplace_back([&, id] {
            if (auto ogg = Client().Get("/tone/" + std::to_string(id) + ".ogg");
                ogg && ogg->status == 503 && ogg->body.find("asked for by your address") != std::string::npos)
                ++refusedForTheAddress;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // Every render is held: a kept preview that waited for one would never come.
    int keptServed = 0;
    for (int probe = 0; probe < 10; ++probe)
        if (auto kept = Client().Get("/tone/41.ogg"); kept && kept->status == 200)
            ++keptServed;
    for (int wait = 0; wait < 200 && refusedForTheAddress.load() < 40 - 16; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    m_pServer->Renderer().Release();
    for (std::thread& request : flood)
        request.join();
    EXPECT_EQ(keptServed, 10) << "the kept preview waited for renders";
    EXPECT_EQ(refusedForTheAddress.load(), 40 - 16) << "one address has 16 places of the queue";
}

struct CBadPost {
    const char* m_szName;
    friend void PrintTo(const CBadPost& c, std::ostream* os) { *os << c.m_szName; }
    std::function<std::string(const std::vector<std::uint8_t>& package)> m_body;
    std::string m_strContentType;
    std::string m_strReason;
};

class GalleryRefuses : public GalleryHttpTest, public testing::WithParamInterface<CBadPost> {};

TEST_P(GalleryRefuses, TheBadPostWith400AndStoresNothing)
{
    auto res = PostBody(GetParam().m_body(m_package), GetParam().m_strContentType);
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(res->status, 400);
    EXPECT_NE(res->body.find("<title>Ringtone not stored</title>"), std::string::npos) << res->body;
    EXPECT_NE(res->body.find(GetParam().m_strReason), std::string::npos) << res->body;
    EXPECT_EQ(TonesOnPage(Port()), 0);
    // The server is still there for a good post.
    EXPECT_TRUE(Post("nick", "pw").m_bPosted);
}

std::string Body(const std::string& nick, const std::string& tone, const std::string& category,
                 const std::vector<std::uint8_t>& data)
{
    return UploadBodyOf(nick, "pw", tone, category, data);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GalleryRefuses,
    testing::Values(
        CBadPost{"an_empty_body", [](const auto&) { return std::string(); }, kUploadContentType, "The post is empty."},
        CBadPost{"a_body_over_8_kilobytes",
                 [](const auto&) { return Body("n", "t", "OTHERS", std::vector<std::uint8_t>(8000, 1)); },
                 kUploadContentType, "The post has 8586 bytes or more; the gallery takes at most 8192."},
        CBadPost{"a_body_of_two_megabytes", [](const auto&) { return std::string(2 << 20, 'x'); },
                 kUploadContentType, "the gallery takes at most 8192."},
        CBadPost{"a_form_that_is_not_multipart", [](const auto&) { return std::string("submitter=n"); },
                 "application/x-www-form-urlencoded", "is not a multipart form"},
        CBadPost{"a_malformed_multipart_body",
                 [](const auto& p) { return Body("n", "t", "OTHERS", p).substr(0, 300); }, kUploadContentType,
                 "does not end with the closing boundary line"},
        CBadPost{"a_field_with_a_line_break", [](const auto& p) { return Body("n", "a\r\nb", "OTHERS", p); },
                 kUploadContentType, "is not followed by a boundary line"},
        CBadPost{"an_over_long_nickname", [](const auto& p) { return Body(std::string(40, 'n'), "t", "OTHERS", p); },
                 kUploadContentType, "The nickname has 40 characters; the gallery takes at most 32."},
        CBadPost{"an_over_long_ringtone_name",
                 [](const auto& p) { return Body("n", std::string(33, 't'), "OTHERS", p); }, kUploadContentType,
                 "The ringtone name has 33 characters"},
        CBadPost{"an_unknown_category", [](const auto& p) { return Body("n", "t", "JAZZ", p); }, kUploadContentType,
                 "The category \"JAZZ\" is not one of ENGLISH, CHINESE, CLASSICAL and OTHERS."},
        CBadPost{"a_damaged_package",
                 [](const auto& p) {
                     auto broken = p;
                     broken.resize(broken.size() - 3);
                     return Body("n", "t", "OTHERS", broken);
                 },
                 kUploadContentType, "The ringtone package is damaged: "},
        CBadPost{"invalid_hex",
                 [](const auto&) { return Body("n", "t", "OTHERS", CompressedPackage(SmallPreviewMidi(), "02XY")); },
                 kUploadContentType, "not an upper-case hex digit"},
        CBadPost{"hex_that_is_no_ringing_tone",
                 [](const auto&) { return Body("n", "t", "OTHERS", CompressedPackage(SmallPreviewMidi(), "0000")); },
                 kUploadContentType, "is not a valid Smart Messaging ringing tone"}),
    [](const testing::TestParamInfo<CBadPost>& info) { return std::string(info.param.m_szName); });

TEST_F(GalleryHttpTest, ThePasswordOfTheFirstPostGuardsTheNickname)
{
    CProgramPost first = Post("nick", "secret");
    ASSERT_TRUE(first.m_bPosted) << first.m_strShown;

    CProgramPost wrong = Post("nick", "guess");
    EXPECT_FALSE(wrong.m_bPosted);
    EXPECT_EQ(wrong.m_strCaption, "Upload Error");
    EXPECT_EQ(wrong.m_strShown,
              "Ringtone not stored\nThe password is not the one registered for the nickname nick.\n");
    EXPECT_FALSE(Post("NICK", "guess").m_bPosted) << "letter case makes no other nickname";

    CProgramPost again = Post("NICK", "secret", "Second");
    ASSERT_TRUE(again.m_bPosted) << again.m_strShown;
    EXPECT_EQ(again.m_strShown, "Ringtone stored\n\"Second\" by nick is now in the Zorvat Ringtone Gallery under "
                                "Classical Music (number 2, posted 2025-12-08 08:00 UTC).\n");
    EXPECT_EQ(TonesOnPage(Port()), 2);

    auto refused = Delete(1, "guess");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 403);
    EXPECT_NE(refused->body.find("The password is not the one registered for nick, the author of \"Ode\"."),
              std::string::npos);
    EXPECT_EQ(TonesOnPage(Port()), 2);

    auto deleted = Delete(1, "secret");
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->status, 200);
    EXPECT_NE(deleted->body.find("\"Ode\" by nick is no longer in the gallery."), std::string::npos);
    EXPECT_EQ(TonesOnPage(Port()), 1);
    auto gone = Client().Get("/tone/1.mid");
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->status, 404);
    auto twice = Delete(1, "secret");
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->status, 404);
}

TEST_F(GalleryHttpTest, AnEmptyPasswordRegistersANicknameAnyoneMayUse)
{
    CProgramPost first = Post("open", "");
    ASSERT_TRUE(first.m_bPosted) << first.m_strShown;
    EXPECT_NE(first.m_strShown.find("registered without a password: anyone may post or delete under it."),
              std::string::npos);
    EXPECT_TRUE(Post("open", "").m_bPosted);
    EXPECT_FALSE(Post("open", "x").m_bPosted);
}

TEST_F(GalleryHttpTest, ARestartKeepsEveryAcknowledgedPost)
{
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Post("nick", "secret", "Tone " + std::to_string(i)).m_bPosted);
    m_pServer->Stop();
    StartServer();
    EXPECT_EQ(TonesOnPage(Port()), 3);
    EXPECT_FALSE(Post("nick", "other").m_bPosted) << "the registration is kept too";
    EXPECT_TRUE(Post("nick", "secret").m_bPosted);
}

TEST_F(GalleryHttpTest, FiftyConcurrentPostsAreAllStored)
{
    constexpr int kPosts = 50;
    std::vector<CProgramPost> results(kPosts);
    std::vector<std::thread> threads;
    // Ten posts for each of five new nicknames at once: their registrations race.
    for (int i = 0; i < kPosts; ++i)
        threads.emplace_back([&, i] {
            results[static_cast<std::size_t>(i)] =
                Post("author" + std::to_string(i % 5), "pw" + std::to_string(i % 5), "Tone " + std::to_string(i), i % 4);
        });
    for (std::thread& t : threads)
        t.join();
    std::set<std::string> numbers;
    for (const CProgramPost& post : results) {
        EXPECT_TRUE(post.m_bPosted) << post.m_strShown;
        std::size_t at = post.m_strShown.find("(number ");
        if (at != std::string::npos)
            numbers.insert(post.m_strShown.substr(at, post.m_strShown.find(',', at) - at));
    }
    EXPECT_EQ(numbers.size(), static_cast<std::size_t>(kPosts));
    EXPECT_EQ(TonesOnPage(Port()), kPosts);
}

TEST_F(GalleryHttpTest, AnswersOtherRequestsWithoutStoringAnything)
{
    auto get = Client().Get(kUpload.c_str());
    ASSERT_TRUE(get);
    EXPECT_EQ(get->status, 405);
    auto missing = Client().Get("/tone/99.ott");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    auto nowhere = Client().Get("/nowhere");
    ASSERT_TRUE(nowhere);
    EXPECT_EQ(nowhere->status, 404);
    EXPECT_NE(nowhere->body.find("the gallery is at /"), std::string::npos);
    EXPECT_EQ(TonesOnPage(Port()), 0);
}

} // namespace
