#pragma once
// What the ringtone commands share: the temporary directory (the profile's "TEMP",
// or --temp for one run), the RTTTL input and one conversion.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliPrompt.h"
#include "convert/RingtoneConverter.h"
#include "settings/ProfileKeys.h"
#include "settings/ProfileReader.h"
#include "settings/SettingsStore.h"

// The usage lines every ringtone command shares.
#define ZT_CLI_RINGTONE_OPTIONS                                                                 \
    "  --truncate    cut a ringtone that is too long for one message (130 octets)\n"            \
    "                instead of giving up (exit code 1)\n"                                      \
    "  --temp DIR    the temporary working directory for this run (default: the\n"             \
    "                profile's SYSTEM/TEMP, as the desktop program uses)\n"

struct CliConversion {
    std::string strRebuilt;            // the RTTTL text as the conversion rebuilt it
    std::string strName;               // the ringtone name from the header
    std::int32_t tempo = 0;
    std::vector<RingtoneNote> notes;
    std::string strTempDir;
};

// The profile entry the converter reads: --temp when given, else the user's profile
// (read only then, so --temp runs never look at the home directory).
inline void CliLoadTempDir(const CCommandArgs& args, CMemorySettingsStore& settings)
{
    std::optional<std::string> temp = args.Value("--temp");
    settings.SetString(kProfileSystem, kProfileTempDir,
                       temp ? *temp : ReadProfileString(UserProfilePath(), kProfileSystem, kProfileTempDir));
}

// Every token the conversion left out, one warning line each on standard error:
// zorvattone-cli: warning: dropped "8c9": octave 9 is outside 4-7
// Left-out tokens do not fail the command; the warnings keep them from going unseen.
inline void CliWarnDropped(const CRingtoneConverter& converter)
{
    for (const DroppedToken& dropped : converter.Dropped())
        std::fprintf(stderr, "zorvattone-cli: warning: dropped \"%s\": %s\n", dropped.strToken.c_str(),
                     dropped.strReason.c_str());
}

// Reads the RTTTL text of the one positional argument (standard input when none or
// "-") and runs Convert with outputPath (empty: the preview only). Messages, and
// the warnings of CliWarnDropped, go to standard error. Returns kExitOk, or
// kExitFailed after the message that says why.
[[nodiscard]] inline int CliConvertRtttl(const CCommandArgs& args, std::uint16_t division, int program,
                                         const std::string& outputPath, CliConversion& out,
                                         const std::string& nameOverride = std::string())
{
    std::string path = args.Positional().empty() ? "-" : args.Positional()[0];
    std::string text;
    std::string error;
    if (!CliReadInput(path, text, error))
        return CliFailure(error);
    if (std::size_t colon = text.find(':'); !nameOverride.empty() && colon != std::string::npos)
        text = nameOverride + text.substr(colon);

    CMemorySettingsStore settings;
    CliLoadTempDir(args, settings);
    CCliPrompt prompt(args.Flag("--truncate"));
    CRingtoneConverter converter(text, division, settings, prompt);
    if (program >= 0)
        converter.SetProgram(static_cast<std::uint8_t>(program));
    if (!converter.Convert(text, outputPath)) {
        if (prompt.Declined())
            return CliFailure("the ringtone is too long for one message; --truncate cuts it to fit");
        return kExitFailed;
    }
    CliWarnDropped(converter);
    out = {text, converter.ToneName(), converter.Tempo(), converter.Notes(),
           settings.GetString(kProfileSystem, kProfileTempDir)};
    return kExitOk;
}
