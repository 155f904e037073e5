// Slot operations of the shared table: which slot they pick, what they keep,
// when they wake the output threads.
#include <gtest/gtest.h>

#include "tests/ffdriver/ff_test_util.h"

namespace {

const DWORD kDev = 1;

class EffectTableTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(EffectTable_IsOpen()); WipeDevice(kDev); }
    void TearDown() override { WipeDevice(kDev); }

    DWORD Alloc()
    {
        TableLock lock;
        DWORD h = 0;
        EXPECT_EQ(EffectTable_Allocate(kDev, &h), S_OK);
        return h;
    }
    void Store(DWORD h, DWORD kind, const EffectDesc &e, DWORD flags)
    {
        TableLock lock;
        EXPECT_EQ(EffectTable_Store(kDev, h, kind, 1, &e.eff, flags), S_OK);
    }
};

TEST_F(EffectTableTest, AllocationTakesTheLowestFreeSlotAndRefusesTheSeventeenth)
{
    for (DWORD i = 1; i <= 16; ++i) EXPECT_EQ(Alloc(), i);
    TableLock lock;
    LONG wakes = EffectTable_WakeCount();
    DWORD h = 99;
    EXPECT_EQ(EffectTable_Allocate(kDev, &h), DIERR_DEVICEFULL);
    EXPECT_EQ(h, 99u);
    EXPECT_EQ(EffectTable_WakeCount(), wakes);

    EXPECT_EQ(EffectTable_Free(kDev, 5), S_OK);
    EXPECT_EQ(EffectTable_Allocate(kDev, &h), S_OK);
    EXPECT_EQ(h, 5u);
    EXPECT_EQ(Slot(kDev, 5).m_dwState, SLOT_ALLOCATED | SLOT_CHANGED);
}

TEST_F(EffectTableTest, FreeingABadHandleChangesNothingAndDoesNotWake)
{
    DWORD h = Alloc();
    Store(h, KIND_CONSTANT, EffectDesc::Constant(100), kAllParams);
    TableLock lock;
    EXPECT_EQ(EffectTable_Start(kDev, h), S_OK);
    EXPECT_EQ(EffectTable_Free(kDev, h), S_OK);
    EXPECT_EQ(Slot(kDev, h).m_dwState, SLOT_CHANGED);
    EXPECT_EQ(Slot(kDev, h).m_dwKind, KIND_NONE);

    DeviceEffects before = *EffectTable_Device(kDev);
    LONG wakes = EffectTable_WakeCount();
    for (DWORD bad : {(DWORD)0, (DWORD)17, (DWORD)0xFFFFFFFF, h}) EXPECT_EQ(EffectTable_Free(kDev, bad), E_HANDLE) << bad;
    EXPECT_EQ(EffectTable_Free(kFFDeviceCount, 1), E_HANDLE);
    EXPECT_EQ(EffectTable_WakeCount(), wakes);
    EXPECT_EQ(memcmp(&before, EffectTable_Device(kDev), sizeof(before)), 0);
}

TEST_F(EffectTableTest, ResetFreesEveryStoredEffectWithOneWake)
{
    for (int i = 0; i < 7; ++i) Alloc();
    Store(2, KIND_CONSTANT, EffectDesc::Constant(100), kAllParams);
    Store(7, KIND_PERIODIC, EffectDesc::Periodic(100, 1000), kAllParams);
    TableLock lock;
    for (DWORD h : {1u, 3u, 4u, 5u, 6u}) EffectTable_Free(kDev, h);
    EffectTable_Start(kDev, 7);

    LONG wakes = EffectTable_WakeCount();
    EXPECT_EQ(EffectTable_Reset(kDev), S_OK);
    EXPECT_EQ(EffectTable_WakeCount(), wakes + 1);
    for (DWORD h : {2u, 7u}) {
        EXPECT_EQ(Slot(kDev, h).m_dwState, SLOT_CHANGED) << h;
        EXPECT_EQ(Slot(kDev, h).m_dwKind, KIND_NONE) << h;
    }
    DWORD c = EffectTable_Count(kDev);
    EXPECT_EQ(EffectTable_CountTotal(c), 16);
    EXPECT_EQ(EffectTable_CountAllocated(c), 0);

    EXPECT_EQ(EffectTable_Reset(kDev), S_OK);
    EXPECT_EQ(EffectTable_WakeCount(), wakes + 1) << "nothing left to reset";
}

TEST_F(EffectTableTest, StopAndStopAllWakeOnlyWhenAnEffectWasPlaying)
{
    DWORD a = Alloc(), b = Alloc();
    TableLock lock;
    LONG wakes = EffectTable_WakeCount();
    EXPECT_EQ(EffectTable_Stop(kDev, a), S_OK);
    EXPECT_EQ(EffectTable_StopAll(kDev), S_OK);
    EXPECT_EQ(EffectTable_WakeCount(), wakes);
    EXPECT_EQ(Slot(kDev, a).m_dwState, SLOT_ALLOCATED | SLOT_CHANGED);

    EffectTable_Start(kDev, a);
    EffectTable_Start(kDev, b);
    wakes = EffectTable_WakeCount();
    EXPECT_EQ(EffectTable_StopAll(kDev), S_OK);
    EXPECT_EQ(EffectTable_WakeCount(), wakes + 1);
    EXPECT_FALSE(EffectTable_IsPlaying(kDev, a));
    EXPECT_FALSE(EffectTable_IsPlaying(kDev, b));
}

TEST_F(EffectTableTest, StartStampsTheTimeAgainAndRefusesSlotsNobodyHolds)
{
    DWORD h = Alloc();
    TableLock lock;
    Slot(kDev, h).m_dwStartTime = 1;
    DWORD t0 = GetTickCount();
    EXPECT_EQ(EffectTable_Start(kDev, h), S_OK);
    EXPECT_GE(Slot(kDev, h).m_dwStartTime, t0);
    EXPECT_TRUE(EffectTable_IsPlaying(kDev, h));
    Slot(kDev, h).m_dwStartTime = 1;
    EXPECT_EQ(EffectTable_Start(kDev, h), S_OK);
    EXPECT_GE(Slot(kDev, h).m_dwStartTime, t0) << "a running effect restarts its time";

    // A playing bit on a free slot would make the next effect allocated
    // there start by itself.
    EXPECT_EQ(EffectTable_Start(kDev, h + 1), E_HANDLE);
    EXPECT_EQ(Slot(kDev, h + 1).m_dwState, 0u);
    EXPECT_EQ(EffectTable_Start(kDev, 0), E_HANDLE);
    EXPECT_EQ(EffectTable_Start(kDev, 17), E_HANDLE);
    EXPECT_EQ(EffectTable_Stop(kDev, 17), E_HANDLE);
    EXPECT_FALSE(EffectTable_IsPlaying(kDev, 0));
    EXPECT_FALSE(EffectTable_IsPlaying(kDev, 17));
}

TEST_F(EffectTableTest, StoreConvertsTimesAndLimitsTheAxes)
{
    DWORD h = Alloc();
    EffectDesc e = EffectDesc::Periodic(7000, 123456);
    e.eff.dwFlags = DIEFF_POLAR | DIEFF_OBJECTIDS;
    e.eff.dwDuration = 999;
    e.eff.dwSamplePeriod = 2500;
    e.eff.dwTriggerRepeatInterval = 1000;
    e.eff.cAxes = 5;
    for (DWORD i = 0; i < 5; ++i) { e.axes[i] = 100 + i; e.dirs[i] = -(LONG)i - 1; }
    e.env = {sizeof(DIENVELOPE), 11, 5999, 22, 1000000};
    e.ts.periodic.lOffset = -5;
    e.ts.periodic.dwPhase = 9000;
    Store(h, KIND_PERIODIC, e, kAllParams);

    const EffectSlot &s = Slot(kDev, h);
    EXPECT_EQ(s.m_dwEffectFlags, (DWORD)(DIEFF_POLAR | DIEFF_OBJECTIDS));
    EXPECT_EQ(s.m_dwDuration, 0u);
    EXPECT_EQ(s.m_dwSamplePeriod, 2u);
    EXPECT_EQ(s.m_dwTriggerRepeatInterval, 1u);
    EXPECT_EQ(s.m_cAxes, 3u);
    EXPECT_EQ(s.m_rgdwAxes[2], 102u);
    EXPECT_EQ(s.m_rglDirection[2], -3);
    EXPECT_EQ(s.m_adwReserved[0], 0u) << "the fourth axis must not spill over";
    EXPECT_EQ(s.m_dwAttackLevel, 11u);
    EXPECT_EQ(s.m_dwAttackTime, 5u);
    EXPECT_EQ(s.m_dwFadeTime, 1000u);
    EXPECT_EQ(s.m_dwPeriodicMagnitude, 7000u);
    EXPECT_EQ(s.m_lPeriodicOffset, -5);
    EXPECT_EQ(s.m_dwPeriodicPhase, 9000u);
    EXPECT_EQ(s.m_dwPeriodicPeriod, 123456u) << "the period stays in microseconds";

    e.eff.dwDuration = INFINITE;
    Store(h, KIND_PERIODIC, e, DIEP_DURATION);
    EXPECT_EQ(s.m_dwDuration, 4294967u);
}

TEST_F(EffectTableTest, APartialDownloadKeepsTheEarlierEffectsFields)
{
    DWORD h = Alloc();
    EffectDesc first = EffectDesc::Constant(-4321, 7000);
    first.eff.dwDuration = 2000000;
    first.eff.dwTriggerButton = DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(2);
    Store(h, KIND_CONSTANT, first, kAllParams);
    {
        TableLock lock;
        EffectTable_Free(kDev, h);
    }
    EXPECT_EQ(Alloc(), h);

    EffectDesc second = EffectDesc::Constant(1, 1234);
    second.eff.dwFlags = DIEFF_SPHERICAL;
    Store(h, KIND_CONSTANT, second, DIEP_GAIN);
    const EffectSlot &s = Slot(kDev, h);
    EXPECT_EQ(s.m_dwGain, 1234u);
    EXPECT_EQ(s.m_dwDuration, 2000u);
    EXPECT_EQ(s.m_dwTriggerButton, (DWORD)(DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(2)));
    EXPECT_EQ(s.m_lConstantMagnitude, -4321);
    EXPECT_EQ(s.m_dwEffectFlags, (DWORD)DIEFF_SPHERICAL) << "the effect flags are copied every time";
}

TEST_F(EffectTableTest, MissingInnerBlocksCountAsNotGiven)
{
    DWORD h = Alloc();
    Store(h, KIND_CONDITION, EffectDesc(), 0);
    EffectDesc full;
    full.ts.condition[0] = {10, 20, -30, 40, 50, 60};
    full.ts.condition[1] = {99, 99, 99, 99, 99, 99};
    full.env = {sizeof(DIENVELOPE), 1, 2000, 3, 4000};
    Store(h, KIND_CONDITION, full, kAllParams);
    const EffectSlot &s = Slot(kDev, h);
    EXPECT_EQ(s.m_lConditionOffset, 10);
    EXPECT_EQ(s.m_lNegativeCoefficient, -30);
    EXPECT_EQ(s.m_lDeadBand, 60) << "only the first condition counts";

    EffectDesc holes;
    holes.eff.cAxes = 2;
    holes.eff.rgdwAxes = nullptr;
    holes.eff.rglDirection = nullptr;
    holes.eff.lpEnvelope = nullptr;
    holes.eff.lpvTypeSpecificParams = nullptr;
    Store(h, KIND_CONDITION, holes, kAllParams);
    EXPECT_EQ(s.m_cAxes, 1u);
    EXPECT_EQ(s.m_rgdwAxes[0], full.axes[0]);
    EXPECT_EQ(s.m_lConditionOffset, 10);
    EXPECT_EQ(s.m_dwAttackLevel, 0u) << "a null envelope zeroes the envelope";
    EXPECT_EQ(s.m_dwFadeTime, 0u);

    TableLock lock;
    EXPECT_EQ(EffectTable_Store(kDev, h + 1, KIND_CONSTANT, 1, &full.eff, kAllParams), E_HANDLE);
    EXPECT_EQ(EffectTable_Store(kDev, 17, KIND_CONSTANT, 1, &full.eff, kAllParams), E_HANDLE);
    EXPECT_EQ(Slot(kDev, h + 1).m_dwKind, KIND_NONE);
}

TEST_F(EffectTableTest, GainGoesToTheDeviceBlockUnchanged)
{
    TableLock lock;
    LONG wakes = EffectTable_WakeCount();
    EXPECT_EQ(EffectTable_SetGain(kDev, 5000), S_OK);
    EXPECT_EQ(EffectTable_Device(kDev)->m_dwGain, 5000u);
    EXPECT_EQ(EffectTable_WakeCount(), wakes + 1);
}

} // namespace
