// Shared helpers of the effect-driver tests: effect descriptions, clean
// device blocks and child processes of the test program.
#pragma once

#include <windows.h>
#include <dinput.h>

#include <cstring>
#include <string>

#include "ffdriver/effect_driver.h"
#include "ffdriver/effect_table.h"

// The table is shared with every other process of the Wine prefix that uses
// the driver; each test group owns one device and wipes it before and after.
inline void WipeDevice(DWORD d)
{
    TableLock lock;
    DeviceEffects *p = EffectTable_Device(d);
    if (p) memset(p, 0, sizeof(*p));
}

inline EffectSlot &Slot(DWORD d, DWORD h) { return EffectTable_Device(d)->m_aSlots[h - 1]; }

inline WORD Allocated(DWORD d)
{
    TableLock lock;
    return EffectTable_CountAllocated(EffectTable_Count(d));
}

// A complete effect description with every inner block filled in.
struct EffectDesc {
    DIEFFECT eff;
    DWORD axes[5];
    LONG dirs[5];
    DIENVELOPE env;
    union {
        DICONSTANTFORCE constant;
        DIRAMPFORCE ramp;
        DIPERIODIC periodic;
        DICONDITION condition[2];
    } ts;

    EffectDesc()
    {
        memset(this, 0, sizeof(*this));
        eff.dwSize = sizeof(eff);
        eff.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
        eff.dwDuration = INFINITE;
        eff.dwGain = 10000;
        eff.dwTriggerButton = DIEB_NOTRIGGER;
        eff.cAxes = 1;
        axes[0] = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(0);
        eff.rgdwAxes = axes;
        eff.rglDirection = dirs;
        eff.lpEnvelope = &env;
        eff.cbTypeSpecificParams = sizeof(DICONSTANTFORCE);
        eff.lpvTypeSpecificParams = &ts;
    }
    // Copies must point at their own blocks.
    EffectDesc(const EffectDesc &o) { *this = o; }
    EffectDesc &operator=(const EffectDesc &o)
    {
        memcpy(this, &o, sizeof(*this));
        if (o.eff.rgdwAxes == o.axes) eff.rgdwAxes = axes;
        if (o.eff.rglDirection == o.dirs) eff.rglDirection = dirs;
        if (o.eff.lpEnvelope == &o.env) eff.lpEnvelope = &env;
        if (o.eff.lpvTypeSpecificParams == &o.ts) eff.lpvTypeSpecificParams = &ts;
        return *this;
    }
    static EffectDesc Constant(LONG magnitude, DWORD gain = 10000)
    {
        EffectDesc e;
        e.eff.dwGain = gain;
        e.ts.constant.lMagnitude = magnitude;
        return e;
    }
    static EffectDesc Periodic(DWORD magnitude, DWORD periodUs, DWORD gain = 10000)
    {
        EffectDesc e;
        e.eff.dwGain = gain;
        e.eff.cbTypeSpecificParams = sizeof(DIPERIODIC);
        e.ts.periodic.dwMagnitude = magnitude;
        e.ts.periodic.dwPeriod = periodUs;
        return e;
    }
};

const DWORD kAllParams = DIEP_DURATION | DIEP_SAMPLEPERIOD | DIEP_GAIN | DIEP_TRIGGERBUTTON |
                         DIEP_TRIGGERREPEATINTERVAL | DIEP_AXES | DIEP_DIRECTION | DIEP_ENVELOPE |
                         DIEP_TYPESPECIFICPARAMS;

// A driver object working on device d without a channel (DeviceID would
// open the converter through DirectInput).
inline CEffectDriver *UnboundDriver(DWORD d)
{
    CEffectDriver *p = CEffectDriver_Create();
    if (p) p->m_dwDeviceIndex = d;
    return p;
}

inline std::string OwnExePath()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

// Starts this test program again as "--child=<role> <args>"; returns the
// process handle or null.
inline HANDLE SpawnChild(const std::string &roleAndArgs)
{
    std::string cmd = "\"" + OwnExePath() + "\" --child=" + roleAndArgs;
    STARTUPINFOA si;
    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    std::string buf = cmd;
    if (!CreateProcessA(nullptr, &buf[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

// The child's exit code, or 0xFFFFFFFF when it did not end in time.
inline DWORD WaitChild(HANDLE h, DWORD timeoutMs)
{
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(h, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(h, &code);
    else TerminateProcess(h, 0xFFFFFFFF);
    CloseHandle(h);
    return code;
}

// Entry of the child roles (test_processes.cpp); returns the exit code.
int RunChildRole(const char *role, int argc, char **argv);
