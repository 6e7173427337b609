#include "tests/support/FakeMidiOutput.h"

#include <utility>

class CFakeMidiOutPort final : public CMidiOutPort {
public:
    CFakeMidiOutPort(CFakeMidiOutput& owner, std::uint32_t id) : m_owner(owner), m_uId(id) {}
    ~CFakeMidiOutPort() override { m_owner.Closed(m_uId); }

    bool ShortMsg(std::uint32_t packed) override { return m_owner.Send(m_uId, packed); }
    bool GetVolume(std::uint32_t& volume) override
    {
        volume = m_owner.GetDeviceVolume(m_uId);
        return true;
    }
    bool SetVolume(std::uint32_t volume) override
    {
        m_owner.SetDeviceVolume(m_uId, volume);
        return true;
    }

private:
    CFakeMidiOutput& m_owner;
    std::uint32_t m_uId;
};

void CFakeMidiOutput::AddDevice(std::string name, std::uint16_t technology, bool opens, std::uint32_t volume)
{
    std::lock_guard lock(m_mutex);
    Device d;
    d.caps.strName = std::move(name);
    d.caps.wTechnology = technology;
    d.bOpens = opens;
    d.dwVolume = volume;
    m_devices.push_back(std::move(d));
}

void CFakeMidiOutput::SetTickSource(std::function<std::uint64_t()> source)
{
    std::lock_guard lock(m_mutex);
    m_tickSource = std::move(source);
}

void CFakeMidiOutput::SetFailSends(bool fail)
{
    std::lock_guard lock(m_mutex);
    m_bFailSends = fail;
}

void CFakeMidiOutput::SetLastError(std::string reason)
{
    std::lock_guard lock(m_mutex);
    m_strLastError = std::move(reason);
}

void CFakeMidiOutput::SetChosenName(std::string name)
{
    std::lock_guard lock(m_mutex);
    m_strChosen = std::move(name);
}

std::string CFakeMidiOutput::LastError() const
{
    std::lock_guard lock(m_mutex);
    return m_strLastError;
}

std::string CFakeMidiOutput::GetChosenName() const
{
    std::lock_guard lock(m_mutex);
    return m_strChosen;
}

std::vector<CFakeMidiOutput::SentMessage> CFakeMidiOutput::Messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<std::uint32_t> CFakeMidiOutput::Packed() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::uint32_t> out;
    out.reserve(m_messages.size());
    for (const SentMessage& m : m_messages)
        out.push_back(m.dwPacked);
    return out;
}

void CFakeMidiOutput::ClearMessages()
{
    std::lock_guard lock(m_mutex);
    m_messages.clear();
}

bool CFakeMidiOutput::WaitForMessages(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_arrived.wait_for(lock, timeout, [&] { return m_messages.size() >= count; });
}

std::uint32_t CFakeMidiOutput::GetDeviceVolume(std::uint32_t id) const
{
    std::lock_guard lock(m_mutex);
    return id < m_devices.size() ? m_devices[id].dwVolume : 0;
}

void CFakeMidiOutput::SetDeviceVolume(std::uint32_t id, std::uint32_t volume)
{
    std::lock_guard lock(m_mutex);
    if (id < m_devices.size())
        m_devices[id].dwVolume = volume;
}

int CFakeMidiOutput::GetOpenCount(std::uint32_t id) const
{
    std::lock_guard lock(m_mutex);
    return id < m_devices.size() ? m_devices[id].nOpenCount : 0;
}

bool CFakeMidiOutput::IsDeviceOpen(std::uint32_t id) const
{
    std::lock_guard lock(m_mutex);
    return id < m_devices.size() && m_devices[id].bOpen;
}

std::uint32_t CFakeMidiOutput::GetNumDevs()
{
    std::lock_guard lock(m_mutex);
    return static_cast<std::uint32_t>(m_devices.size());
}

bool CFakeMidiOutput::GetDevCaps(std::uint32_t id, MidiOutCaps& caps)
{
    std::lock_guard lock(m_mutex);
    if (id >= m_devices.size())
        return false;
    caps = m_devices[id].caps;
    return true;
}

std::unique_ptr<CMidiOutPort> CFakeMidiOutput::Open(std::uint32_t id)
{
    std::lock_guard lock(m_mutex);
    if (id >= m_devices.size() || !m_devices[id].bOpens || m_devices[id].bOpen)
        return nullptr;
    m_devices[id].bOpen = true;
    ++m_devices[id].nOpenCount;
    return std::make_unique<CFakeMidiOutPort>(*this, id);
}

bool CFakeMidiOutput::Send(std::uint32_t id, std::uint32_t packed)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_bFailSends)
            return false;
        const std::uint64_t tick = m_tickSource ? m_tickSource() : 0;
        m_messages.push_back({packed, tick, id});
    }
    m_arrived.notify_all();
    return true;
}

void CFakeMidiOutput::Closed(std::uint32_t id)
{
    std::lock_guard lock(m_mutex);
    if (id < m_devices.size())
        m_devices[id].bOpen = false;
}
