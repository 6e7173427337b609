#include "app/RecentFileList.h"

#include <algorithm>

#include "settings/SettingsStore.h"
#include "ui/ProfileWriteLog.h"

std::string CRecentFileList::KeyOf(std::size_t index)
{
    return "File" + std::to_string(index + 1);
}

void CRecentFileList::Load()
{
    m_entries.clear();
    for (std::size_t i = 0; i < kMaxEntries; ++i) {
        std::string path = m_settings.GetString(kRecentFileSection, KeyOf(i));
        if (path.empty())
            break;
        if (std::find(m_entries.begin(), m_entries.end(), path) == m_entries.end())
            m_entries.push_back(std::move(path));
    }
}

void CRecentFileList::Add(const std::string& path)
{
    if (path.empty())
        return;
    std::erase(m_entries, path);
    m_entries.insert(m_entries.begin(), path);
    if (m_entries.size() > kMaxEntries)
        m_entries.resize(kMaxEntries);
    Save();
}

void CRecentFileList::Remove(const std::string& path)
{
    if (std::erase(m_entries, path) != 0)
        Save();
}

void CRecentFileList::Save()
{
    // Written as each file is opened, so a program that is killed keeps its list. A
    // list that cannot be written is no reason to interrupt the user: the menu keeps
    // it for this session, and standard error says why the next one will not.
    for (std::size_t i = 0; i < kMaxEntries; ++i) {
        if (!m_settings.SetString(kRecentFileSection, KeyOf(i), i < m_entries.size() ? m_entries[i] : std::string())) {
            LogProfileWriteFailure(m_settings);
            return;
        }
    }
}
