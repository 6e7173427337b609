// zorvattone-cli-post: the "post" command of zorvattone-cli, a program of its own
// so that the tool's other commands start without the HTTP library and its TLS
// stack.

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliPrompt.h"
#include "cli/CliRingtone.h"
#include "cli/PostUsage.h"
#include "convert/RingtoneConverter.h"
#include "prompt/Prompt.h"
#include "ringtone/RingtonePackage.h"
#include "settings/ProfileKeys.h"
#include "settings/ProfileReader.h"
#include "upload/CurlHttpTransport.h"
#include "upload/HostAddress.h"
#include "upload/PostOpenHandler.h"
#include "upload/StatusLine.h"

namespace {

constexpr std::size_t kMaxToneName = 32;

// Messages of the conversion and the post as every ringtone command prints them;
// only the server's reply goes to standard output, where a script can take it.
class CPostCliPrompt final : public CPrompt {
public:
    explicit CPostCliPrompt(bool bTruncate) : m_messages(bTruncate) {}

    PromptAnswer Show(const std::string& text, const std::string& caption, PromptIcon icon, PromptButtons buttons,
                      const std::string& detail) override
    {
        if (caption != "Post Result")
            return m_messages.Show(text, caption, icon, buttons, detail);
        std::printf("%s%s", text.c_str(), !text.empty() && text.back() == '\n' ? "" : "\n");
        if (!detail.empty())
            std::printf("%s\n", detail.c_str());
        std::fflush(stdout);
        return PromptAnswer::Ok;
    }

    // The truncation question was asked and the answer was no.
    [[nodiscard]] bool Declined() const { return m_messages.Declined(); }

private:
    CCliPrompt m_messages;
};

class CStdoutStatusLine final : public CStatusLine {
public:
    void SetText(const std::string& text) override
    {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }
};

// The profile, but with the home site given on the command line.
class CHomeSiteOverride final : public CSettingsStore {
public:
    CHomeSiteOverride(CSettingsStore& base, std::optional<std::string> homeSite)
        : m_base(base), m_homeSite(std::move(homeSite))
    {
    }
    [[nodiscard]] std::string GetString(const std::string& section, const std::string& key) const override
    {
        if (m_homeSite && section == kProfileSystem && key == kProfileHomeSite)
            return *m_homeSite;
        return m_base.GetString(section, key);
    }
    bool SetString(const std::string& section, const std::string& key, const std::string& value) override
    {
        return m_base.SetString(section, key, value);
    }

private:
    CSettingsStore& m_base;
    std::optional<std::string> m_homeSite;
};

bool ParseCategory(const std::string& word, int& nPosition)
{
    const char* words[] = {"english", "chinese", "classical", "others"};
    for (int i = 0; i < 4; ++i) {
        if (word == words[i]) {
            nPosition = i;
            return true;
        }
    }
    return false;
}

int RunPost(const std::vector<std::string>& args)
{
    CCommandArgs parsed(args, {"--name", "--category", "--host"}, {"--truncate"});
    if (!parsed.Ok())
        return CliUsageError("post", parsed.Error());
    if (parsed.Positional().size() != 1)
        return CliUsageError("post", "expects exactly one FILE (or - for standard input)");
    std::optional<std::string> name = parsed.Value("--name");
    if (!name || name->empty() || name->size() > kMaxToneName)
        return CliUsageError("post", "--name takes a ringtone name of 1 to 32 characters");
    int nCategory = -1;
    std::optional<std::string> category = parsed.Value("--category");
    if (!category || !ParseCategory(*category, nCategory))
        return CliUsageError("post", "--category takes english, chinese, classical or others");
    CUploadOptions options;
    std::optional<std::string> homeSite;
    if (std::optional<std::string> hostText = parsed.Value("--host")) {
        homeSite.emplace();
        std::optional<std::uint16_t> port;
        if (!ParseHostAddress(*hostText, *homeSite, port))
            return CliUsageError("post", "--host takes HOST or HOST:PORT (port 1 to 65535)");
        options.m_wPort = port.value_or(options.m_wPort);
    }

    std::string text;
    std::string error;
    if (!CliReadInput(parsed.Positional()[0], text, error))
        return CliFailure(error);

    CProfileFileReader profile;
    CHomeSiteOverride settings(profile, homeSite);
    CPostCliPrompt prompt(parsed.Flag("--truncate"));
    CStdoutStatusLine statusLine;
    CCurlHttpTransport transport;
    bool bPosted = false;
    CPostOpenHandler handler(settings, prompt, [&](CPostController& controller) {
        controller.SetToneName(*name);
        controller.SetCategory(nCategory);
        controller.SetUploadOptions(options);
        bPosted = controller.Post(settings, transport, statusLine, prompt);
    });
    CRingtoneConverter converter(text, 0, settings, prompt, &handler);
    std::string packagePath = MakePackagePath(settings.GetString(kProfileSystem, kProfileTempDir),
                                              static_cast<std::int64_t>(std::time(nullptr)));
    if (!converter.Convert(text, packagePath)) {
        if (prompt.Declined())
            return CliFailure("the ringtone is too long for one message; --truncate cuts it to fit");
        return kExitFailed;
    }
    CliWarnDropped(converter);
    return bPosted ? kExitOk : kExitFailed;
}

} // namespace

// The program zorvattone-cli starts for "post": only it loads the HTTP library.
int main(int argc, char** argv)
{
    return CliCommandProgramMain(argc, argv, kPostUsage, &RunPost);
}
