#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ringtone/RingtonePackage.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestHttpServer.h"

namespace {

const std::string kSong = "Tune:d=4,o=5,b=120:c,8d,e,";

struct PostCliTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        std::filesystem::create_directories(home.File("tmp"));
        WriteProfile("nick", "nick@example.net");
    }

    void WriteProfile(const std::string& nickname, const std::string& email)
    {
        const std::string dir = home.File("config/Zorvat Zavi 1.0");
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(WriteFile(dir + "/ZorvatTone.ini", "[IDENTITY]\nNICKNAME=" + nickname + "\nEMAIL=" + email +
                                                           "\nPASSWD=pw\n\n[SYSTEM]\nEMAIL=gallery.invalid\nTEMP=" +
                                                           home.File("tmp") + "\n"));
    }

    ProgramResult Post(std::vector<std::string> args, const std::string* pStdin = nullptr)
    {
        args.insert(args.begin(), "post");
        return RunCli(args, {.env = {"HOME=" + home.Path(), "XDG_CONFIG_HOME=" + home.File("config")},
                             .stdinText = pStdin});
    }

    std::string Host() const { return "127.0.0.1:" + std::to_string(server.Port()); }

    std::string SongFile(const std::string& text)
    {
        std::string path = home.File("song.txt");
        EXPECT_TRUE(WriteFile(path, text));
        return path;
    }

    CTempDir home;
    CTestHttpServer server;
};

// The value of one form field of a body built by BuildUploadBody.
std::string Field(const std::string& body, const std::string& name)
{
    std::string head = "name=\"" + name + "\"";
    std::size_t at = body.find(head);
    if (at == std::string::npos)
        return "<absent>";
    at = body.find("\r\n\r\n", at) + 4;
    return body.substr(at, body.find("\r\n-----------------------------7cf2e411b8c", at) - at);
}

} // namespace

TEST_F(PostCliTest, PostsThePackagePrintingEachStepAndThenTheReply)
{
    server.Queue(CTestHttpServer::Answer(200, "OK", "<html><body>Tune is in the gallery</body></html>"));
    ProgramResult r = Post({"--name", "My Tune", "--category", "classical", "--host", Host(), SongFile(kSong)});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Resolving Zorvat Home Site's IP...\nGot Zorvat Home Site's IP !\n"
                     "Connecting to Zorvat Home Site...\nConnected to Zorvat Home Site !\n"
                     "Uploading data to server...\nData uploaded to server !\n"
                     "Waiting response from server...\nGot response from server !\n"
                     "Disconnecting from Zorvat Home Site...\nDisconnected !\n"
                     "Ringtone upload successful !\n"
                     "Tune is in the gallery\n");
    EXPECT_EQ(r.err, "");

    ASSERT_EQ(server.Requests().size(), 1u);
    std::string request = server.Requests()[0];
    std::string body = request.substr(request.find("\r\n\r\n") + 4);
    EXPECT_EQ(Field(body, "submitter"), "nick");
    EXPECT_EQ(Field(body, "password"), "pw");
    EXPECT_EQ(Field(body, "tone"), "My Tune");
    EXPECT_EQ(Field(body, "category"), "CLASSICAL");
    // The package runs up to the closing line, with no line break before it.
    std::size_t dataStart = body.find("application/octet-stream\r\n\r\n") + 28;
    std::string closing = "-----------------------------7cf2e411b8c--\r\n" + std::string(1, '\0');
    ASSERT_EQ(body.substr(body.size() - closing.size()), closing);
    std::string data = body.substr(dataStart, body.size() - closing.size() - dataStart);
    RingtonePackageParts parts;
    std::string error;
    EXPECT_TRUE(ReadRingtonePackage(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), parts, error))
        << error;
    EXPECT_TRUE(std::filesystem::is_empty(home.File("tmp"))) << "package, preview and hex files are gone";
}

TEST_F(PostCliTest, ReadsTheSongFromStandardInput)
{
    ProgramResult r = Post({"--name", "T", "--category", "others", "--host", Host(), "-"}, &kSong);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_NE(server.Requests()[0].find("\r\n\r\nOTHERS\r\n"), std::string::npos);
}

TEST_F(PostCliTest, ARefusedUploadFailsWithTheServersText)
{
    server.Queue(CTestHttpServer::Answer(500, "Internal Server Error", "<h1>Gallery is full</h1>"));
    ProgramResult r = Post({"--name", "T", "--category", "english", "--host", Host(), SongFile(kSong)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Ringtone upload error !\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "Upload Error: Gallery is full\n");
}

TEST_F(PostCliTest, AnUnreachableSiteFailsWithTheTransportsMessage)
{
    ProgramResult r = Post({"--name", "T", "--category", "english", "--host",
                        "127.0.0.1:" + std::to_string(UnusedPort()), SongFile(kSong)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Upload Error: Could not connect to the home site 127.0.0.1:"), std::string::npos)
        << r.err;
}

TEST_F(PostCliTest, AMissingIdentityStopsBeforeTheUploadAndKeepsThePackage)
{
    WriteProfile("", "nick@example.net");
    ProgramResult r = Post({"--name", "T", "--category", "english", "--host", Host(), SongFile(kSong)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Nickname Error: You have not yet setup your nickname.\n");
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_FALSE(std::filesystem::is_empty(home.File("tmp")));
}

TEST_F(PostCliTest, ASongTooLongForOneMessageNeedsTruncate)
{
    std::string song = "Long:d=4,o=5,b=120:";
    for (int i = 0; i < 90; ++i)
        song += "8c5,";
    ProgramResult refused = Post({"--name", "T", "--category", "english", "--host", Host(), SongFile(song)});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("--truncate"), std::string::npos) << refused.err;
    EXPECT_TRUE(server.Requests().empty());

    ProgramResult cut = Post({"--name", "T", "--category", "english", "--truncate", "--host", Host(), SongFile(song)});
    EXPECT_EQ(cut.exitCode, 0) << cut.err;
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_NE(cut.err.find("zorvattone-cli: warning: dropped \"8c5\": cut to fit one message\n"), std::string::npos)
        << cut.err;
}

TEST_F(PostCliTest, BadUsageIsRefusedBeforeAnything)
{
    std::string file = SongFile(kSong);
    const std::vector<std::vector<std::string>> cases = {
        {"--category", "english", file},
        {"--name", "", "--category", "english", file},
        {"--name", std::string(33, 'n'), "--category", "english", file},
        {"--name", "T", file},
        {"--name", "T", "--category", "jazz", file},
        {"--name", "T", "--category", "english"},
        {"--name", "T", "--category", "english", "--host", "h:0", file},
        {"--name", "T", "--category", "english", "--host", "h:", file},
        {"--name", "T", "--category", "english", "--host", ":9011", file},
        {"--name", "T", "--category", "english", "--volume", "3", file},
    };
    for (const auto& args : cases) {
        ProgramResult r = Post(args);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find("zorvattone-cli post: "), std::string::npos) << r.err;
    }
    EXPECT_TRUE(server.Requests().empty());
}
