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
    // Writes one entry at once; returns false when the store could not keep it.
    virtual bool SetString(const std::string& section, const std::string& key, const std::string& value) = 0;
};

// A profile that lives in memory only: the fake used by tests and by one-off runs.
class CMemorySettingsStore final : public CSettingsStore {
public:
    [[nodiscard]] std::string GetString(const std::string& section, const std::string& key) const override
    {
        auto it = m_values.find({section, key});
        return it == m_values.end() ? std::string() : it->second;
    }
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
