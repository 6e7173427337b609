// Any text through the whole conversion, for Listen and for posting, into a scratch
// directory; the truncation question is answered OK or Cancel by the first byte.
// Whatever Convert accepts, the package it builds must read back; whatever it
// leaves out is named, with a reason.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "convert/PostHandler.h"
#include "convert/RingtoneConverter.h"
#include "prompt/Prompt.h"
#include "ringtone/RingtonePackage.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"

namespace {

const std::string& ScratchDir()
{
    static const std::string dir = [] {
        std::string templ = (std::filesystem::temp_directory_path() / "zt-fuzz-rtttl-XXXXXX").string();
        return std::string(::mkdtemp(templ.data()));
    }();
    return dir;
}

class CCheckingPostHandler final : public CPostHandler {
public:
    bool OpenPost(const std::string& packagePath, const std::string&) override
    {
        std::ifstream in(packagePath, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        RingtonePackageParts parts;
        std::string error;
        if (!ReadRingtonePackage(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), parts, error))
            std::abort(); // we built a package we cannot read
        std::filesystem::remove(packagePath);
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool answerOk = data[0] & 1;
    const bool post = data[0] & 2;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    CMemorySettingsStore settings;
    settings.SetString(kProfileSystem, kProfileTempDir, ScratchDir());
    CRecordingPrompt prompt;
    for (int i = 0; i < 4; ++i)
        prompt.QueueAnswer(answerOk ? PromptAnswer::Ok : PromptAnswer::Cancel);
    CCheckingPostHandler handler;
    CRingtoneConverter converter(text, static_cast<std::uint16_t>(data[0] << 2), settings, prompt, &handler);
    std::string rtttl = text;
    const bool ok = converter.Convert(rtttl, post ? MakePackagePath(ScratchDir(), 1) : std::string());
    if (ok && rtttl.empty())
        std::abort(); // success always leaves at least the rebuilt header
    for (const DroppedToken& dropped : converter.Dropped())
        if (dropped.strToken.empty() || dropped.strReason.empty())
            std::abort(); // empty tokens are skipped, and every report says why
    return 0;
}
