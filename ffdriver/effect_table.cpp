#include "ffdriver/effect_table.h"

namespace {

HANDLE g_hTableMapping = nullptr;
EffectTable *g_pTable = nullptr;
HANDLE g_hTableMutex = nullptr;
HANDLE g_hTableEvent = nullptr;
CRITICAL_SECTION g_csDriver;
bool g_bDriverLockReady = false;
// Nesting depth of TableMutex_Enter on the thread that holds the driver lock.
LONG g_nMutexDepth = 0;
volatile LONG g_cWakes = 0;

EffectSlot *SlotOf(DWORD d, DWORD dwHandle)
{
    DeviceEffects *pDev = EffectTable_Device(d);
    if (!pDev || !EffectTable_IsValidHandle(dwHandle)) return nullptr;
    return &pDev->m_aSlots[dwHandle - 1];
}

// A process that died inside a table operation may have left a slot half
// changed. Bring every state word back to a combination the operations can
// produce, so that a ghost "playing" bit on a free slot never starts an
// effect when the slot is next allocated.
void RepairAfterAbandon()
{
    if (!g_pTable) return;
    for (DWORD d = 0; d < kFFDeviceCount; ++d) {
        for (DWORD i = 0; i < kFFSlotCount; ++i) {
            EffectSlot &s = g_pTable->m_aDevices[d].m_aSlots[i];
            DWORD st = s.m_dwState & SLOT_STATE_MASK;
            if (!(st & SLOT_ALLOCATED)) st &= ~SLOT_PLAYING;
            if (s.m_dwKind > KIND_CUSTOM) s.m_dwKind = KIND_NONE;
            s.m_dwState = st;
        }
    }
}

DWORD Ms(DWORD dwMicroseconds) { return dwMicroseconds / 1000; }

} // namespace

BOOL EffectTable_Open()
{
    g_hTableMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                         sizeof(EffectTable), TAVREL_FF_MAPPING_NAME);
    if (g_hTableMapping) {
        g_pTable = static_cast<EffectTable *>(
            MapViewOfFile(g_hTableMapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(EffectTable)));
    }
    if (g_pTable) g_hTableMutex = CreateMutexA(nullptr, FALSE, TAVREL_FF_MUTEX_NAME);
    if (g_hTableMutex) g_hTableEvent = CreateEventA(nullptr, TRUE, FALSE, TAVREL_FF_EVENT_NAME);
    if (g_hTableEvent) return TRUE;
    EffectTable_Close();
    return FALSE;
}

BOOL EffectTable_Close()
{
    if (g_hTableEvent) { CloseHandle(g_hTableEvent); g_hTableEvent = nullptr; }
    if (g_hTableMutex) { CloseHandle(g_hTableMutex); g_hTableMutex = nullptr; }
    if (g_pTable) { UnmapViewOfFile(g_pTable); g_pTable = nullptr; }
    if (g_hTableMapping) { CloseHandle(g_hTableMapping); g_hTableMapping = nullptr; }
    return TRUE;
}

BOOL EffectTable_IsOpen() { return g_pTable != nullptr; }
EffectTable *EffectTable_View() { return g_pTable; }
HANDLE EffectTable_Event() { return g_hTableEvent; }

DeviceEffects *EffectTable_Device(DWORD d)
{
    if (!g_pTable || d >= kFFDeviceCount) return nullptr;
    return &g_pTable->m_aDevices[d];
}

void EffectTable_Wake()
{
    InterlockedIncrement(&g_cWakes);
    if (g_hTableEvent) PulseEvent(g_hTableEvent);
}

LONG EffectTable_WakeCount() { return InterlockedCompareExchange(&g_cWakes, 0, 0); }

void DriverLock_Initialize()
{
    if (g_bDriverLockReady) return;
    InitializeCriticalSection(&g_csDriver);
    g_bDriverLockReady = true;
}

void DriverLock_Delete()
{
    if (!g_bDriverLockReady) return;
    DeleteCriticalSection(&g_csDriver);
    g_bDriverLockReady = false;
}

void DriverLock_Enter() { EnterCriticalSection(&g_csDriver); }
void DriverLock_Leave() { LeaveCriticalSection(&g_csDriver); }

// Called with the driver lock held, so the depth counter needs no lock of
// its own. A bounded wait would let two processes in at once; the holds are
// short, so the wait is not bounded. An owner that died (WAIT_ABANDONED)
// hands the mutex over like a release.
void TableMutex_Enter()
{
    if (g_nMutexDepth++ > 0 || !g_hTableMutex) return;
    DWORD w = WaitForSingleObject(g_hTableMutex, INFINITE);
    if (w == WAIT_ABANDONED) RepairAfterAbandon();
}

void TableMutex_Leave()
{
    if (--g_nMutexDepth > 0 || !g_hTableMutex) return;
    ReleaseMutex(g_hTableMutex);
}

HRESULT EffectTable_SetGain(DWORD d, DWORD dwGain)
{
    DeviceEffects *pDev = EffectTable_Device(d);
    if (!pDev) return E_HANDLE;
    pDev->m_dwGain = dwGain;
    EffectTable_Wake();
    return S_OK;
}

HRESULT EffectTable_Allocate(DWORD d, DWORD *pdwHandle)
{
    DeviceEffects *pDev = EffectTable_Device(d);
    if (!pDev) return E_HANDLE;
    for (DWORD i = 0; i < kFFSlotCount; ++i) {
        EffectSlot &s = pDev->m_aSlots[i];
        if (!(s.m_dwState & SLOT_ALLOCATED)) {
            s.m_dwState |= SLOT_ALLOCATED | SLOT_CHANGED;
            *pdwHandle = i + 1;
            EffectTable_Wake();
            return S_OK;
        }
    }
    return DIERR_DEVICEFULL;
}

HRESULT EffectTable_Store(DWORD d, DWORD dwHandle, DWORD dwKind, DWORD dwEffectId,
                          const DIEFFECT *peff, DWORD dwFlags)
{
    EffectSlot *ps = SlotOf(d, dwHandle);
    if (!ps || !(ps->m_dwState & SLOT_ALLOCATED) || !peff) return E_HANDLE;
    EffectSlot &s = *ps;
    s.m_dwKind = dwKind;
    s.m_dwEffectId = dwEffectId;
    s.m_dwState |= SLOT_CHANGED;
    s.m_dwEffectFlags = peff->dwFlags;
    if (dwFlags & DIEP_GAIN) s.m_dwGain = peff->dwGain;
    if (dwFlags & DIEP_DURATION) s.m_dwDuration = Ms(peff->dwDuration);
    if (dwFlags & DIEP_SAMPLEPERIOD) s.m_dwSamplePeriod = Ms(peff->dwSamplePeriod);
    if (dwFlags & DIEP_TRIGGERBUTTON) s.m_dwTriggerButton = peff->dwTriggerButton;
    if (dwFlags & DIEP_TRIGGERREPEATINTERVAL) s.m_dwTriggerRepeatInterval = Ms(peff->dwTriggerRepeatInterval);

    // An array the caller named but did not pass counts as not given.
    bool bAxes = (dwFlags & DIEP_AXES) && peff->rgdwAxes;
    bool bDirection = (dwFlags & DIEP_DIRECTION) && peff->rglDirection;
    if (bAxes || bDirection) s.m_cAxes = peff->cAxes < 3 ? peff->cAxes : 3;
    if (bAxes)
        for (DWORD i = 0; i < s.m_cAxes; ++i) s.m_rgdwAxes[i] = peff->rgdwAxes[i];
    if (bDirection)
        for (DWORD i = 0; i < s.m_cAxes; ++i) s.m_rglDirection[i] = peff->rglDirection[i];

    if (dwFlags & DIEP_ENVELOPE) {
        const DIENVELOPE *pe = peff->lpEnvelope;
        s.m_dwAttackLevel = pe ? pe->dwAttackLevel : 0;
        s.m_dwAttackTime = pe ? Ms(pe->dwAttackTime) : 0;
        s.m_dwFadeLevel = pe ? pe->dwFadeLevel : 0;
        s.m_dwFadeTime = pe ? Ms(pe->dwFadeTime) : 0;
    }

    const void *pv = peff->lpvTypeSpecificParams;
    if ((dwFlags & DIEP_TYPESPECIFICPARAMS) && pv) {
        switch (dwKind) {
        case KIND_CONSTANT:
            s.m_lConstantMagnitude = static_cast<const DICONSTANTFORCE *>(pv)->lMagnitude;
            break;
        case KIND_RAMP: {
            const DIRAMPFORCE *p = static_cast<const DIRAMPFORCE *>(pv);
            s.m_lRampStart = p->lStart;
            s.m_lRampEnd = p->lEnd;
            break;
        }
        case KIND_PERIODIC: {
            const DIPERIODIC *p = static_cast<const DIPERIODIC *>(pv);
            s.m_dwPeriodicMagnitude = p->dwMagnitude;
            s.m_lPeriodicOffset = p->lOffset;
            s.m_dwPeriodicPhase = p->dwPhase;
            s.m_dwPeriodicPeriod = p->dwPeriod;
            break;
        }
        case KIND_CONDITION: {
            const DICONDITION *p = static_cast<const DICONDITION *>(pv);
            s.m_lConditionOffset = p->lOffset;
            s.m_lPositiveCoefficient = p->lPositiveCoefficient;
            s.m_lNegativeCoefficient = p->lNegativeCoefficient;
            s.m_dwPositiveSaturation = p->dwPositiveSaturation;
            s.m_dwNegativeSaturation = p->dwNegativeSaturation;
            s.m_lDeadBand = p->lDeadBand;
            break;
        }
        default:
            break;
        }
    }
    EffectTable_Wake();
    return S_OK;
}

HRESULT EffectTable_Free(DWORD d, DWORD dwHandle)
{
    EffectSlot *ps = SlotOf(d, dwHandle);
    if (!ps || !(ps->m_dwState & SLOT_ALLOCATED)) return E_HANDLE;
    ps->m_dwState = (ps->m_dwState & ~(SLOT_ALLOCATED | SLOT_PLAYING)) | SLOT_CHANGED;
    ps->m_dwKind = KIND_NONE;
    EffectTable_Wake();
    return S_OK;
}

HRESULT EffectTable_Start(DWORD d, DWORD dwHandle)
{
    EffectSlot *ps = SlotOf(d, dwHandle);
    if (!ps || !(ps->m_dwState & SLOT_ALLOCATED)) return E_HANDLE;
    ps->m_dwStartTime = GetTickCount();
    ps->m_dwState |= SLOT_PLAYING | SLOT_CHANGED;
    EffectTable_Wake();
    return S_OK;
}

HRESULT EffectTable_Stop(DWORD d, DWORD dwHandle)
{
    EffectSlot *ps = SlotOf(d, dwHandle);
    if (!ps) return E_HANDLE;
    if (ps->m_dwState & SLOT_PLAYING) {
        ps->m_dwState = (ps->m_dwState & ~SLOT_PLAYING) | SLOT_CHANGED;
        EffectTable_Wake();
    }
    return S_OK;
}

HRESULT EffectTable_StopAll(DWORD d)
{
    DeviceEffects *pDev = EffectTable_Device(d);
    if (!pDev) return E_HANDLE;
    bool bChanged = false;
    for (DWORD i = 0; i < kFFSlotCount; ++i) {
        EffectSlot &s = pDev->m_aSlots[i];
        if (s.m_dwState & SLOT_PLAYING) {
            s.m_dwState = (s.m_dwState & ~SLOT_PLAYING) | SLOT_CHANGED;
            bChanged = true;
        }
    }
    if (bChanged) EffectTable_Wake();
    return S_OK;
}

HRESULT EffectTable_Reset(DWORD d)
{
    DeviceEffects *pDev = EffectTable_Device(d);
    if (!pDev) return E_HANDLE;
    bool bChanged = false;
    for (DWORD i = 0; i < kFFSlotCount; ++i) {
        EffectSlot &s = pDev->m_aSlots[i];
        if (s.m_dwKind != KIND_NONE) {
            s.m_dwKind = KIND_NONE;
            s.m_dwState = SLOT_CHANGED;
            bChanged = true;
        }
    }
    if (bChanged) EffectTable_Wake();
    return S_OK;
}

DWORD EffectTable_Count(DWORD d)
{
    DeviceEffects *pDev = EffectTable_Device(d);
    WORD wAllocated = 0;
    if (pDev) {
        for (DWORD i = 0; i < kFFSlotCount; ++i)
            if (pDev->m_aSlots[i].m_dwState & SLOT_ALLOCATED) ++wAllocated;
    }
    return MAKELONG(static_cast<WORD>(kFFSlotCount), wAllocated);
}

BOOL EffectTable_IsPlaying(DWORD d, DWORD dwHandle)
{
    EffectSlot *ps = SlotOf(d, dwHandle);
    if (!ps) return FALSE;
    // One aligned word: another process may change it at any time, and a
    // single read sees either the old or the new value.
    DWORD st = *static_cast<volatile DWORD *>(&ps->m_dwState);
    return (st & SLOT_PLAYING) ? TRUE : FALSE;
}
