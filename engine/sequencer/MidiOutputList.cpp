#include "engine/sequencer/MidiOutputList.h"

void CMidiOutputList::Add(std::unique_ptr<CMidiOutput> output)
{
    if (!output)
        return;
    m_outputs.push_back(std::move(output));
    m_counts.push_back(0);
}

std::uint32_t CMidiOutputList::GetNumDevs()
{
    m_pOpened = nullptr;
    m_strError.clear();
    std::uint32_t total = 0;
    for (std::size_t i = 0; i < m_outputs.size(); ++i) {
        m_counts[i] = m_outputs[i]->GetNumDevs();
        total += m_counts[i];
    }
    return total;
}

bool CMidiOutputList::Locate(std::uint32_t id, CMidiOutput*& output, std::uint32_t& local) const
{
    for (std::size_t i = 0; i < m_outputs.size(); ++i) {
        if (id < m_counts[i]) {
            output = m_outputs[i].get();
            local = id;
            return true;
        }
        id -= m_counts[i];
    }
    return false;
}

bool CMidiOutputList::GetDevCaps(std::uint32_t id, MidiOutCaps& caps)
{
    CMidiOutput* output = nullptr;
    std::uint32_t local = 0;
    return Locate(id, output, local) && output->GetDevCaps(local, caps);
}

std::unique_ptr<CMidiOutPort> CMidiOutputList::Open(std::uint32_t id)
{
    CMidiOutput* output = nullptr;
    std::uint32_t local = 0;
    m_pOpened = nullptr;
    if (!Locate(id, output, local)) {
        m_strError = "no such MIDI output";
        return nullptr;
    }
    m_strError.clear();
    m_pOpened = output;
    return output->Open(local);
}

std::string CMidiOutputList::LastError() const
{
    if (m_pOpened)
        return m_pOpened->LastError();
    if (!m_strError.empty())
        return m_strError;
    for (const auto& output : m_outputs) {
        std::string error = output->LastError();
        if (!error.empty())
            return error;
    }
    return std::string();
}
