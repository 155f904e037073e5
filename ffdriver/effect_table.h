// The effect table every process that loads the driver shares through one
// named section: four devices of sixteen slots. Other builds of this driver
// map the same names, so the layout below is fixed to the byte.
#pragma once

#include <windows.h>
#include <dinput.h>
#include <cstddef>

#define TAVREL_FF_MAPPING_NAME "MAP{5E0A7C42-19B3-4D6F-A2E8-3C71F09B4D26}"
#define TAVREL_FF_MUTEX_NAME   "MUT{5E0A7C42-19B3-4D6F-A2E8-3C71F09B4D26}"
#define TAVREL_FF_EVENT_NAME   "EVT{5E0A7C42-19B3-4D6F-A2E8-3C71F09B4D26}"

enum : DWORD {
    KIND_NONE = 0,
    KIND_CONSTANT = 1,
    KIND_RAMP = 2,
    KIND_PERIODIC = 3,
    KIND_CONDITION = 4,
    KIND_CUSTOM = 5,
};

enum : DWORD {
    SLOT_ALLOCATED = 0x1,
    SLOT_PLAYING = 0x2,
    SLOT_CHANGED = 0x4,
    SLOT_STATE_MASK = 0x7,
};

const DWORD kFFDeviceCount = 4;
const DWORD kFFSlotCount = 16;

// Times are milliseconds except the periodic period (microseconds).
struct EffectSlot {
    DWORD m_dwKind;
    DWORD m_dwEffectId;
    DWORD m_dwStartTime;
    DWORD m_dwState;
    DWORD m_dwEffectFlags;
    DWORD m_dwSamplePeriod;
    DWORD m_dwTriggerButton;
    DWORD m_dwTriggerRepeatInterval;
    DWORD m_dwGain;
    DWORD m_dwDuration;
    DWORD m_cAxes;
    DWORD m_rgdwAxes[3];
    LONG m_rglDirection[3];
    DWORD m_dwAttackLevel;
    DWORD m_dwAttackTime;
    DWORD m_dwFadeLevel;
    DWORD m_dwFadeTime;
    LONG m_lConstantMagnitude;
    LONG m_lRampStart;
    LONG m_lRampEnd;
    DWORD m_dwPeriodicMagnitude;
    LONG m_lPeriodicOffset;
    DWORD m_dwPeriodicPhase;
    DWORD m_dwPeriodicPeriod;
    LONG m_lConditionOffset;
    LONG m_lPositiveCoefficient;
    LONG m_lNegativeCoefficient;
    DWORD m_dwPositiveSaturation;
    DWORD m_dwNegativeSaturation;
    LONG m_lDeadBand;
    DWORD m_adwReserved[3];
};

struct DeviceEffects {
    DWORD m_dwGain;
    EffectSlot m_aSlots[kFFSlotCount]; // handle h is m_aSlots[h - 1]
};

struct EffectTable {
    DeviceEffects m_aDevices[kFFDeviceCount];
};

static_assert(sizeof(EffectSlot) == 148, "EffectSlot is 148 bytes");
static_assert(sizeof(DeviceEffects) == 2372, "DeviceEffects is 2372 bytes");
static_assert(sizeof(EffectTable) == 9488, "EffectTable is 9488 bytes");
static_assert(offsetof(EffectSlot, m_dwState) == 12, "state at 12");
static_assert(offsetof(EffectSlot, m_dwTriggerButton) == 24, "trigger at 24");
static_assert(offsetof(EffectSlot, m_dwGain) == 32, "gain at 32");
static_assert(offsetof(EffectSlot, m_dwDuration) == 36, "duration at 36");
static_assert(offsetof(EffectSlot, m_cAxes) == 40, "axis count at 40");
static_assert(offsetof(EffectSlot, m_rgdwAxes) == 44, "axes at 44");
static_assert(offsetof(EffectSlot, m_rglDirection) == 56, "directions at 56");
static_assert(offsetof(EffectSlot, m_dwAttackLevel) == 68, "envelope at 68");
static_assert(offsetof(EffectSlot, m_lConstantMagnitude) == 84, "constant at 84");
static_assert(offsetof(EffectSlot, m_lRampStart) == 88, "ramp at 88");
static_assert(offsetof(EffectSlot, m_dwPeriodicMagnitude) == 96, "periodic at 96");
static_assert(offsetof(EffectSlot, m_dwPeriodicPeriod) == 108, "period at 108");
static_assert(offsetof(EffectSlot, m_lConditionOffset) == 112, "condition at 112");
static_assert(offsetof(EffectSlot, m_lDeadBand) == 132, "dead band at 132");
static_assert(offsetof(EffectSlot, m_adwReserved) == 136, "reserved at 136");
static_assert(offsetof(DeviceEffects, m_aSlots) == 4, "slots follow the gain");

// Per-process attachment. Open returns 1 on success; a failed open leaves
// nothing behind. Close always returns 1.
BOOL EffectTable_Open();
BOOL EffectTable_Close();
BOOL EffectTable_IsOpen();
EffectTable *EffectTable_View();
HANDLE EffectTable_Event();
// The device's block in this process's view, or null (no table, d >= 4).
DeviceEffects *EffectTable_Device(DWORD d);

// Pulses the shared event: every waiting output thread of every process runs
// a pass at once.
void EffectTable_Wake();
// Number of wakes this process issued (a diagnostic counter).
LONG EffectTable_WakeCount();

// The driver lock orders this process's table operations and output passes;
// the named mutex, taken inside it, orders them between processes. Both are
// re-entrant on one thread. Keep holds short: other processes wait for the
// mutex without a time-out.
void DriverLock_Initialize();
void DriverLock_Delete();
void DriverLock_Enter();
void DriverLock_Leave();
void TableMutex_Enter();
void TableMutex_Leave();

// Both locks for the length of a scope, in the one order that cannot
// deadlock.
class TableLock {
public:
    TableLock() { DriverLock_Enter(); TableMutex_Enter(); }
    ~TableLock() { TableMutex_Leave(); DriverLock_Leave(); }
    TableLock(const TableLock &) = delete;
    TableLock &operator=(const TableLock &) = delete;
};

// Slot operations; the caller holds TableLock. Handles are 1..16. A device
// index outside 0..3 or a missing table answers E_HANDLE without touching
// memory.
HRESULT EffectTable_SetGain(DWORD d, DWORD dwGain);
HRESULT EffectTable_Allocate(DWORD d, DWORD *pdwHandle);
// A handle outside 1..16 or a free slot: E_HANDLE, nothing stored.
HRESULT EffectTable_Store(DWORD d, DWORD dwHandle, DWORD dwKind, DWORD dwEffectId,
                          const DIEFFECT *peff, DWORD dwFlags);
HRESULT EffectTable_Free(DWORD d, DWORD dwHandle);
// A handle outside 1..16 or a free slot: E_HANDLE, nothing changes (a free
// slot marked playing would start playing when it is next allocated).
HRESULT EffectTable_Start(DWORD d, DWORD dwHandle);
// A handle outside 1..16: E_HANDLE. A slot that does not play: S_OK, no change.
HRESULT EffectTable_Stop(DWORD d, DWORD dwHandle);
HRESULT EffectTable_StopAll(DWORD d);
HRESULT EffectTable_Reset(DWORD d);
// Low word: total slots (16). High word: allocated slots.
DWORD EffectTable_Count(DWORD d);
inline WORD EffectTable_CountTotal(DWORD c) { return LOWORD(c); }
inline WORD EffectTable_CountAllocated(DWORD c) { return HIWORD(c); }
// Reads the one state word without a lock. 0 for an invalid handle.
BOOL EffectTable_IsPlaying(DWORD d, DWORD dwHandle);
inline BOOL EffectTable_IsValidHandle(DWORD dwHandle) { return dwHandle >= 1 && dwHandle <= kFFSlotCount; }
