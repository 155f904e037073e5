// The driver object's operations as DirectInput calls them, on a device
// without a channel.
#include <gtest/gtest.h>

#include "ffdriver/output_thread.h"
#include "tests/ffdriver/ff_test_util.h"

namespace {

const DWORD kDev = 2;
const DWORD kNeighbour = 3;

class DriverOps : public ::testing::Test {
protected:
    CEffectDriver *drv = nullptr;
    void SetUp() override
    {
        WipeDevice(kDev);
        WipeDevice(kNeighbour);
        drv = UnboundDriver(kDev);
        ASSERT_NE(drv, nullptr);
    }
    void TearDown() override
    {
        if (drv) drv->lpVtbl->Release(drv);
        WipeDevice(kDev);
        WipeDevice(kNeighbour);
    }
    HRESULT Download(DWORD id, DWORD *h, const EffectDesc &e, DWORD flags)
    {
        return drv->lpVtbl->DownloadEffect(drv, 0, id, h, &e.eff, flags);
    }
    DWORD NewEffect(DWORD id = 1, const EffectDesc &e = EffectDesc::Constant(5000))
    {
        DWORD h = 0;
        EXPECT_EQ(Download(id, &h, e, kAllParams), S_OK);
        return h;
    }
};

TEST_F(DriverOps, TriggerButtonsAreCheckedOnlyWhenNamedAndNoDownloadOnlyValidates)
{
    EffectDesc e = EffectDesc::Constant(100);
    DWORD h = 0;
    e.eff.dwTriggerButton = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(3);
    EXPECT_EQ(Download(1, &h, e, DIEP_TRIGGERBUTTON | DIEP_NODOWNLOAD), E_NOTIMPL);
    e.eff.dwTriggerButton = DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(16);
    EXPECT_EQ(Download(1, &h, e, DIEP_TRIGGERBUTTON | DIEP_NODOWNLOAD), E_NOTIMPL);

    e.eff.dwTriggerButton = DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(3);
    h = 0x55;
    LONG wakes = EffectTable_WakeCount();
    EXPECT_EQ(Download(1, &h, e, DIEP_TRIGGERBUTTON | DIEP_NODOWNLOAD), S_OK);
    EXPECT_EQ(h, 0x55u);
    EXPECT_EQ(Allocated(kDev), 0);
    EXPECT_EQ(EffectTable_WakeCount(), wakes);
    EXPECT_EQ(Download(1, nullptr, e, DIEP_TRIGGERBUTTON | DIEP_NODOWNLOAD), S_OK) << "nothing to hand back";

    e.eff.dwTriggerButton = 0; // an axis-less, button-less value
    h = 0;
    EXPECT_EQ(Download(1, &h, e, DIEP_GAIN), S_OK) << "not examined without the flag";
}

TEST_F(DriverOps, AxesMustBeTheFirstTwoAbsoluteOnesAndAreCheckedBeforeAllocating)
{
    EffectDesc e = EffectDesc::Constant(100);
    e.eff.cAxes = 2;
    e.axes[1] = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(2);
    DWORD h = 0;
    LONG wakes = EffectTable_WakeCount();
    EXPECT_EQ(Download(1, &h, e, kAllParams), E_NOTIMPL);
    e.axes[1] = DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(1);
    EXPECT_EQ(Download(1, &h, e, kAllParams), E_NOTIMPL);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(Allocated(kDev), 0);
    EXPECT_EQ(EffectTable_WakeCount(), wakes);

    e.axes[1] = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(1);
    EXPECT_EQ(Download(1, &h, e, kAllParams), S_OK);
    EXPECT_EQ(h, 1u);
}

TEST_F(DriverOps, AnUnknownEffectIdFreesTheSlotItWasGiven)
{
    DWORD keep = NewEffect();
    DWORD h = 0;
    EXPECT_EQ(Download(13, &h, EffectDesc(), kAllParams), E_NOTIMPL);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(Allocated(kDev), 1);

    DWORD existing = NewEffect();
    DWORD given = existing;
    EXPECT_EQ(Download(0, &given, EffectDesc(), kAllParams), E_NOTIMPL);
    EXPECT_EQ(given, existing);
    EXPECT_EQ(Allocated(kDev), 1);
    EXPECT_EQ(Slot(kDev, existing).m_dwState & SLOT_ALLOCATED, 0u);
    EXPECT_NE(Slot(kDev, keep).m_dwState & SLOT_ALLOCATED, 0u);
}

TEST_F(DriverOps, EffectIdsSelectTheirGroupsKind)
{
    const DWORD kinds[13] = {KIND_NONE,      KIND_CONSTANT,  KIND_RAMP,      KIND_PERIODIC, KIND_PERIODIC,
                             KIND_PERIODIC,  KIND_PERIODIC,  KIND_PERIODIC,  KIND_CONDITION, KIND_CONDITION,
                             KIND_CONDITION, KIND_CONDITION, KIND_CUSTOM};
    for (DWORD id = 1; id <= 12; ++id) {
        DWORD h = NewEffect(id, EffectDesc());
        EXPECT_EQ(Slot(kDev, h).m_dwKind, kinds[id]) << id;
        EXPECT_EQ(Slot(kDev, h).m_dwEffectId, id);
    }
    DWORD h = 0;
    EXPECT_EQ(Download(1, &h, EffectDesc(), 0), S_OK);
    EXPECT_EQ(h, 13u);
    for (DWORD i = 0; i < 3; ++i) { h = 0; Download(1, &h, EffectDesc(), 0); }
    h = 0;
    EXPECT_EQ(Download(1, &h, EffectDesc(), 0), DIERR_DEVICEFULL);
    EXPECT_EQ(h, 0u);
}

TEST_F(DriverOps, StartFlagPlaysAtOnceAndAnUpdateWithoutItKeepsTheStartTime)
{
    DWORD t0 = GetTickCount();
    DWORD h = 0;
    EXPECT_EQ(Download(1, &h, EffectDesc::Constant(100), kAllParams | DIEP_START), S_OK);
    DWORD status = 0;
    EXPECT_EQ(drv->lpVtbl->GetEffectStatus(drv, 0, h, &status), S_OK);
    EXPECT_EQ(status, (DWORD)DIEGES_PLAYING);
    EXPECT_GE(Slot(kDev, h).m_dwStartTime, t0);

    Slot(kDev, h).m_dwStartTime = 42;
    EXPECT_EQ(Download(1, &h, EffectDesc::Constant(9000), DIEP_TYPESPECIFICPARAMS | DIEP_NORESTART), S_OK);
    EXPECT_TRUE(EffectTable_IsPlaying(kDev, h));
    EXPECT_EQ(Slot(kDev, h).m_dwStartTime, 42u);
    EXPECT_EQ(Slot(kDev, h).m_lConstantMagnitude, 9000);

    EXPECT_EQ(drv->lpVtbl->StopEffect(drv, 0, h), S_OK);
    EXPECT_EQ(drv->lpVtbl->GetEffectStatus(drv, 0, h, &status), S_OK);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(drv->lpVtbl->StartEffect(drv, 0, h, DIES_SOLO, 5), S_OK);
    EXPECT_TRUE(EffectTable_IsPlaying(kDev, h));
    EXPECT_EQ(drv->lpVtbl->DestroyEffect(drv, 0, h), S_OK);
    EXPECT_EQ(drv->lpVtbl->DestroyEffect(drv, 0, h), E_HANDLE);
}

TEST_F(DriverOps, HandlesOutsideTheSlotsAreRefusedWithoutTouchingOtherMemory)
{
    DWORD h = NewEffect();
    EffectTable *t = EffectTable_View();
    EffectTable before;
    memcpy(&before, t, sizeof(before));
    for (DWORD bad : {0x0u, 17u, 18u, 0x80000000u, 0xFFFFFFFFu}) {
        DWORD status = 0x77;
        EXPECT_EQ(drv->lpVtbl->StartEffect(drv, 0, bad, 0, 1), E_HANDLE) << bad;
        EXPECT_EQ(drv->lpVtbl->StopEffect(drv, 0, bad), E_HANDLE) << bad;
        EXPECT_EQ(drv->lpVtbl->DestroyEffect(drv, 0, bad), E_HANDLE) << bad;
        EXPECT_EQ(drv->lpVtbl->GetEffectStatus(drv, 0, bad, &status), E_HANDLE) << bad;
        EXPECT_EQ(status, 0x77u);
        if (bad != 0) {
            DWORD given = bad;
            EXPECT_EQ(Download(1, &given, EffectDesc::Constant(1), kAllParams), E_HANDLE) << bad;
            EXPECT_EQ(given, bad);
        }
    }
    // A slot in range that nobody holds is no effect to update either.
    DWORD freeSlot = h + 1;
    EXPECT_EQ(Download(1, &freeSlot, EffectDesc::Constant(1), kAllParams), E_HANDLE);
    EXPECT_EQ(memcmp(&before, t, sizeof(before)), 0);
}

TEST_F(DriverOps, NullPointersAreRefusedNotFollowed)
{
    DWORD h = 0;
    EXPECT_EQ(drv->lpVtbl->DownloadEffect(drv, 0, 1, &h, nullptr, kAllParams), E_POINTER);
    EffectDesc e = EffectDesc::Constant(10);
    EXPECT_EQ(Download(1, nullptr, e, kAllParams), E_POINTER);
    EXPECT_EQ(Allocated(kDev), 0);
    e.eff.rgdwAxes = nullptr;
    e.eff.rglDirection = nullptr;
    e.eff.lpvTypeSpecificParams = nullptr;
    EXPECT_EQ(Download(1, &h, e, kAllParams), S_OK);
    EXPECT_EQ(drv->lpVtbl->GetEffectStatus(drv, 0, h, nullptr), E_POINTER);
    EXPECT_EQ(drv->lpVtbl->GetVersions(drv, nullptr), E_POINTER);
    EXPECT_EQ(drv->lpVtbl->GetForceFeedbackState(drv, 0, nullptr), E_POINTER);
    EXPECT_EQ(drv->lpVtbl->QueryInterface(drv, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(DriverOps, OnlyResetAndStopAllAreCommands)
{
    DWORD a = NewEffect(), b = NewEffect();
    drv->lpVtbl->StartEffect(drv, 0, a, 0, 1);
    DeviceEffects before = *EffectTable_Device(kDev);
    for (DWORD cmd : {(DWORD)(DISFFC_RESET | DISFFC_STOPALL), (DWORD)DISFFC_PAUSE, (DWORD)DISFFC_CONTINUE,
                      (DWORD)DISFFC_SETACTUATORSON, (DWORD)DISFFC_SETACTUATORSOFF, (DWORD)0})
        EXPECT_EQ(drv->lpVtbl->SendForceFeedbackCommand(drv, 0, cmd), E_NOTIMPL) << cmd;
    EXPECT_EQ(memcmp(&before, EffectTable_Device(kDev), sizeof(before)), 0);

    EXPECT_EQ(drv->lpVtbl->SendForceFeedbackCommand(drv, 0, DISFFC_STOPALL), S_OK);
    EXPECT_FALSE(EffectTable_IsPlaying(kDev, a));
    EXPECT_EQ(Allocated(kDev), 2);
    EXPECT_EQ(drv->lpVtbl->SendForceFeedbackCommand(drv, 0, DISFFC_RESET), S_OK);
    EXPECT_EQ(Allocated(kDev), 0);
    EXPECT_EQ(Slot(kDev, b).m_dwState, SLOT_CHANGED);
}

TEST_F(DriverOps, ForceFeedbackStateReportsTheLoadRoundedToNearest)
{
    DIDEVICESTATE ds = {11, 0xAA, 0xBB};
    EXPECT_EQ(drv->lpVtbl->GetForceFeedbackState(drv, 0, &ds), E_INVALIDARG);
    EXPECT_EQ(ds.dwSize, 11u);
    EXPECT_EQ(ds.dwState, 0xAAu);

    const DWORD loads[17] = {0, 6, 13, 19, 25, 31, 38, 44, 50, 56, 63, 69, 75, 81, 88, 94, 100};
    for (int n = 0; n <= 16; ++n) {
        if (n > 0) NewEffect();
        ds = {sizeof(ds) + 8, 0, 0};
        ASSERT_EQ(drv->lpVtbl->GetForceFeedbackState(drv, 0, &ds), S_OK);
        EXPECT_EQ(ds.dwSize, 12u);
        EXPECT_EQ(ds.dwState, (DWORD)(n == 0 ? 0x11 : 0x10)) << n;
        EXPECT_EQ(ds.dwLoad, loads[n]) << n;
    }
}

TEST_F(DriverOps, VersionsEscapeAndGain)
{
    DIDRIVERVERSIONS v = {15, 0, 0, 0};
    EXPECT_EQ(drv->lpVtbl->GetVersions(drv, &v), E_INVALIDARG);
    EXPECT_EQ(v.dwSize, 15u);
    v.dwSize = 20;
    EXPECT_EQ(drv->lpVtbl->GetVersions(drv, &v), S_OK);
    EXPECT_EQ(v.dwSize, 16u);
    EXPECT_EQ(v.dwFirmwareRevision, 3u);
    EXPECT_EQ(v.dwHardwareRevision, 5u);
    EXPECT_EQ(v.dwFFDriverVersion, 0x0F1Fu);
    EXPECT_EQ(drv->lpVtbl->Escape(drv, 0, 1, nullptr), E_NOTIMPL);

    DWORD h = NewEffect();
    drv->lpVtbl->StartEffect(drv, 0, h, 0, 1);
    ConverterOutputReport r1 = {}, r2 = {};
    ComputeMotors(EffectTable_Device(kDev), &r1);
    EXPECT_EQ(drv->lpVtbl->SetGain(drv, 0, 5000), S_OK);
    EXPECT_EQ(EffectTable_Device(kDev)->m_dwGain, 5000u);
    ComputeMotors(EffectTable_Device(kDev), &r2);
    EXPECT_EQ(memcmp(&r1, &r2, 5), 0);
}

TEST_F(DriverOps, InterfacesAndDeviceIndexLimit)
{
    void *p = nullptr;
    EXPECT_EQ(drv->lpVtbl->QueryInterface(drv, IID_IDirectInputEffectDriver, &p), S_OK);
    EXPECT_EQ(p, drv);
    EXPECT_EQ(drv->lpVtbl->Release(drv), 1u);
    p = &p;
    EXPECT_EQ(drv->lpVtbl->QueryInterface(drv, IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);

    EXPECT_EQ(drv->lpVtbl->DeviceID(drv, 0x0700, 1, TRUE, 4, nullptr), E_FAIL);
    EXPECT_EQ(drv->m_dwDeviceIndex, kDev);
    EXPECT_FALSE(drv->m_bBound);
}

TEST(DriverRelease, AnObjectThatWasNeverBoundClosesNothing)
{
    // Device 0's channel in this process: pretend a handle is open.
    HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_aChannels[0].m_hChannel = ev;
    CEffectDriver *p = CEffectDriver_Create();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->lpVtbl->Release(p), 0u);
    EXPECT_EQ(g_aChannels[0].m_hChannel, ev);
    g_aChannels[0].m_hChannel = nullptr;
    CloseHandle(ev);
}

} // namespace
