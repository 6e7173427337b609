#include "engine/MidiOutputList.h"

void CMidiOutputList::Add(std::unique_ptr<CMidiOutput> output)
{
    if (!output)
        return;
    m_outputs.push_back(std::move(output));
    m_counts.push_back(0);
}

std::uint32_t CMidiOutputList::GetNumDevs()
{
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
    if (!Locate(id, output, local))
        return nullptr;
    return output->Open(local);
}
