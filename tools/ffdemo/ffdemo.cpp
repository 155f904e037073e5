// Plays a short sequence of force-feedback effects through tavrelusbff.dll,
// bound the way DirectInput binds it, and shows what the converter's motors
// receive.
//
//   ffdemo [--dll PATH] [--id N] [--external | --own-sim] [--quiet]
//
// With --own-sim (the default when TAVREL_FAKEDI_JOYSTICKS is not set) it
// serves its own simulated converter and points the test DirectInput (the
// fake dinput.dll beside this program) at it, prints every change of the
// motor report, and checks each step's motor values: the exit code is 0 when
// every step drove the motors as expected. With --external (the default when
// TAVREL_FAKEDI_JOYSTICKS is set) the converter is someone else's, found by
// the fake DirectInput through that variable (id=path); only the driver's
// side is printed and the exit code tells whether every call succeeded.
#include <windows.h>
#include <dinput.h>
#include <dinputd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/doubles/fakedinput_control.h"
#include "tests/doubles/simconverter.h"

namespace {

const GUID kDriverClsid = {0x3F6B2D90, 0x7C14, 0x4A85, {0xB1, 0xE3, 0x95, 0xD0, 0xC7, 0xA4, 0x2F, 0x18}};

CRITICAL_SECTION g_print;
DWORD g_t0;
bool g_quiet = false;

void Say(const char *fmt, ...)
{
    EnterCriticalSection(&g_print);
    printf("[%6lu ms] ", (unsigned long)(GetTickCount() - g_t0));
    va_list a;
    va_start(a, fmt);
    vprintf(fmt, a);
    va_end(a);
    printf("\n");
    fflush(stdout);
    LeaveCriticalSection(&g_print);
}

// Prints every change of the report the converter receives.
struct MotorWatch {
    SimConverter *sim = nullptr;
    volatile LONG stop = 0;
    HANDLE thread = nullptr;

    static DWORD WINAPI Main(void *pv)
    {
        MotorWatch *w = static_cast<MotorWatch *>(pv);
        size_t seen = 0;
        std::vector<uint8_t> last;
        while (!w->stop) {
            std::vector<SimOutput> out = w->sim->Outputs();
            for (; seen < out.size(); ++seen) {
                const std::vector<uint8_t> &b = out[seen].bytes;
                if (b == last) continue;
                last = b;
                if (b.size() == 5) {
                    Say("  converter <- %02X %02X %02X %02X %02X   %s shock %s, rumble %3u", b[0], b[1], b[2], b[3],
                        b[4], b[1] ? "active," : "ALL OFF,", b[3] ? "ON " : "off", b[4]);
                } else {
                    Say("  converter <- %zu-byte message", b.size());
                }
            }
            Sleep(5);
        }
        return 0;
    }
    void Start(SimConverter *s)
    {
        sim = s;
        thread = CreateThread(nullptr, 0, Main, this, 0, nullptr);
    }
    void Stop()
    {
        if (!thread) return;
        Sleep(100);
        stop = 1;
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
        thread = nullptr;
    }
};

struct Effect {
    DIEFFECT eff;
    DWORD axis;
    LONG dir;
    union {
        DICONSTANTFORCE constant;
        DIPERIODIC periodic;
        DICUSTOMFORCE custom;
    } ts;
    LONG customSamples[4];

    Effect(DWORD gain, DWORD durationMs)
    {
        memset(this, 0, sizeof(*this));
        // DirectInput hands drivers object ids, not data-format offsets.
        axis = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(0);
        eff.dwSize = sizeof(eff);
        eff.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTIDS;
        eff.dwDuration = durationMs == INFINITE ? INFINITE : durationMs * 1000;
        eff.dwGain = gain;
        eff.dwTriggerButton = DIEB_NOTRIGGER;
        eff.cAxes = 1;
        eff.rgdwAxes = &axis;
        eff.rglDirection = &dir;
        eff.lpvTypeSpecificParams = &ts;
    }
};

const DWORD kFlags = DIEP_DURATION | DIEP_GAIN | DIEP_TRIGGERBUTTON | DIEP_AXES | DIEP_DIRECTION |
                     DIEP_TYPESPECIFICPARAMS;

struct Demo {
    IDirectInputEffectDriver *drv = nullptr;
    UINT joystick = 0;
    SimConverter *sim = nullptr;
    int failures = 0;

    void Check(const char *what, HRESULT hr)
    {
        if (FAILED(hr)) {
            ++failures;
            Say("%s failed: 0x%08lX", what, (unsigned long)hr);
        }
    }
    // Waits for the report the step should produce.
    void Expect(const char *step, uint8_t active, uint8_t shock, uint8_t rumble)
    {
        if (!sim) return;
        DWORD end = GetTickCount() + 1000;
        do {
            std::vector<SimOutput> out = sim->Outputs();
            if (!out.empty()) {
                const std::vector<uint8_t> &b = out.back().bytes;
                if (b.size() == 5 && b[1] == active && b[3] == shock && b[4] == rumble) return;
            }
            Sleep(5);
        } while ((LONG)(GetTickCount() - end) < 0);
        ++failures;
        Say("!! %s: the motors did not get active=%u shock=%u rumble=%u", step, active, shock, rumble);
    }
    DWORD Play(const char *what, DWORD id, Effect &e)
    {
        DWORD h = 0;
        Say("%s", what);
        Check("DownloadEffect", drv->DownloadEffect(joystick, id, &h, &e.eff, kFlags | DIEP_START));
        return h;
    }
    void Stop(DWORD h) { Check("StopEffect", drv->StopEffect(joystick, h)); }
};

} // namespace

int main(int argc, char **argv)
{
    InitializeCriticalSection(&g_print);
    g_t0 = GetTickCount();
    std::string dll;
    UINT joystick = 0;
    const char *env = getenv("TAVREL_FAKEDI_JOYSTICKS");
    bool external = env && *env;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--dll") && i + 1 < argc) dll = argv[++i];
        else if ((!strcmp(argv[i], "--id") || !strcmp(argv[i], "--joystick")) && i + 1 < argc)
            joystick = (UINT)atoi(argv[++i]);
        else if (!strcmp(argv[i], "--external")) external = true;
        else if (!strcmp(argv[i], "--own-sim")) external = false;
        else if (!strcmp(argv[i], "--quiet")) g_quiet = true;
        else {
            printf("usage: ffdemo [--dll PATH] [--id N] [--external | --own-sim] [--quiet]\n");
            return 2;
        }
    }
    if (dll.empty()) {
        char path[MAX_PATH];
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        dll = path;
        dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "tavrelusbff.dll";
    }

    SimConverter *sim = nullptr;
    MotorWatch watch;
    if (!external) {
        sim = new SimConverter(SimConverter::UniqueName(L"ffdemo"));
        if (!sim->Start()) {
            fprintf(stderr, "ffdemo: the simulated converter did not start\n");
            return 1;
        }
        FakeDI_AddJoystick(joystick, sim->Path().c_str(), 0);
        Say("simulated converter on %s, joystick %u", sim->PathA().c_str(), joystick);
        if (!g_quiet) watch.Start(sim);
    }

    HMODULE h = LoadLibraryA(dll.c_str());
    if (!h) {
        fprintf(stderr, "ffdemo: cannot load %s (error %lu)\n", dll.c_str(), (unsigned long)GetLastError());
        return 1;
    }
    Say("loaded %s", dll.c_str());
    typedef HRESULT(STDAPICALLTYPE * GetClassObjectFn)(REFCLSID, REFIID, void **);
    GetClassObjectFn getClassObject =
        reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void *>(GetProcAddress(h, "DllGetClassObject")));
    IClassFactory *cf = nullptr;
    HRESULT hr = getClassObject ? getClassObject(kDriverClsid, IID_IClassFactory, reinterpret_cast<void **>(&cf))
                                : E_FAIL;
    Say("DllGetClassObject -> 0x%08lX", (unsigned long)hr);
    if (FAILED(hr)) return 1;
    Demo demo;
    demo.joystick = joystick;
    demo.sim = sim;
    hr = cf->CreateInstance(nullptr, IID_IDirectInputEffectDriver, reinterpret_cast<void **>(&demo.drv));
    cf->Release();
    Say("CreateInstance(IDirectInputEffectDriver) -> 0x%08lX", (unsigned long)hr);
    if (FAILED(hr)) return 1;
    IDirectInputEffectDriver *drv = demo.drv;

    hr = drv->DeviceID(0x0700, joystick, TRUE, 0, nullptr);
    Say("DeviceID(0x0700, joystick %u, begin, device 0) -> 0x%08lX", joystick, (unsigned long)hr);
    if (external) Say("the converter is the one TAVREL_FAKEDI_JOYSTICKS names for joystick %u", joystick);
    if (sim && !sim->WaitForClients(1, 3000)) {
        Say("!! the driver did not open the converter");
        ++demo.failures;
    }
    drv->SendForceFeedbackCommand(joystick, DISFFC_RESET);
    DIDRIVERVERSIONS v = {sizeof(v)};
    drv->GetVersions(&v);
    Say("driver version 0x%04lX, firmware %lu, hardware %lu", (unsigned long)v.dwFFDriverVersion,
        (unsigned long)v.dwFirmwareRevision, (unsigned long)v.dwHardwareRevision);
    demo.Expect("idle", 1, 0, 0);

    Effect full(10000, INFINITE);
    full.ts.constant.lMagnitude = 10000;
    full.eff.cbTypeSpecificParams = sizeof(DICONSTANTFORCE);
    DWORD e1 = demo.Play("constant force, gain 10000, magnitude 10000", 1, full);
    demo.Expect("full constant force", 1, 0, 225);
    Sleep(600);
    demo.Stop(e1);
    demo.Expect("stop", 1, 0, 0);

    Effect soft(5000, INFINITE);
    soft.ts.constant.lMagnitude = -6000;
    soft.eff.cbTypeSpecificParams = sizeof(DICONSTANTFORCE);
    DWORD e2 = demo.Play("constant force, gain 5000, magnitude -6000 (a pull counts like a push)", 1, soft);
    demo.Expect("soft constant force", 1, 0, 85);
    Sleep(600);
    demo.Stop(e2);

    Effect fast(10000, INFINITE);
    fast.ts.periodic.dwMagnitude = 10000;
    fast.ts.periodic.dwPeriod = 20000;
    fast.eff.cbTypeSpecificParams = sizeof(DIPERIODIC);
    DWORD e3 = demo.Play("square wave at 50 Hz, magnitude 10000: the on/off motor", 3, fast);
    demo.Expect("fast periodic", 1, 1, 0);
    Sleep(600);
    demo.Stop(e3);

    Effect slow(7500, INFINITE);
    slow.ts.periodic.dwMagnitude = 8000;
    slow.ts.periodic.dwPeriod = 100000;
    slow.eff.cbTypeSpecificParams = sizeof(DIPERIODIC);
    demo.Play("sine at 10 Hz, gain 7500, magnitude 8000: the variable motor", 4, slow);
    demo.Expect("slow periodic", 1, 0, 145);
    Sleep(600);

    Effect custom(10000, 500);
    custom.eff.cbTypeSpecificParams = sizeof(DICUSTOMFORCE);
    custom.ts.custom.cChannels = 1;
    custom.ts.custom.cSamples = 4;
    custom.ts.custom.rglForceData = custom.customSamples;
    DWORD e5 = demo.Play("custom force, gain 10000, for 500 ms, on top of the sine", 12, custom);
    demo.Expect("custom and slow periodic together", 1, 1, 145);
    Sleep(900);
    demo.Expect("custom force expired by itself", 1, 0, 145);
    DWORD status = 0;
    drv->GetEffectStatus(joystick, e5, &status);
    Say("custom force status after its duration: %s", status ? "playing" : "stopped");

    Say("SetGain(5000): stored for the device; the motors do not change");
    demo.Check("SetGain", drv->SetGain(joystick, 5000));
    DIDEVICESTATE ds = {sizeof(ds)};
    drv->GetForceFeedbackState(joystick, &ds);
    Say("state 0x%02lX, load %lu%%", (unsigned long)ds.dwState, (unsigned long)ds.dwLoad);

    Say("stop all");
    demo.Check("SendForceFeedbackCommand(STOPALL)", drv->SendForceFeedbackCommand(joystick, DISFFC_STOPALL));
    demo.Expect("stop all", 1, 0, 0);
    Say("reset");
    demo.Check("SendForceFeedbackCommand(RESET)", drv->SendForceFeedbackCommand(joystick, DISFFC_RESET));
    Say("release the driver object");
    drv->Release();
    demo.Expect("release", 0, 0, 0);

    watch.Stop();
    if (sim) {
        sim->Stop();
        delete sim;
    }
    if (demo.failures) Say("%d step(s) went wrong", demo.failures);
    else Say(sim ? "every step drove the motors as expected" : "every driver call succeeded");
    return demo.failures ? 1 : 0;
}
