#include "tests/gallery/GalleryTestData.h"

#include <stdlib.h>

#include "convert/PostHandler.h"
#include "convert/RingtoneConverter.h"
#include "fileio/ReadWholeFile.h"
#include "prompt/Prompt.h"
#include "ringtone/LzwEncoder.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "upload/UploadBody.h"


std::vector<std::uint8_t> SmallPreviewMidi()
{
    return {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x01, 0x00, 0x60, 0x4D, 0x54, 0x72,
            0x6B, 0x00, 0x00, 0x00, 0x1E, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xC0, 0x39, 0x00, 0x90,
            0x3C, 0x7F, 0x30, 0x80, 0x3C, 0x7F, 0x60, 0x90, 0x3E, 0x7F, 0x30, 0x80, 0x3E, 0x7F, 0x00, 0xFF, 0x2F,
            0x00};
}

std::vector<std::uint8_t> CompressedPackage(const std::vector<std::uint8_t>& midi, const std::string& hex)
{
    std::vector<std::uint8_t> package = BuildRingtonePackage(midi, hex);
    return LzwCompressBytes(package.data(), package.size());
}

std::vector<std::uint8_t> GoodPackage()
{
    return CompressedPackage(SmallPreviewMidi(), HexOf(MessageOf("Tone", 120, ScaleNotes(3))));
}

namespace {

class CKeepPackage final : public CPostHandler {
public:
    bool OpenPost(const std::string& packagePath, const std::string&) override
    {
        FileError error;
        return ReadWholeFile(packagePath, 1 << 20, m_package, error);
    }
    std::vector<std::uint8_t> m_package;
};

} // namespace

std::vector<std::uint8_t> PackageFromRtttl(const std::string& rtttl, const std::string& tempDir)
{
    CMemorySettingsStore settings;
    settings.SetString(kProfileSystem, kProfileTempDir, tempDir);
    CRecordingPrompt prompt;
    CKeepPackage handler;
    CRingtoneConverter converter(rtttl, 96, settings, prompt, &handler);
    std::string text = rtttl;
    if (!converter.Convert(text, tempDir + "/1700000000"))
        return {};
    return handler.m_package;
}

std::string UploadBodyOf(const std::string& submitter, const std::string& password, const std::string& tone,
                         const std::string& category, const std::vector<std::uint8_t>& data)
{
    std::vector<unsigned char> body = BuildUploadBody(submitter, password, tone, category, data);
    return std::string(body.begin(), body.end());
}
