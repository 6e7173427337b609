#pragma once
// The user's profile: string entries by section and key ("IDENTITY"/"NICKNAME" ...).
// Readers take a CSettingsStore&, so the core is tested with the in-memory store.

#include <map>
#include <string>
#include <utility>

class CSettingsStore {
public:
    virtual ~CSettingsStore() = default;
    // The stored value, or the empty string when the entry is absent.
    [[nodiscard]] virtual std::string GetString(const std::string& section, const std::string& key) const = 0;
    // Writes one entry at once. False when the store could not keep it: WriteError()
    // then says why and FilePath() names the file that could not be written.
    [[nodiscard]] virtual bool SetString(const std::string& section, const std::string& key,
                                         const std::string& value) = 0;
    // The file the profile is kept in; empty for a store without one.
    [[nodiscard]] virtual std::string FilePath() const { return {}; }
    // Why the last SetString returned false, as strerror(3) words it ("Permission
    // denied"); empty after a SetString that succeeded.
    [[nodiscard]] virtual std::string WriteError() const { return {}; }
};

// A profile that lives in memory only: the fake used by tests and by one-off runs.
// Its writes cannot fail, so a caller that holds it as itself may ignore them.
class CMemorySettingsStore final : public CSettingsStore {
public:
    [[nodiscard]] std::string GetString(const std::string& section, const std::string& key) const override
    {
        auto it = m_values.find({section, key});
        return it == m_values.end() ? std::string() : it->second;
    }
    // Always true.
    bool SetString(const std::string& section, const std::string& key, const std::string& value) override
    {
        m_values[{section, key}] = value;
        return true;
    }
    [[nodiscard]] bool Has(const std::string& section, const std::string& key) const
    {
        return m_values.count({section, key}) != 0;
    }

private:
    std::map<std::pair<std::string, std::string>, std::string> m_values;
};
