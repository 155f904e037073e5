// Several processes on one table: what one downloads the others see, a
// process that dies inside the lock stops nobody, and concurrent downloads,
// starts and destroys leave a consistent table.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ffdriver/output_thread.h"
#include "tests/ffdriver/ff_test_util.h"

namespace {

const DWORD kDev = 1;

// --child=inspect <device> <handle> <gain>: 0 when the slot holds a constant
// force of that gain.
int ChildInspect(int argc, char **argv)
{
    if (argc < 3) return 10;
    DWORD d = strtoul(argv[0], nullptr, 0), h = strtoul(argv[1], nullptr, 0), g = strtoul(argv[2], nullptr, 0);
    TableLock lock;
    const EffectSlot &s = Slot(d, h);
    if (!(s.m_dwState & SLOT_ALLOCATED)) return 11;
    if (s.m_dwKind != KIND_CONSTANT) return 12;
    if (s.m_dwGain != g) return 13;
    return 0;
}

// --child=die-holding: takes the table lock and ends without letting go.
int ChildDieHolding()
{
    DriverLock_Enter();
    TableMutex_Enter();
    ExitProcess(0);
}

// A small generator per process, so runs differ between the children.
struct Rng {
    DWORD x;
    DWORD Next() { x ^= x << 13; x ^= x >> 17; x ^= x << 5; return x; }
};

DeviceChannel g_stressPass; // no handle: the passes expire and mix only
volatile LONG g_stopPasses = 0;

DWORD WINAPI StressPasses(void *)
{
    while (!g_stopPasses) {
        OutputPass(&g_stressPass, GetTickCount());
        Sleep(1);
    }
    return 0;
}

// --child=stress <device> <ms> <seed>: random downloads, updates, starts,
// stops and destroys through its own driver object, while a thread runs
// output passes; exits with the bit mask of the handles it still holds.
int ChildStress(int argc, char **argv)
{
    if (argc < 3) return 0x10000;
    DWORD d = strtoul(argv[0], nullptr, 0), ms = strtoul(argv[1], nullptr, 0);
    Rng rng = {strtoul(argv[2], nullptr, 0) | 1};
    CEffectDriver *drv = UnboundDriver(d);
    if (!drv) return 0x10001;

    g_stressPass.m_dwDeviceIndex = d;
    g_stressPass.m_pBlock = EffectTable_Device(d);
    g_stressPass.m_hChannel = INVALID_HANDLE_VALUE;
    HANDLE t = CreateThread(nullptr, 0, StressPasses, nullptr, 0, nullptr);

    std::vector<DWORD> held;
    DWORD end = GetTickCount() + ms;
    while ((LONG)(GetTickCount() - end) < 0) {
        DWORD op = rng.Next() % 8;
        if (op <= 2 || held.empty()) {
            EffectDesc e = EffectDesc::Constant((LONG)(rng.Next() % 20001) - 10000, rng.Next() % 10001);
            e.eff.dwDuration = (rng.Next() % 50) * 1000;
            DWORD h = 0;
            HRESULT hr = drv->lpVtbl->DownloadEffect(drv, 0, 1 + rng.Next() % 12, &h, &e.eff,
                                                     kAllParams | (op == 0 ? DIEP_START : 0));
            if (hr == S_OK) held.push_back(h);
            else if (hr != (HRESULT)DIERR_DEVICEFULL) return 0x10002;
            continue;
        }
        size_t i = rng.Next() % held.size();
        DWORD h = held[i];
        DWORD status;
        switch (op) {
        case 3: {
            EffectDesc e = EffectDesc::Periodic(rng.Next() % 10001, rng.Next() % 100000);
            if (drv->lpVtbl->DownloadEffect(drv, 0, 4, &h, &e.eff, DIEP_TYPESPECIFICPARAMS | DIEP_GAIN) != S_OK)
                return 0x10003;
            break;
        }
        case 4:
            if (drv->lpVtbl->StartEffect(drv, 0, h, 0, 1) != S_OK) return 0x10004;
            break;
        case 5:
            if (drv->lpVtbl->StopEffect(drv, 0, h) != S_OK) return 0x10005;
            if (drv->lpVtbl->GetEffectStatus(drv, 0, h, &status) != S_OK) return 0x10006;
            break;
        default:
            if (drv->lpVtbl->DestroyEffect(drv, 0, h) != S_OK) return 0x10007;
            held.erase(held.begin() + i);
            break;
        }
    }
    g_stopPasses = 1;
    WaitForSingleObject(t, 5000);
    CloseHandle(t);
    DWORD mask = 0;
    for (DWORD h : held) mask |= 1u << (h - 1);
    LocalFree(drv); // no Release: the effects stay for the parent to check
    return static_cast<int>(mask);
}

TEST(Processes, ASecondProcessSeesTheEffectsOfTheFirst)
{
    WipeDevice(kDev);
    CEffectDriver *drv = UnboundDriver(kDev);
    DWORD a = 0, b = 0;
    EffectDesc e = EffectDesc::Constant(1000, 4321);
    ASSERT_EQ(drv->lpVtbl->DownloadEffect(drv, 0, 1, &a, &e.eff, kAllParams), S_OK);
    e.eff.dwGain = 1234;
    ASSERT_EQ(drv->lpVtbl->DownloadEffect(drv, 0, 1, &b, &e.eff, kAllParams), S_OK);
    char args[64];
    snprintf(args, sizeof(args), "inspect %lu %lu 1234", (unsigned long)kDev, (unsigned long)b);
    HANDLE child = SpawnChild(args);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(WaitChild(child, 20000), 0u);
    drv->lpVtbl->Release(drv);
    WipeDevice(kDev);
}

struct AllocResult {
    HRESULT hr;
    DWORD h;
};

DWORD WINAPI AllocateUnderLock(void *pv)
{
    AllocResult *pr = static_cast<AllocResult *>(pv);
    TableLock lock;
    pr->hr = EffectTable_Allocate(kDev, &pr->h);
    return 0;
}

TEST(Processes, AProcessThatDiedHoldingTheLockStopsNobody)
{
    WipeDevice(kDev);
    // A ghost bit such a process could leave behind.
    {
        TableLock lock;
        Slot(kDev, 9).m_dwState = SLOT_PLAYING | 0x100;
    }
    HANDLE child = SpawnChild("die-holding");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(WaitChild(child, 20000), 0u);

    AllocResult r = {E_FAIL, 0};
    HANDLE t = CreateThread(nullptr, 0, AllocateUnderLock, &r, 0, nullptr);
    ASSERT_NE(t, nullptr);
    bool finished = WaitForSingleObject(t, 5000) == WAIT_OBJECT_0;
    EXPECT_TRUE(finished) << "the table stayed locked";
    if (!finished) TerminateThread(t, 1);
    CloseHandle(t);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(Slot(kDev, 9).m_dwState, 0u) << "repaired on taking over";
    WipeDevice(kDev);
}

TEST(Processes, ConcurrentDownloadsStartsAndDestroysLeaveAConsistentTable)
{
    WipeDevice(kDev);
    const int kChildren = 4;
    HANDLE children[kChildren];
    for (int i = 0; i < kChildren; ++i) {
        char args[64];
        snprintf(args, sizeof(args), "stress %lu 3000 %d", (unsigned long)kDev, 1000 + 77 * i);
        children[i] = SpawnChild(args);
        ASSERT_NE(children[i], nullptr);
    }
    DWORD masks = 0;
    for (int i = 0; i < kChildren; ++i) {
        DWORD code = WaitChild(children[i], 60000);
        ASSERT_LE(code, 0xFFFFu) << "child " << i << " failed or crashed: 0x" << std::hex << code;
        EXPECT_EQ(masks & code, 0u) << "two processes hold one handle";
        masks |= code;
    }
    TableLock lock;
    DWORD allocated = 0;
    for (DWORD h = 1; h <= 16; ++h) {
        const EffectSlot &s = Slot(kDev, h);
        EXPECT_EQ(s.m_dwState & ~SLOT_STATE_MASK, 0u) << h;
        if (s.m_dwState & SLOT_PLAYING) {
            EXPECT_TRUE(s.m_dwState & SLOT_ALLOCATED) << h;
        }
        bool isAllocated = (s.m_dwState & SLOT_ALLOCATED) != 0;
        EXPECT_EQ(isAllocated, s.m_dwKind != KIND_NONE) << h;
        if (isAllocated) allocated |= 1u << (h - 1);
    }
    EXPECT_EQ(allocated, masks);
    WipeDevice(kDev);
}

} // namespace

int RunChildRole(const char *role, int argc, char **argv)
{
    if (strcmp(role, "inspect") == 0) return ChildInspect(argc, argv);
    if (strcmp(role, "die-holding") == 0) return ChildDieHolding();
    if (strcmp(role, "stress") == 0) return ChildStress(argc, argv);
    return 99;
}
