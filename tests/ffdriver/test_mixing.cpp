// Timing and mixing on a private block with a given tick: no clock, no
// table, no thread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ffdriver/output_thread.h"
#include "tests/ffdriver/ff_test_util.h"

namespace {

struct Eff {
    DWORD kind;
    DWORD gain;
    LONG magnitude;      // constant or periodic magnitude
    DWORD period = 0;    // periodic, µs
    DWORD trigger = DIEB_NOTRIGGER;
    DWORD state = SLOT_ALLOCATED | SLOT_PLAYING;
};

struct Mix {
    DeviceEffects block;
    ConverterOutputReport report;
    explicit Mix(const std::vector<Eff> &effects)
    {
        memset(&block, 0, sizeof(block));
        memset(&report, 0, sizeof(report));
        for (size_t i = 0; i < effects.size(); ++i) {
            EffectSlot &s = block.m_aSlots[i];
            const Eff &e = effects[i];
            s.m_dwKind = e.kind;
            s.m_dwGain = e.gain;
            s.m_lConstantMagnitude = e.magnitude;
            s.m_dwPeriodicMagnitude = static_cast<DWORD>(e.magnitude);
            s.m_dwPeriodicPeriod = e.period;
            s.m_dwTriggerButton = e.trigger;
            s.m_dwState = e.state;
        }
        ComputeMotors(&block, &report);
    }
};

Eff Constant(LONG m, DWORD g = 10000) { return {KIND_CONSTANT, g, m}; }
Eff Periodic(LONG m, DWORD periodUs, DWORD g = 10000) { return {KIND_PERIODIC, g, m, periodUs}; }
Eff Custom(DWORD g) { return {KIND_CUSTOM, g, 0}; }

TEST(Mixing, NothingPlayingSendsActiveAndBothMotorsOff)
{
    Mix m({});
    const uint8_t expect[5] = {0, 1, 0, 0, 0};
    EXPECT_EQ(memcmp(&m.report, expect, 5), 0);
}

// The variable motor: sums of 5 and less go out as they are, larger ones get
// the start-up offset of 25, and everything is capped at 255.
struct RumbleCase {
    const char *name;
    std::vector<Eff> effects;
    int rumble;
};
void PrintTo(const RumbleCase &c, std::ostream *os) { *os << c.name; }
class RumbleMix : public ::testing::TestWithParam<RumbleCase> {};

TEST_P(RumbleMix, SendsTheExpectedStrength)
{
    Mix m(GetParam().effects);
    EXPECT_EQ(m.report.rumble, GetParam().rumble);
    EXPECT_EQ(m.report.shock, 0);
    EXPECT_EQ(m.report.active, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, RumbleMix,
    ::testing::Values(RumbleCase{"Sum200", {Constant(10000)}, 225},
                      RumbleCase{"Sum5NoOffset", {Constant(250)}, 5},
                      RumbleCase{"Sum6", {Constant(300)}, 31},
                      RumbleCase{"TwoFullForces", {Constant(10000), Constant(10000)}, 255},
                      RumbleCase{"Sum229", {Constant(10000), Constant(1450)}, 254},
                      RumbleCase{"Sum230", {Constant(10000), Constant(1500)}, 255},
                      RumbleCase{"Sum231", {Constant(10000), Constant(1550)}, 255},
                      RumbleCase{"PullCountsLikePush", {Constant(-10000)}, 225},
                      RumbleCase{"SmallPull", {Constant(-300)}, 31},
                      RumbleCase{"SlowPeriodic", {Periodic(300, 40001)}, 31},
                      RumbleCase{"HugeGainSaturates", {Constant(2, 0x80000000u)}, 255}),
    [](const ::testing::TestParamInfo<RumbleCase> &info) { return std::string(info.param.name); });

TEST(Mixing, FastPeriodicAndCustomForcesRunTheOnOffMotor)
{
    Mix fast({Periodic(300, 40000)});
    EXPECT_EQ(fast.report.shock, 1);
    EXPECT_EQ(fast.report.rumble, 0);
    EXPECT_EQ(Mix({Periodic(250, 20000)}).report.shock, 0) << "a sum of 5 is off";
    EXPECT_EQ(Mix({Custom(300)}).report.shock, 1);
    EXPECT_EQ(Mix({Custom(299)}).report.shock, 0);
    EXPECT_EQ(Mix({Custom(200), Periodic(100, 1000)}).report.shock, 1) << "4 + 2 together";
}

TEST(Mixing, OnlyPlayingUntriggeredConstantPeriodicAndCustomEffectsCount)
{
    EXPECT_EQ(Mix({{KIND_RAMP, 10000, 10000}}).report.rumble, 0);
    EXPECT_EQ(Mix({{KIND_CONDITION, 10000, 10000}}).report.rumble, 0);
    Eff triggered = Constant(10000);
    triggered.trigger = 0;
    EXPECT_EQ(Mix({triggered}).report.rumble, 0) << "trigger 0 in a slot that never got one";
    triggered.trigger = DIDFT_PSHBUTTON;
    EXPECT_EQ(Mix({triggered}).report.rumble, 0);
    Eff stopped = Constant(10000);
    stopped.state = SLOT_ALLOCATED;
    EXPECT_EQ(Mix({stopped}).report.rumble, 0);
    Eff ghost = Constant(10000);
    ghost.state = SLOT_PLAYING;
    EXPECT_EQ(Mix({ghost}).report.rumble, 0) << "a free slot never plays";
}

TEST(Mixing, DeviceGainDoesNotChangeTheMotors)
{
    Mix m({Constant(10000)});
    m.block.m_dwGain = 5000;
    ConverterOutputReport again = {};
    ComputeMotors(&m.block, &again);
    EXPECT_EQ(memcmp(&again, &m.report, 5), 0);
}

class Expiry : public ::testing::Test {
protected:
    DeviceEffects block;
    EffectSlot &s = block.m_aSlots[0];
    void SetUp() override { memset(&block, 0, sizeof(block)); }
    void Playing(DWORD start, DWORD durationMs)
    {
        s.m_dwState = SLOT_ALLOCATED | SLOT_PLAYING | SLOT_CHANGED;
        s.m_dwStartTime = start;
        s.m_dwDuration = durationMs;
    }
    bool PlaysAt(DWORD now)
    {
        ExpireEffects(&block, now);
        return (s.m_dwState & SLOT_PLAYING) != 0;
    }
};

TEST_F(Expiry, AZeroDurationPlaysThroughItsStartTickAndStopsAfter)
{
    Playing(5000, 0);
    EXPECT_TRUE(PlaysAt(5000));
    EXPECT_EQ(s.m_dwState, SLOT_ALLOCATED | SLOT_PLAYING) << "the pass clears the changed bit";
    EXPECT_FALSE(PlaysAt(5001));
    EXPECT_EQ(s.m_dwState, SLOT_ALLOCATED);
}

TEST_F(Expiry, AnInfiniteDurationStopsMoreThan4294967MsAfterItsStart)
{
    Playing(1000, 4294967);
    EXPECT_TRUE(PlaysAt(1000 + 4294967));
    EXPECT_FALSE(PlaysAt(1000 + 4294968));
}

TEST_F(Expiry, TheTickCountWrappingDoesNotCutAnEffectShort)
{
    Playing(0xFFFFF000u, 10000);
    EXPECT_TRUE(PlaysAt(0xFFFFF800u));
    EXPECT_TRUE(PlaysAt(0x00000010u));
    EXPECT_TRUE(PlaysAt(0xFFFFF000u + 10000));
    EXPECT_FALSE(PlaysAt(0xFFFFF000u + 10001));
}

TEST_F(Expiry, AStartStampedAfterThePassReadTheClockKeepsPlaying)
{
    Playing(2000, 0);
    EXPECT_TRUE(PlaysAt(1999));
}

TEST_F(Expiry, FreeSlotsAreLeftAlone)
{
    s.m_dwState = SLOT_CHANGED;
    ExpireEffects(&block, 12345);
    EXPECT_EQ(s.m_dwState, SLOT_CHANGED);
    ExpireEffects(nullptr, 1);
}

} // namespace
