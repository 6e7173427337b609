#include <gtest/gtest.h>

#include "engine/sequencer/ChannelMeters.h"

namespace {

CMidiMessage Channel(std::uint8_t status, std::uint8_t data1, std::uint8_t data2 = 0)
{
    CMidiMessage m;
    m.m_nKind = CMidiMessage::kChannel;
    m.m_byStatus = status;
    m.m_byData1 = data1;
    m.m_byData2 = data2;
    return m;
}

TEST(ChannelMeters, ShowTheLastPitchWithinTheMeterRange)
{
    EXPECT_EQ(CChannelMeters::MeterValueOf(48), 48);
    EXPECT_EQ(CChannelMeters::MeterValueOf(95), 95);
    EXPECT_EQ(CChannelMeters::MeterValueOf(96), 95);
    EXPECT_EQ(CChannelMeters::MeterValueOf(127), 95);
    EXPECT_EQ(CChannelMeters::MeterValueOf(47), 0);
}

TEST(ChannelMeters, MoveOnNoteOnsOfEnabledChannelsOnly)
{
    CChannelMeters meters;
    EXPECT_EQ(meters.Get(2), CChannelMeters::kLow);
    meters.Observe(Channel(0x92, 70, 100), true);
    EXPECT_EQ(meters.Get(2), 70);
    meters.Observe(Channel(0x92, 30, 0), true); // any velocity counts
    EXPECT_EQ(meters.Get(2), 0);
    meters.Observe(Channel(0x82, 60), true);
    meters.Observe(Channel(0xB2, 60, 60), true);
    meters.Observe(Channel(0x92, 60, 100), false);
    CMidiMessage meta;
    meta.m_nKind = CMidiMessage::kMeta;
    meta.m_byStatus = 0x92; // never a note, whatever its status byte says
    meters.Observe(meta, true);
    EXPECT_EQ(meters.Get(2), 0);
    meters.Observe(Channel(0x9F, 100, 1), true);
    EXPECT_EQ(meters.Get(15), 95);
    meters.Reset(48);
    EXPECT_EQ(meters.Get(15), 48);
    EXPECT_EQ(meters.Get(16), 0);
}

} // namespace
