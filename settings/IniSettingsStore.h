#pragma once
// The user's profile as an INI file, kept by QSettings: groups "IDENTITY" and
// "SYSTEM", every value a string. The file holds the password in plain text, so it
// is kept readable and writable by its owner only (0600).

#include <memory>
#include <string>

#include "settings/SettingsStore.h"

class QSettings;

class CIniSettingsStore final : public CSettingsStore {
public:
    // The user's profile, "$XDG_CONFIG_HOME/Zorvat Zavi 1.0/ZorvatTone.ini"
    // (~/.config when XDG_CONFIG_HOME is not set).
    CIniSettingsStore();
    // A profile in the named file (tests, other profiles).
    explicit CIniSettingsStore(const std::string& filePath);
    ~CIniSettingsStore() override;
    CIniSettingsStore(const CIniSettingsStore&) = delete;
    CIniSettingsStore& operator=(const CIniSettingsStore&) = delete;

    // A value written by hand as a list ("a, b", unquoted) reads back joined with ",".
    [[nodiscard]] std::string GetString(const std::string& section, const std::string& key) const override;
    // Writes the entry to disk at once; false when the file could not be written
    // (the entry may then be lost), with WriteError() saying why. A failure does not
    // fail the writes after it once the file can be written again.
    [[nodiscard]] bool SetString(const std::string& section, const std::string& key,
                                 const std::string& value) override;

    // The INI file this store reads and writes.
    [[nodiscard]] std::string FilePath() const override;
    [[nodiscard]] std::string WriteError() const override { return m_strWriteError; }

private:
    void Open();
    bool EnsurePrivateFile();
    bool Fail(std::string reason);

    bool m_bUserProfile = false;
    std::string m_strFilePath; // when not the user's profile
    std::unique_ptr<QSettings> m_pSettings;
    std::string m_strWriteError;
};
