#pragma once
// Standard MIDI Files for the desktop tests, built byte by byte and written into a
// temporary directory.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <vector>

class CTestTrack {
public:
    // One event: its delta in ticks and its bytes (status first).
    CTestTrack& Event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes)
    {
        VarLen(delta);
        m_bytes.insert(m_bytes.end(), bytes);
        return *this;
    }
    CTestTrack& Tempo(std::uint32_t delta, std::uint32_t microsPerQuarter)
    {
        return Event(delta, {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(microsPerQuarter >> 16),
                             static_cast<std::uint8_t>(microsPerQuarter >> 8),
                             static_cast<std::uint8_t>(microsPerQuarter)});
    }
    CTestTrack& Program(std::uint32_t delta, int channel, int program)
    {
        return Event(delta, {static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(program)});
    }
    CTestTrack& NoteOn(std::uint32_t delta, int channel, int note, int velocity = 100)
    {
        return Event(delta, {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(note),
                             static_cast<std::uint8_t>(velocity)});
    }
    CTestTrack& NoteOff(std::uint32_t delta, int channel, int note)
    {
        return Event(delta, {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(note), 0x40});
    }
    CTestTrack& End(std::uint32_t delta = 0) { return Event(delta, {0xFF, 0x2F, 0x00}); }

    [[nodiscard]] const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    void VarLen(std::uint32_t value)
    {
        std::uint8_t groups[4];
        int n = 0;
        do {
            groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
            value >>= 7;
        } while (value && n < 4);
        while (n-- > 0)
            m_bytes.push_back(static_cast<std::uint8_t>(groups[n] | (n ? 0x80 : 0)));
    }

    std::vector<std::uint8_t> m_bytes;
};

inline void AppendWord(QByteArray& out, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline QByteArray SmfBytes(std::uint16_t format, std::uint16_t division, const std::vector<CTestTrack>& tracks)
{
    QByteArray out("MThd");
    AppendWord(out, 6, 4);
    AppendWord(out, format, 2);
    AppendWord(out, static_cast<std::uint32_t>(tracks.size()), 2);
    AppendWord(out, division, 2);
    for (const CTestTrack& t : tracks) {
        out.append("MTrk");
        AppendWord(out, static_cast<std::uint32_t>(t.Bytes().size()), 4);
        out.append(reinterpret_cast<const char*>(t.Bytes().data()), static_cast<qsizetype>(t.Bytes().size()));
    }
    return out;
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
