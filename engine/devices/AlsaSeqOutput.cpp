#include "engine/devices/AlsaSeqOutput.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <cstdarg>

namespace {

void QuietAlsaError(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsaLog()
{
    // The library prints its own errors on stderr; a missing sequencer is normal here.
    static const bool s_done = [] {
        snd_lib_error_set_handler(QuietAlsaError);
        return true;
    }();
    (void)s_done;
}

constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

class CAlsaSeqPort final : public CKeptVolumeOutPort {
public:
    CAlsaSeqPort(snd_seq_t* seq, int ownPort) : m_pSeq(seq), m_nOwnPort(ownPort) {}
    ~CAlsaSeqPort() override
    {
        snd_seq_drain_output(m_pSeq);
        snd_seq_close(m_pSeq);
    }

    bool ShortMsg(std::uint32_t packed) override;

private:
    [[nodiscard]] static bool Fill(snd_seq_event_t& ev, std::uint32_t packed);

    snd_seq_t* m_pSeq;
    int m_nOwnPort;
};

bool CAlsaSeqPort::Fill(snd_seq_event_t& ev, std::uint32_t packed)
{
    const unsigned status = packed & 0xFF;
    const unsigned char channel = status & 0x0F;
    const int data1 = static_cast<int>((packed >> 8) & 0x7F);
    const int data2 = static_cast<int>((packed >> 16) & 0x7F);
    switch (status & 0xF0) {
    case 0x80:
        snd_seq_ev_set_noteoff(&ev, channel, data1, data2);
        return true;
    case 0x90:
        snd_seq_ev_set_noteon(&ev, channel, data1, data2);
        return true;
    case 0xA0:
        snd_seq_ev_set_keypress(&ev, channel, data1, data2);
        return true;
    case 0xB0:
        snd_seq_ev_set_controller(&ev, channel, data1, data2);
        return true;
    case 0xC0:
        snd_seq_ev_set_pgmchange(&ev, channel, data1);
        return true;
    case 0xD0:
        snd_seq_ev_set_chanpress(&ev, channel, data1);
        return true;
    case 0xE0:
        snd_seq_ev_set_pitchbend(&ev, channel, (data1 | (data2 << 7)) - 8192);
        return true;
    default:
        break;
    }
    if (status == 0xFF) {
        ev.type = SND_SEQ_EVENT_RESET;
        return true;
    }
    return false;
}

bool CAlsaSeqPort::ShortMsg(std::uint32_t packed)
{
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    if (!Fill(ev, packed))
        return true; // nothing the sequencer carries
    snd_seq_ev_set_source(&ev, m_nOwnPort);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    return snd_seq_event_output_direct(m_pSeq, &ev) >= 0;
}

} // namespace

CAlsaSeqOutput::CAlsaSeqOutput()
{
    SilenceAlsaLog();
}

CAlsaSeqOutput::~CAlsaSeqOutput() = default;

std::uint16_t CAlsaSeqOutput::TechnologyOf(std::uint32_t portType)
{
    constexpr std::uint32_t kSynthBits = kTypeSynth | kTypeDirectSample | kTypeSample | kTypeSynthesizer;
    if ((portType & kSynthBits) == 0)
        return kModMidiPort;
    if (portType & (kTypeSoftware | kTypeApplication))
        return kModSoftwareSynth;
    return kModSynth;
}

std::uint32_t CAlsaSeqOutput::GetNumDevs()
{
    m_ports.clear();
    m_strError.clear();
    snd_seq_t* seq = nullptr;
    // Without /dev/snd this fails with ENOENT: no external ports, not an error.
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0)
        return 0;
    const int self = snd_seq_client_id(seq);
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_malloc(&client);
    snd_seq_port_info_malloc(&port);
    snd_seq_client_info_set_client(client, -1);
    while (client && port && snd_seq_query_next_client(seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        if (id == self || id == SND_SEQ_CLIENT_SYSTEM)
            continue;
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            if ((snd_seq_port_info_get_capability(port) & kWritable) != kWritable)
                continue;
            Port p;
            p.nClient = id;
            p.nPort = snd_seq_port_info_get_port(port);
            p.caps.strName = snd_seq_port_info_get_name(port);
            p.caps.wTechnology = TechnologyOf(snd_seq_port_info_get_type(port));
            m_ports.push_back(std::move(p));
        }
    }
    snd_seq_port_info_free(port);
    snd_seq_client_info_free(client);
    snd_seq_close(seq);
    return static_cast<std::uint32_t>(m_ports.size());
}

bool CAlsaSeqOutput::GetDevCaps(std::uint32_t id, MidiOutCaps& caps)
{
    if (id >= m_ports.size())
        return false;
    caps = m_ports[id].caps;
    return true;
}

std::unique_ptr<CMidiOutPort> CAlsaSeqOutput::Open(std::uint32_t id)
{
    m_strError.clear();
    if (id >= m_ports.size()) {
        m_strError = "no such ALSA sequencer port";
        return nullptr;
    }
    const std::string name = "\"" + m_ports[id].caps.strName + "\"";
    snd_seq_t* seq = nullptr;
    if (const int rc = snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0); rc < 0) {
        m_strError = std::string("the ALSA sequencer does not open: ") + snd_strerror(rc);
        return nullptr;
    }
    snd_seq_set_client_name(seq, "ZorvatTone");
    const int own = snd_seq_create_simple_port(seq, "ZorvatTone out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                               SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (own < 0) {
        m_strError = std::string("cannot make a port on the ALSA sequencer: ") + snd_strerror(own);
        snd_seq_close(seq);
        return nullptr;
    }
    if (const int rc = snd_seq_connect_to(seq, own, m_ports[id].nClient, m_ports[id].nPort); rc < 0) {
        // The sequencer answers a client or port that has left since the listing
        // with one of these.
        if (rc == -EINVAL || rc == -ENOENT || rc == -ENXIO)
            m_strError = "the ALSA sequencer port " + name + " is gone";
        else
            m_strError = "the ALSA sequencer port " + name + " refuses the connection: " + snd_strerror(rc);
        snd_seq_close(seq);
        return nullptr;
    }
    return std::make_unique<CAlsaSeqPort>(seq, own);
}

static_assert(CAlsaSeqOutput::kTypeMidiGeneric == SND_SEQ_PORT_TYPE_MIDI_GENERIC);
static_assert(CAlsaSeqOutput::kTypeSynth == SND_SEQ_PORT_TYPE_SYNTH);
static_assert(CAlsaSeqOutput::kTypeDirectSample == SND_SEQ_PORT_TYPE_DIRECT_SAMPLE);
static_assert(CAlsaSeqOutput::kTypeSample == SND_SEQ_PORT_TYPE_SAMPLE);
static_assert(CAlsaSeqOutput::kTypeHardware == SND_SEQ_PORT_TYPE_HARDWARE);
static_assert(CAlsaSeqOutput::kTypeSoftware == SND_SEQ_PORT_TYPE_SOFTWARE);
static_assert(CAlsaSeqOutput::kTypeSynthesizer == SND_SEQ_PORT_TYPE_SYNTHESIZER);
static_assert(CAlsaSeqOutput::kTypeApplication == SND_SEQ_PORT_TYPE_APPLICATION);
