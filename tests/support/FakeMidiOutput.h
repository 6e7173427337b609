#pragma once
// A MIDI output for tests: the test chooses the devices it offers, and every short
// message that reaches an open device is kept with the tick it came in. Safe to
// read from the test thread while a clock thread sends.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/sequencer/MidiOutput.h"

class CFakeMidiOutput final : public CMidiOutput {
public:
    struct SentMessage {
        std::uint32_t dwPacked = 0;
        std::uint64_t qwTick = 0; // what the tick source said when the message came
        std::uint32_t uDevice = 0;
        friend bool operator==(const SentMessage&, const SentMessage&) = default;
    };

    // Appends a device with the next id. A device that does not open makes Open fail.
    void AddDevice(std::string name, std::uint16_t technology, bool opens = true, std::uint32_t volume = 0xFFFFFFFF);
    // Where the tick number of each message comes from (0 when unset).
    void SetTickSource(std::function<std::uint64_t()> source);
    // Makes every ShortMsg fail (the message is not kept).
    void SetFailSends(bool fail);
    // What LastError answers, as a backend says why it did not open or offers nothing.
    void SetLastError(std::string reason);
    // What GetChosenName answers: the device the user chose.
    void SetChosenName(std::string name);

    [[nodiscard]] std::vector<SentMessage> Messages() const;
    // Only the packed values, in order.
    [[nodiscard]] std::vector<std::uint32_t> Packed() const;
    void ClearMessages();
    // Waits until at least `count` messages have come; false on time-out.
    [[nodiscard]] bool WaitForMessages(std::size_t count, std::chrono::milliseconds timeout) const;

    // The device's volume as the device holds it; setting it plays another program.
    [[nodiscard]] std::uint32_t GetDeviceVolume(std::uint32_t id) const;
    void SetDeviceVolume(std::uint32_t id, std::uint32_t volume);
    [[nodiscard]] int GetOpenCount(std::uint32_t id) const;
    [[nodiscard]] bool IsDeviceOpen(std::uint32_t id) const;

    std::uint32_t GetNumDevs() override;
    bool GetDevCaps(std::uint32_t id, MidiOutCaps& caps) override;
    std::unique_ptr<CMidiOutPort> Open(std::uint32_t id) override;
    std::string LastError() const override;
    std::string GetChosenName() const override;

private:
    friend class CFakeMidiOutPort;

    struct Device {
        MidiOutCaps caps;
        bool bOpens = true;
        bool bOpen = false;
        int nOpenCount = 0;
        std::uint32_t dwVolume = 0;
    };

    [[nodiscard]] bool Send(std::uint32_t id, std::uint32_t packed);
    void Closed(std::uint32_t id);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrived;
    std::vector<Device> m_devices;
    std::vector<SentMessage> m_messages;
    std::function<std::uint64_t()> m_tickSource;
    bool m_bFailSends = false;
    std::string m_strLastError;
    std::string m_strChosen;
};
