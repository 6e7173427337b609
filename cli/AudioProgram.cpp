// zorvattone-cli-audio: "export" of the sound formats (.ogg, .m4r) and "ringtone", a
// program of its own so that the tool's other commands start without the synthesizer
// and the encoders. It takes export's arguments and says what export says, or
// "ringtone" and its arguments.

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/CliSongRingtone.h"
#include "cli/CliToneFile.h"
#include "fileio/RemoveRegularFile.h"
#include "tonefile/ToneAudio.h"

namespace {

// A directory of this run's own for the preview MIDI file, removed with it.
class CPrivateDir {
public:
    CPrivateDir()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zorvattone-audio-XXXXXX";
        if (::mkdtemp(pattern.data()))
            m_strPath = pattern;
        else
            m_strError = "cannot make a temporary directory in " + pattern.substr(0, pattern.rfind('/')) + ": " +
                         std::strerror(errno);
    }
    ~CPrivateDir()
    {
        if (m_strPath.empty())
            return;
        RemoveRegularFile(File());
        ::rmdir(m_strPath.c_str());
    }
    CPrivateDir(const CPrivateDir&) = delete;
    CPrivateDir& operator=(const CPrivateDir&) = delete;

    [[nodiscard]] bool Ok() const { return !m_strPath.empty(); }
    [[nodiscard]] const std::string& Error() const { return m_strError; }
    [[nodiscard]] std::string File() const { return m_strPath + "/tone.mid"; }

private:
    std::string m_strPath;
    std::string m_strError;
};

int Run(const std::vector<std::string>& args)
{
    if (!args.empty() && args[0] == "ringtone")
        return RunSongRingtone({args.begin() + 1, args.end()});
    CliExportArgs parsed;
    if (int rc = CliParseExportArgs(args, parsed); rc != kExitOk)
        return rc;
    if (!IsAudioFormat(parsed.format))
        return CliUsageError("export", std::string(kAudioProgram) + " writes .ogg and .m4r only");
    CToneMelody melody;
    std::vector<ToneLoss> losses;
    if (int rc = CliReadRtttlFile(parsed.strInput, parsed.index, parsed.tone, melody, losses); rc != kExitOk)
        return rc;
    if (CliNoNoteLeft(melody, losses, losses.size())) {
        CliWarnLosses(losses);
        return CliFailure(parsed.strInput + ": no note is left to write; " + parsed.strOutput + " is not written");
    }
    CPrivateDir dir;
    if (!dir.Ok())
        return CliFailure(dir.Error());
    std::string bytes;
    std::string error;
    if (!RenderToneAudio(melody, parsed.format, parsed.nProgram, dir.File(), bytes, losses, error, parsed.nSeconds)) {
        CliWarnLosses(losses);
        return CliFailure("cannot make " + parsed.strOutput + ": " + error);
    }
    CliWarnLosses(losses);
    return CliWriteOutput(parsed.strOutput, bytes.data(), bytes.size(), parsed.strInput);
}

} // namespace

int main(int argc, char** argv)
{
    return CliCommandProgramMain(argc, argv, kExportUsage, &Run);
}
