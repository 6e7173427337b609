#pragma once
// A converter's surroundings for tests: a temporary directory as "TEMP", an
// in-memory profile, a recording prompt and a post handler that remembers.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "convert/PostHandler.h"
#include "convert/RingtoneConverter.h"
#include "prompt/Prompt.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

// Readable failures: "8c9" (0): octave 9 is outside 4-7
inline void PrintTo(const DroppedToken& d, std::ostream* os)
{
    *os << '"' << d.strToken << "\" (" << static_cast<int>(d.reason) << "): " << d.strReason;
}

class CRecordingPostHandler final : public CPostHandler {
public:
    bool OpenPost(const std::string& packagePath, const std::string& toneName) override
    {
        m_calls.push_back({packagePath, toneName});
        return true;
    }
    std::vector<std::pair<std::string, std::string>> m_calls;
};

class ConverterTest : public ::testing::Test {
protected:
    void SetUp() override { m_settings.SetString(kProfileSystem, kProfileTempDir, m_dir.Path()); }

    // Runs Convert on `rtttl`; `text` receives what Convert leaves in the caller's string.
    bool Run(const std::string& rtttl, const std::string& outputPath = "", std::uint16_t division = 96,
             int program = -1)
    {
        CRingtoneConverter converter(rtttl, division, m_settings, m_prompt, &m_post);
        if (program >= 0)
            converter.SetProgram(static_cast<std::uint8_t>(program));
        m_text = rtttl;
        bool ok = converter.Convert(m_text, outputPath);
        m_notes = converter.Notes();
        m_dropped = converter.Dropped();
        return ok;
    }

    [[nodiscard]] std::string Midi() const { return m_dir.File("zorvat.mid"); }
    [[nodiscard]] const CRecordingPrompt::Entry& LastMessage() const { return m_prompt.Entries().back(); }

    CTempDir m_dir;
    CMemorySettingsStore m_settings;
    CRecordingPrompt m_prompt;
    CRecordingPostHandler m_post;
    std::string m_text;
    std::vector<RingtoneNote> m_notes;
    std::vector<DroppedToken> m_dropped;
};
