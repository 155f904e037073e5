#include "ffdriver/output_thread.h"

#include <dinput.h>
#include <dinputd.h>
#include <process.h>
#include <cstring>

#include "ffdriver/ffmodule.h"

DeviceChannel g_aChannels[kFFDeviceCount];

namespace {

volatile LONG g_bThreadStarted = 0;

const DWORD kPassTimeoutMs = 30;
const DWORD kPassSleepMs = 10;
const unsigned kThreadStack = 16000;

// Sums are kept wide so that out-of-range gains or magnitudes saturate
// instead of wrapping round to a small value.
typedef unsigned long long Sum;

Sum Contribution(DWORD dwGain, DWORD dwMagnitude)
{
    return static_cast<Sum>(dwGain) * dwMagnitude / 500000u;
}

DWORD Magnitude(LONG l)
{
    // A pull in the negative direction shakes as hard as the same push.
    return l < 0 ? 0u - static_cast<DWORD>(l) : static_cast<DWORD>(l);
}

bool IsOpen(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// Keeps the module mapped for the rest of the process: an output thread never
// stops, so its code must not be unloaded under it.
void PinModule()
{
    HMODULE hSelf = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&OutputThread), &hSelf);
}

} // namespace

void ExpireEffects(DeviceEffects *pBlock, DWORD dwNow)
{
    if (!pBlock) return;
    for (DWORD i = 0; i < kFFSlotCount; ++i) {
        EffectSlot &s = pBlock->m_aSlots[i];
        if (!(s.m_dwState & SLOT_ALLOCATED)) continue;
        if (s.m_dwState & SLOT_PLAYING) {
            // Elapsed time rather than start + duration, so an effect started
            // just before the tick count wraps is not cut short. A start
            // stamped after this pass read the clock (another thread, another
            // process) counts as not yet elapsed.
            DWORD dwElapsed = dwNow - s.m_dwStartTime;
            if (static_cast<LONG>(dwElapsed) > 0 && dwElapsed > s.m_dwDuration)
                s.m_dwState &= ~SLOT_PLAYING;
        }
        s.m_dwState &= ~SLOT_CHANGED;
    }
}

void ComputeMotors(const DeviceEffects *pBlock, ConverterOutputReport *pReport)
{
    Sum r = 0, s = 0;
    if (pBlock) {
        for (DWORD i = 0; i < kFFSlotCount; ++i) {
            const EffectSlot &e = pBlock->m_aSlots[i];
            const DWORD st = e.m_dwState;
            if ((st & (SLOT_ALLOCATED | SLOT_PLAYING)) != (SLOT_ALLOCATED | SLOT_PLAYING)) continue;
            if (e.m_dwTriggerButton != DIEB_NOTRIGGER) continue;
            switch (e.m_dwKind) {
            case KIND_CONSTANT:
                r += Contribution(e.m_dwGain, Magnitude(e.m_lConstantMagnitude));
                break;
            case KIND_PERIODIC: {
                Sum v = Contribution(e.m_dwGain, e.m_dwPeriodicMagnitude);
                // 25 Hz and faster is a buzz: the on/off motor does it better.
                if (e.m_dwPeriodicPeriod > 40000) r += v;
                else s += v;
                break;
            }
            case KIND_CUSTOM:
                s += e.m_dwGain / 50;
                break;
            default:
                break;
            }
        }
    }
    pReport->active = 1;
    pReport->shock = s > 5 ? 1 : 0;
    // Below about 30 the variable motor does not spin up at all.
    if (r > 5) r += 25;
    pReport->rumble = static_cast<uint8_t>(r <= 255 ? r : 255);
}

void MixMotors(DeviceChannel *pChannel)
{
    ComputeMotors(pChannel->m_pBlock, &pChannel->m_report);
    DeviceChannel_Write(pChannel->m_dwDeviceIndex);
}

void OutputPass(DeviceChannel *pChannel, DWORD dwNow)
{
    DriverLock_Enter();
    // The shared block is touched under the mutex; the write, which may be
    // slow on a real device, only under this process's lock, so that a slow
    // converter never holds up another process's table operations.
    TableMutex_Enter();
    ExpireEffects(pChannel->m_pBlock, dwNow);
    ComputeMotors(pChannel->m_pBlock, &pChannel->m_report);
    TableMutex_Leave();
    DeviceChannel_Write(pChannel->m_dwDeviceIndex);
    DriverLock_Leave();
}

void __cdecl OutputThread(void *pvChannel)
{
    DeviceChannel *pChannel = static_cast<DeviceChannel *>(pvChannel);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    HANDLE hEvent = EffectTable_Event();
    for (;;) {
        // A pulse and the time-out are handled alike.
        WaitForSingleObject(hEvent, kPassTimeoutMs);
        OutputPass(pChannel, GetTickCount());
        Sleep(kPassSleepMs);
    }
}

void DeviceChannel_Write(DWORD d)
{
    if (d >= kFFDeviceCount) return;
    DeviceChannel &ch = g_aChannels[d];
    if (!IsOpen(ch.m_hChannel)) return;
    DWORD cbWritten = 0;
    WriteFile(ch.m_hChannel, &ch.m_report, sizeof(ch.m_report), &cbWritten, nullptr);
}

void DeviceChannel_Close(DWORD d)
{
    if (d >= kFFDeviceCount) return;
    DriverLock_Enter();
    DeviceChannel &ch = g_aChannels[d];
    ch.m_report.active = 0;
    ch.m_report.reserved = 0;
    ch.m_report.shock = 0;
    ch.m_report.rumble = 0;
    if (IsOpen(ch.m_hChannel)) {
        DeviceChannel_Write(d);
        CloseHandle(ch.m_hChannel);
    }
    ch.m_hChannel = INVALID_HANDLE_VALUE;
    DriverLock_Leave();
}

void DeviceChannel_Open(DWORD d, DWORD dwJoystickId)
{
    if (d >= kFFDeviceCount) return;
    DeviceChannel &ch = g_aChannels[d];

    DriverLock_Enter();
    ch.m_dwDeviceIndex = d;
    ch.m_dwJoystickId = dwJoystickId;
    ch.m_pBlock = EffectTable_Device(d);
    bool bOpen = IsOpen(ch.m_hChannel);
    DriverLock_Leave();

    if (!bOpen) {
        // DirectInput and the open run outside the lock: the output thread
        // must not stall behind them.
        char szPath[256];
        HANDLE h = INVALID_HANDLE_VALUE;
        if (SUCCEEDED(FindDevicePath(dwJoystickId, szPath))) {
            h = CreateFileA(szPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
        }
        DriverLock_Enter();
        if (IsOpen(ch.m_hChannel)) {
            // Another thread opened it meanwhile; keep that one.
            if (IsOpen(h)) CloseHandle(h);
        } else {
            ch.m_hChannel = h;
        }
        bOpen = IsOpen(ch.m_hChannel);
        DriverLock_Leave();
    }
    if (!bOpen) return;

    // One output thread per device and process: a second would only double
    // the writes.
    DriverLock_Enter();
    if (!ch.m_hThread) {
        uintptr_t t = _beginthread(OutputThread, kThreadStack, &ch);
        if (t != static_cast<uintptr_t>(-1) && t != 0) {
            ch.m_hThread = t;
            if (!InterlockedExchange(&g_bThreadStarted, 1)) PinModule();
        }
    }
    DriverLock_Leave();
}

// The count changes under the driver lock, so a close for the last binding
// and a new binding's open cannot cross: the new one always reopens.
void DeviceChannel_Bind(DWORD d, DWORD dwJoystickId)
{
    if (d >= kFFDeviceCount) return;
    DriverLock_Enter();
    ++g_aChannels[d].m_cBindings;
    DriverLock_Leave();
    DeviceChannel_Open(d, dwJoystickId);
}

void DeviceChannel_Unbind(DWORD d)
{
    if (d >= kFFDeviceCount) return;
    DriverLock_Enter();
    if (g_aChannels[d].m_cBindings > 0 && --g_aChannels[d].m_cBindings == 0) DeviceChannel_Close(d);
    DriverLock_Leave();
}

BOOL DeviceChannel_AnyThreadStarted() { return InterlockedCompareExchange(&g_bThreadStarted, 0, 0) != 0; }

HRESULT FindDevicePath(DWORD dwJoystickId, char szPath[256])
{
    IDirectInputA *pdi = nullptr;
    IDirectInputJoyConfig *pJoyCfg = nullptr;
    IDirectInputDeviceA *pDev = nullptr;
    IDirectInputDevice2A *pDev2 = nullptr;

    HRESULT hr = DirectInputCreateA(g_hInstance, 0x0700, &pdi, nullptr);
    if (SUCCEEDED(hr)) hr = pdi->QueryInterface(IID_IDirectInputJoyConfig, reinterpret_cast<void **>(&pJoyCfg));

    DIJOYCONFIG cfg;
    if (SUCCEEDED(hr)) {
        memset(&cfg, 0, sizeof(cfg));
        cfg.dwSize = sizeof(cfg);
        hr = pJoyCfg->GetConfig(dwJoystickId, &cfg, DIJC_GUIDINSTANCE);
    }
    if (SUCCEEDED(hr)) hr = pdi->CreateDevice(cfg.guidInstance, &pDev, nullptr);
    if (SUCCEEDED(hr)) {
        hr = pDev->QueryInterface(IID_IDirectInputDevice2A, reinterpret_cast<void **>(&pDev2));
        pDev->Release();
    }
    if (SUCCEEDED(hr)) {
        DIPROPGUIDANDPATH gp;
        memset(&gp, 0, sizeof(gp));
        gp.diph.dwSize = sizeof(gp);
        gp.diph.dwHeaderSize = sizeof(DIPROPHEADER);
        gp.diph.dwObj = 0;
        gp.diph.dwHow = DIPH_DEVICE;
        hr = pDev2->GetProperty(DIPROP_GUIDANDPATH, &gp.diph);
        if (SUCCEEDED(hr)) {
            gp.wszPath[MAX_PATH - 1] = L'\0';
            if (!WideCharToMultiByte(CP_ACP, 0, gp.wszPath, -1, szPath, 256, nullptr, nullptr)) {
                szPath[0] = '\0';
                hr = E_FAIL;
            }
        }
    }
    if (pDev2) pDev2->Release();
    if (pJoyCfg) pJoyCfg->Release();
    if (pdi) pdi->Release();
    return hr;
}

static_assert(sizeof(DIJOYCONFIG) == 1176, "the full joystick configuration");
static_assert(sizeof(DIPROPGUIDANDPATH) == 552, "GUID and path property");
